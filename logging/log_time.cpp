#include "logging/log_time.h"

#include <windows.h>

#include <cstdio>

namespace {

FILETIME ToFileTime(std::uint64_t value) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(value);
    ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return ft;
}

std::uint64_t FromFileTime(const FILETIME& ft) {
    return (std::uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

} // namespace

std::uint64_t CurrentFileTime() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return FromFileTime(now);
}

Win32Error FormatSystemTime(std::uint64_t fileTime, bool convertToLocal, wchar_t timeSeparator,
                            wchar_t fractionSeparator, std::wstring& out) {
    const FILETIME ft = ToFileTime(fileTime);
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&ft, &st))
        return GetLastError();
    if (convertToLocal) {
        SYSTEMTIME local;
        if (!SystemTimeToTzSpecificLocalTime(nullptr, &st, &local))
            return GetLastError();
        st = local;
    }
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%04u-%02u-%02u %02u%lc%02u%lc%02u%lc%03u", unsigned{st.wYear},
                  unsigned{st.wMonth}, unsigned{st.wDay}, unsigned{st.wHour},
                  static_cast<wint_t>(timeSeparator), unsigned{st.wMinute},
                  static_cast<wint_t>(timeSeparator), unsigned{st.wSecond},
                  static_cast<wint_t>(fractionSeparator), unsigned{st.wMilliseconds});
    out = buffer;
    return 0;
}

std::wstring FormatLogTime(std::uint64_t fileTime) {
    if (fileTime == 0)
        fileTime = CurrentFileTime();
    const FILETIME utc = ToFileTime(fileTime);
    FILETIME localFt = utc;
    if (!FileTimeToLocalFileTime(&utc, &localFt))
        localFt = utc;
    const std::uint64_t local = FromFileTime(localFt);
    const bool east = local >= fileTime;
    const std::uint64_t seconds = (east ? local - fileTime : fileTime - local) / 10000000u;

    std::wstring text;
    FormatSystemTime(local, false, L':', L'.', text); // a failure leaves the date part empty
    wchar_t offset[16];
    std::swprintf(offset, 16, L" %lc%02u%02u", static_cast<wint_t>(east ? L'+' : L'-'),
                  static_cast<unsigned>(seconds / 3600), static_cast<unsigned>((seconds % 3600) / 60));
    return text + offset;
}
