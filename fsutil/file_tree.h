#pragma once
// Existence tests and creators that work on the long-path form of a path.
#include <windows.h>

#include <string>

#include "errors/win32_error.h"

// True when the object exists and is not a directory; false on any failure.
bool FileExists(const std::wstring& path);
// True when the object exists and is a directory; false on any failure.
bool DirectoryExists(const std::wstring& path);

// Creates `path` and every missing ancestor, top down. 87 for an empty path or
// when the chain of parents runs out (nothing is created then); otherwise the
// first failing level's code. Flags go to CreateDirectoryAPIWrapper.
Win32Error CreateDirectoryTree(bool logErrors, bool logSuccess, std::wstring path);

// Opens `path` for writing (shared for read, write and delete), creating the
// file if needed and, once, its missing directories. Never truncates and never
// logs. Returns INVALID_HANDLE_VALUE on failure; the handle belongs to the caller.
HANDLE CreateFileWithDirectories(const std::wstring& path);
