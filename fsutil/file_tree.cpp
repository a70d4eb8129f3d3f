#include "fsutil/file_tree.h"

#include "fsutil/api_wrappers.h"
#include "fsutil/long_path.h"
#include "fsutil/path_strings.h"

namespace {

DWORD AttributesOf(std::wstring path) {
    MakeLongPath(&path);
    return GetFileAttributesW(path.c_str());
}

Win32Error OpenForWriting(const std::wstring& path, HANDLE* handle) {
    return CreateFileAPIWrapper(handle, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, 0, nullptr, false, false, false, nullptr, path);
}

} // namespace

bool FileExists(const std::wstring& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::wstring& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Win32Error CreateDirectoryTree(bool logErrors, bool logSuccess, std::wstring path) {
    if (path.empty())
        return win32::kInvalidParameter;
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    const std::wstring parent = GetParentDirectory(path);
    if (!DirectoryExists(parent)) {
        if (const Win32Error code = CreateDirectoryTree(logErrors, logSuccess, parent))
            return code;
    }
    return CreateDirectoryAPIWrapper(logErrors, logSuccess, path);
}

HANDLE CreateFileWithDirectories(const std::wstring& path) {
    HANDLE handle = INVALID_HANDLE_VALUE;
    Win32Error code = OpenForWriting(path, &handle);
    // A missing directory on the way: create it and try exactly once more.
    if (code == win32::kPathNotFound && CreateDirectoryTree(false, false, GetParentDirectory(path)) == 0)
        code = OpenForWriting(path, &handle);
    return code == 0 ? handle : INVALID_HANDLE_VALUE;
}
