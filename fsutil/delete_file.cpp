#include "fsutil/delete_file.h"

#include <windows.h>

#include <atomic>

#include "errors/error_text.h"
#include "fsutil/api_wrappers.h"
#include "fsutil/long_path.h"
#include "logging/logger.h"

namespace {

// Clears the read-only bit of a file that refused deletion; false when the
// file is not read-only or its attributes cannot be read or written.
bool ClearReadOnly(bool logErrors, const std::wstring& path) {
    DWORD attributes = 0;
    if (GetFileAttributesAPIWrapper(&attributes, false, false, path) != 0)
        return false;
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return false; // denied for another cause
    return SetFileAttributesAPIWrapper(attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}, logErrors, false,
                                       path) == 0;
}

std::atomic<DeleteAttempt> g_secondAttempt{&DeleteFileQuiet};

} // namespace

void SetSecondDeleteAttempt(DeleteAttempt attempt) {
    g_secondAttempt.store(attempt ? attempt : &DeleteFileQuiet);
}

Win32Error DeleteFileQuiet(std::wstring& path) {
    MakeLongPath(&path);
    return DeleteFileW(path.c_str()) ? 0 : GetLastError();
}

Win32Error DeleteAnyFile(bool ignoreNotFound, bool logErrors, bool logSuccess, std::wstring path) {
    if (path.empty())
        return 0;
    Win32Error code = DeleteFileQuiet(path);
    if (code == win32::kAccessDenied) {
        code = ClearReadOnly(logErrors, path) ? g_secondAttempt.load()(path) : win32::kAccessDenied;
    } else if (ignoreNotFound && win32::IsNotFound(code)) {
        return 0; // nothing was there to delete
    }
    if (code == 0) {
        if (logSuccess)
            LogMessage(LogLevel::INFO, L"DeleteAnyFile", L"Deleted the file '" + path + L"'");
        return 0;
    }
    if (logErrors)
        LogMessage(LogLevel::ERROR, L"DeleteAnyFile",
                   L"Deleting the file '" + path + L"' failed with: " + GetErrorText(code));
    return code;
}
