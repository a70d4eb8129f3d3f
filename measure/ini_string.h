#pragma once
#include <string>

#include "errors/win32_error.h"

// Reads [section] key of the INI file at `filePath` through
// GetPrivateProfileStringW, growing the buffer until the value fits. 2 when the
// file does not exist (the profile function is not called), 1168 for a missing
// or empty value, 14 when no buffer can be had, 87 for a null `value`.
Win32Error GetIniString(const std::wstring& filePath, const std::wstring& section, const std::wstring& key,
                        std::wstring* value);

// The name under which the profile functions can open the existing file at
// `filePath`: the path itself when it is shorter than MAX_PATH; otherwise its
// long form, in its 8.3 spelling when that is short enough. (Wine's profile
// functions resolve every name into a MAX_PATH buffer, whatever its form;
// Windows takes the long form once the executable is long-path aware.)
std::wstring ProfilePathFor(const std::wstring& filePath);
