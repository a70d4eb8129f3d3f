#include "driver/version_info.h"

#include <windows.h>

#include <cstdio>

#include <boost/algorithm/string/replace.hpp>

namespace {

// The string-table path for `name`: the first translation pair when the
// resource lists one, otherwise the user's language with code page 04B0.
std::wstring SubBlockFor(const void* versionData, const std::wstring& name, std::uint16_t userLanguage) {
    void* translation = nullptr;
    UINT length = 0;
    wchar_t table[16];
    if (VerQueryValueW(versionData, L"\\VarFileInfo\\Translation", &translation, &length) && length >= 4) {
        const auto* pair = static_cast<const WORD*>(translation);
        std::swprintf(table, 16, L"%04x%04x", unsigned{pair[0]}, unsigned{pair[1]});
    } else {
        std::swprintf(table, 16, L"%04x04B0", unsigned{userLanguage});
    }
    return std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
}

} // namespace

std::wstring GetVersionInfoStringFrom(void* module, unsigned resourceId, const std::wstring& name,
                                      std::uint16_t userLanguage) {
    const auto hModule = static_cast<HMODULE>(module);
    HRSRC info = FindResourceW(hModule, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(16) /* RT_VERSION */);
    if (info == nullptr)
        return {};
    HGLOBAL loaded = LoadResource(hModule, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    std::wstring result;
    if (data != nullptr) {
        void* value = nullptr;
        UINT length = 0;
        if (VerQueryValueW(data, SubBlockFor(data, name, userLanguage).c_str(), &value, &length) && value)
            result = static_cast<const wchar_t*>(value);
    }
    if (loaded)
        FreeResource(loaded);
    boost::algorithm::replace_all(result, L", ", L".");
    return result;
}

std::wstring GetVersionInfoString(const std::wstring& name) {
    return GetVersionInfoStringFrom(nullptr, 1, name, GetUserDefaultLangID());
}
