#include "fsutil/full_path.h"

#include <windows.h>

std::wstring GetFullPath(const std::wstring& path) {
    if (path.empty() || path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    // The first call asks for the size (terminating null included); the path
    // may be longer than MAX_PATH, and the current directory may change
    // between the calls, so the second is checked again.
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    for (int attempt = 0; attempt < 2 && size != 0; ++attempt) {
        std::wstring full(size, L'\0');
        const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
        if (length == 0)
            break;
        if (length < size) {
            full.resize(length);
            return full;
        }
        size = length;
    }
    return path;
}

bool IsSameFile(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool IsInFolder(const std::wstring& path, std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    const int length = static_cast<int>(folder.size());
    return path.size() > folder.size() &&
           CompareStringOrdinal(path.c_str(), length, folder.c_str(), length, TRUE) == CSTR_EQUAL;
}
