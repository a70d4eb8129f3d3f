#pragma once
// Human-readable text for an error code: the system message table, the network
// (netmsg.dll) and performance-counter (pdh.dll) message modules, and the names
// of the directory-service (ADSI) error codes.
#include <string>

#include "errors/win32_error.h"

// Text for `code`; 0 stands for the calling thread's last error. Trailing line
// feeds are cut (a system text keeps its final carriage return). Empty when no
// table knows the code. Never fails otherwise and never logs.
std::wstring GetErrorText(Win32Error code);

// The ADSI name for `code` ("E_ADS_INVALID_FILTER"), or empty when the table has
// no row for it.
std::wstring AdsiErrorName(Win32Error code);

// True for codes that GetErrorText answers from the ADSI name table alone
// (bits 31, 14 and 12 set), whether or not the table has a row for them.
constexpr bool IsAdsiCode(Win32Error code) {
    return (code & 0x80005000u) == 0x80005000u;
}

// The message module searched before the system table for `code`:
// L"netmsg.dll" for 2100..2999, L"pdh.dll" for performance data helper codes,
// nullptr for every other code.
const wchar_t* MessageModuleFor(Win32Error code);
