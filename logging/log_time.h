#pragma once
#include <cstdint>
#include <string>

#include "errors/win32_error.h"

// "YYYY-MM-DD hh:mm:ss.fff +hhmm": the local time of a UTC FILETIME (0 = now)
// with the zone's offset from UTC.
std::wstring FormatLogTime(std::uint64_t fileTime);

// "YYYY-MM-DD hh<sep>mm<sep>ss<fracSep>fff" of a FILETIME, converted from UTC to
// local time first when convertToLocal is set. On failure returns the error and
// leaves `out` unchanged.
Win32Error FormatSystemTime(std::uint64_t fileTime, bool convertToLocal, wchar_t timeSeparator,
                            wchar_t fractionSeparator, std::wstring& out);

// The current UTC time as a FILETIME value.
std::uint64_t CurrentFileTime();
