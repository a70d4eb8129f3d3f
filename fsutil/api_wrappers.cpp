#include "fsutil/api_wrappers.h"

#include <cstdio>

#include "errors/error_text.h"
#include "fsutil/long_path.h"
#include "logging/logger.h"

namespace {

constexpr DWORD kSettableAttributes = 0x31A7;

std::wstring Hex(DWORD value) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"0x%lx", static_cast<unsigned long>(value));
    return buffer;
}

} // namespace

Win32Error SetFileAttributesAPIWrapper(DWORD attributes, bool logErrors, bool logSuccess, std::wstring path) {
    MakeLongPath(&path);
    if (SetFileAttributesW(path.c_str(), attributes & kSettableAttributes)) {
        if (logSuccess)
            LogMessage(LogLevel::INFO, L"SetFileAttributesAPIWrapper",
                       L"Set attributes '" + std::to_wstring(attributes) + L"' on '" + path + L"'");
        return 0;
    }
    const Win32Error code = GetLastError();
    const DWORD current = GetFileAttributesW(path.c_str());
    if (current != INVALID_FILE_ATTRIBUTES && current == attributes) {
        if (logSuccess)
            LogMessage(LogLevel::INFO, L"SetFileAttributesAPIWrapper",
                       L"Could not set attributes '" + std::to_wstring(attributes) + L"' on '" + path +
                           L"', but attributes were already identical.");
        return 0;
    }
    if (logErrors)
        LogMessage(LogLevel::ERROR, L"SetFileAttributesAPIWrapper",
                   L"Setting attributes '" + std::to_wstring(attributes) + L"' on '" + path +
                       L"' failed with: " + GetErrorText(code));
    return code;
}

Win32Error GetFileAttributesAPIWrapper(DWORD* attributesOut, bool logErrors, bool logSuccess,
                                       std::wstring path) {
    if (attributesOut == nullptr)
        return win32::kInvalidParameter;
    MakeLongPath(&path);
    *attributesOut = GetFileAttributesW(path.c_str());
    if (*attributesOut == INVALID_FILE_ATTRIBUTES) {
        const Win32Error code = GetLastError();
        if (logErrors)
            LogMessage(LogLevel::ERROR, L"GetFileAttributesAPIWrapper",
                       L"GetFileAttributes of '" + path + L"' failed with: " + GetErrorText(code));
        return code;
    }
    if (logSuccess)
        LogMessage(LogLevel::INFO, L"GetFileAttributesAPIWrapper",
                   L"Retrieved attributes <" + Hex(*attributesOut) + L"> of <" + path + L">");
    return 0;
}

Win32Error FindFirstFileAPIWrapper(WIN32_FIND_DATAW* findData, HANDLE* handleOut, bool tolerateNotFound,
                                   bool logErrors, std::wstring path) {
    if (findData == nullptr || handleOut == nullptr)
        return win32::kInvalidParameter;
    *handleOut = INVALID_HANDLE_VALUE;
    *findData = WIN32_FIND_DATAW{};
    MakeLongPath(&path);
    *handleOut = FindFirstFileW(path.c_str(), findData);
    if (*handleOut != INVALID_HANDLE_VALUE)
        return 0;
    const Win32Error code = GetLastError();
    if (tolerateNotFound && win32::IsNotFound(code))
        return 0;
    if (logErrors)
        LogMessage(LogLevel::ERROR, L"FindFirstFileAPIWrapper",
                   L"FindFirstFile for path '" + path + L"' returned: " + GetErrorText(code));
    return code;
}

Win32Error CreateFileAPIWrapper(HANDLE* handleOut, DWORD desiredAccess, DWORD shareMode,
                                LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                                DWORD flagsAndAttributes, HANDLE templateFile, bool tolerateNotFound,
                                bool logErrors, bool logNotFound, bool* fileIsNew, std::wstring path) {
    if (fileIsNew != nullptr)
        *fileIsNew = false;
    if (handleOut == nullptr)
        return win32::kInvalidParameter;
    MakeLongPath(&path);
    *handleOut = CreateFileW(path.c_str(), desiredAccess, shareMode, securityAttributes, creationDisposition,
                             flagsAndAttributes, templateFile);
    if (*handleOut != INVALID_HANDLE_VALUE) {
        const DWORD lastError = GetLastError(); // ERROR_ALREADY_EXISTS for OPEN_ALWAYS on an existing file
        if (fileIsNew != nullptr)
            *fileIsNew = creationDisposition == CREATE_ALWAYS ||
                         (creationDisposition == OPEN_ALWAYS && lastError == 0);
        return 0;
    }
    const Win32Error code = GetLastError();
    if (tolerateNotFound && win32::IsNotFound(code)) {
        if (logNotFound)
            LogMessage(LogLevel::INFO, L"CreateFileAPIWrapper", L"File '" + path + L"' does not exist.");
        return 0;
    }
    if (logErrors)
        LogMessage(LogLevel::ERROR, L"CreateFileAPIWrapper",
                   L"CreateFile for file '" + path + L"' returned: " + GetErrorText(code));
    return code;
}

Win32Error CreateDirectoryAPIWrapper(bool logErrors, bool logSuccess, std::wstring path) {
    MakeLongPath(&path);
    if (CreateDirectoryW(path.c_str(), nullptr)) {
        if (logSuccess)
            LogMessage(LogLevel::INFO, L"CreateDirectoryAPIWrapper",
                       L"Created the directory '" + path + L"'");
        return 0;
    }
    const Win32Error code = GetLastError();
    if (code == win32::kAlreadyExists) {
        if (logSuccess)
            LogMessage(LogLevel::DEBUG, L"CreateDirectoryAPIWrapper",
                       L"Directory already exists: '" + path + L"'");
        return 0;
    }
    if (logErrors)
        LogMessage(LogLevel::ERROR, L"CreateDirectoryAPIWrapper",
                   L"The directory '" + path + L"' could not be created because: " + GetErrorText(code));
    return code;
}
