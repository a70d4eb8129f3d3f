#pragma once
// Small helpers shared by the file system wrapper tests.
#include <windows.h>

#include <string>

#include "support/log_capture.h"

// The long-path form of an absolute drive path such as C:\dir\file.
inline std::wstring LongForm(const std::wstring& drivePath) {
    return L"\\\\?\\" + drivePath;
}

// A log line as LogCapture shows it: "LEVEL,Category,message".
inline std::wstring InfoLine(const std::wstring& category, const std::wstring& message) {
    return L"INFO ," + category + L"," + Flat(message);
}
inline std::wstring DebugLine(const std::wstring& category, const std::wstring& message) {
    return L"DEBUG," + category + L"," + Flat(message);
}
inline std::wstring ErrorLine(const std::wstring& category, const std::wstring& message) {
    return L"ERROR," + category + L"," + Flat(message);
}

// Attributes straight from the system (INVALID_FILE_ATTRIBUTES when missing).
inline DWORD AttributesOf(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}
inline bool Exists(const std::wstring& path) {
    return AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
}
