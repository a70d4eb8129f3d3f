#include "results/result_text.h"

#include <windows.h>

#include "errors/error_text.h"
#include "errors/string_conversion.h"
#include "logging/log_time.h"

std::string IsoUtc(std::uint64_t fileTime) {
    std::wstring text;
    if (FormatSystemTime(fileTime, false, L':', L'.', text) != 0)
        return {};
    text[10] = L'T';
    return Utf16ToUtf8(text) + "Z";
}

std::wstring ResultText(Win32Error code) {
    SetLastError(code); // GetErrorText takes 0 for the last error
    std::wstring text = GetErrorText(code);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    return text;
}
