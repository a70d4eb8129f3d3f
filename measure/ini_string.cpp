#include "measure/ini_string.h"

#include <windows.h>

#include <memory>
#include <new>

#include "fsutil/file_tree.h"
#include "fsutil/long_path.h"

namespace {

constexpr DWORD kBufferStep = 4096;

} // namespace

Win32Error GetIniString(const std::wstring& filePath, const std::wstring& section, const std::wstring& key,
                        std::wstring* value) {
    if (value == nullptr)
        return win32::kInvalidParameter;
    value->clear();
    if (!FileExists(filePath))
        return win32::kFileNotFound;
    for (DWORD size = kBufferStep;; size += kBufferStep) {
        std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[size]());
        if (!buffer)
            return win32::kOutOfMemory;
        const DWORD count = GetPrivateProfileStringW(section.c_str(), key.c_str(), nullptr, buffer.get(),
                                                     size, filePath.c_str());
        if (count == 0)
            return win32::kNotFound; // missing, or present with an empty value
        // A value cut short to fit comes back as size - 1 characters.
        if (count < size - 1) {
            value->assign(buffer.get());
            return 0;
        }
    }
}

std::wstring ProfilePathFor(const std::wstring& filePath) {
    if (filePath.size() < MAX_PATH)
        return filePath;
    const std::wstring longPath = LongPathOf(filePath);
    const DWORD size = GetShortPathNameW(longPath.c_str(), nullptr, 0);
    if (size == 0)
        return longPath;
    std::wstring shortPath(size, L'\0');
    const DWORD length = GetShortPathNameW(longPath.c_str(), shortPath.data(), size);
    if (length == 0 || length >= size || length >= MAX_PATH)
        return longPath;
    shortPath.resize(length);
    return shortPath;
}
