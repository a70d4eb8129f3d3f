#include "results/report_assets.h"

#include <windows.h>

namespace {

Win32Error LoadText(const wchar_t* name, std::string& text) {
    const HRSRC resource = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (resource == nullptr)
        return GetLastError();
    const HGLOBAL loaded = LoadResource(nullptr, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return GetLastError();
    text.assign(static_cast<const char*>(bytes), SizeofResource(nullptr, resource));
    return 0;
}

} // namespace

Win32Error LoadReportAssets(ReportAssets& assets) {
    const std::pair<const wchar_t*, std::string*> parts[] = {
        {L"QM_CHART_SCRIPT", &assets.chartScript},
        {L"QM_CHART_STYLE", &assets.chartStyle},
        {L"QM_CHART_LICENSE", &assets.chartLicense},
        {L"QM_REPORT_SCRIPT", &assets.pageScript},
    };
    for (const auto& [name, text] : parts) {
        if (const Win32Error code = LoadText(name, *text))
            return code;
    }
    return 0;
}
