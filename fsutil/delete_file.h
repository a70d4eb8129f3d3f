#pragma once
#include <string>

#include "errors/win32_error.h"

// The tool's one way to delete a file. Deletes through the long-path form;
// with ignoreNotFound a missing file or directory counts as success; a file
// refused with access denied because it is read-only loses that bit and is
// deleted once more. Logs a failure at ERROR (logErrors) and a real deletion at
// INFO (logSuccess), category "DeleteAnyFile". An empty path returns 0.
Win32Error DeleteAnyFile(bool ignoreNotFound, bool logErrors, bool logSuccess, std::wstring path);

// DeleteFileW on the long-path form of `path` (converted in place); 0 or the
// last error. Never logs.
Win32Error DeleteFileQuiet(std::wstring& path);

// DeleteAnyFile's second attempt, after it cleared the read-only bit:
// DeleteFileQuiet, unless a test puts a stand-in here (nullptr restores it).
// No file system makes that attempt fail on purpose: Wine reports a refused
// unlink as success, and an opener that blocks deletion already stops the first
// attempt. So the tests' stand-in opens the file in between, as a virus scanner
// might, and then makes the real call.
using DeleteAttempt = Win32Error (*)(std::wstring& path);
void SetSecondDeleteAttempt(DeleteAttempt attempt);
