#pragma once
// What the result files share beside the test table: how times of day and
// codes are written.
#include <cstdint>
#include <string>

#include "errors/win32_error.h"

// A FILETIME (UTC) as ISO 8601 text: "2026-12-10T09:30:15.042Z".
std::string IsoUtc(std::uint64_t fileTime);

// The system's text for a code, without its line end.
std::wstring ResultText(Win32Error code);
