#pragma once
#include <string>

#include "errors/win32_error.h"

// Reads [section] key of the INI file at `filePath` through
// GetPrivateProfileStringW, growing the buffer until the value fits. 2 when the
// file does not exist (the profile function is not called), 1168 for a missing
// or empty value, 14 when no buffer can be had, 87 for a null `value`.
Win32Error GetIniString(const std::wstring& filePath, const std::wstring& section, const std::wstring& key,
                        std::wstring* value);
