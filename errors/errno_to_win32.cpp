#include "errors/errno_to_win32.h"

Win32Error ErrnoToWin32Error(int errnoValue) {
    switch (errnoValue) {
    case 1:  // EPERM
    case 13: // EACCES
        return win32::kAccessDenied;
    case 2: // ENOENT
        return win32::kFileNotFound;
    case 17: // EEXIST
        return win32::kFileExists;
    case 22: // EINVAL
        return win32::kInvalidParameter;
    case 28: // ENOSPC
        return win32::kDiskFull;
    default:
        return win32::kInvalidFunction;
    }
}
