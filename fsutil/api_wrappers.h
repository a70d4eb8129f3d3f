#pragma once
// Logged wrappers round the Windows file calls. Each converts its own copy of
// the path to the long-path form, makes the call, maps outcomes the caller
// declares harmless to success and logs (category = the wrapper's name) only
// the kinds of message whose flag is set. With every flag off a wrapper never
// calls into the logger, which is how the logger's own file work uses them.
#include <windows.h>

#include <string>

#include "errors/win32_error.h"

// SetFileAttributesW with `attributes` masked to the settable bits. A failed set
// on a file that already carries exactly `attributes` counts as success.
Win32Error SetFileAttributesAPIWrapper(DWORD attributes, bool logErrors, bool logSuccess, std::wstring path);

// GetFileAttributesW into *attributesOut (INVALID_FILE_ATTRIBUTES on failure).
Win32Error GetFileAttributesAPIWrapper(DWORD* attributesOut, bool logErrors, bool logSuccess,
                                       std::wstring path);

// FindFirstFileW. With tolerateNotFound, "nothing matched" returns 0 and leaves
// *handleOut == INVALID_HANDLE_VALUE. The handle belongs to the caller.
Win32Error FindFirstFileAPIWrapper(WIN32_FIND_DATAW* findData, HANDLE* handleOut, bool tolerateNotFound,
                                   bool logErrors, std::wstring path);

// CreateFileW with the six arguments after the name passed through. With
// tolerateNotFound, a missing file or directory returns 0 and leaves
// *handleOut == INVALID_HANDLE_VALUE. *fileIsNew (optional) tells whether the
// call created the file. The handle belongs to the caller.
Win32Error CreateFileAPIWrapper(HANDLE* handleOut, DWORD desiredAccess, DWORD shareMode,
                                LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                                DWORD flagsAndAttributes, HANDLE templateFile, bool tolerateNotFound,
                                bool logErrors, bool logNotFound, bool* fileIsNew, std::wstring path);

// CreateDirectoryW with default security; an existing object of that name
// counts as success.
Win32Error CreateDirectoryAPIWrapper(bool logErrors, bool logSuccess, std::wstring path);
