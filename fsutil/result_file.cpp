#include "fsutil/result_file.h"

#include <windows.h>

#include "fsutil/file_handle.h"
#include "fsutil/long_path.h"

namespace {

// A name beside `path` that no other process uses.
std::wstring SideName(const std::wstring& longPath, const wchar_t* purpose) {
    return longPath + L"." + std::to_wstring(GetCurrentProcessId()) + purpose;
}

Win32Error WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return GetLastError();
    return written == bytes.size() ? 0 : win32::kDiskFull; // a write taken only in part: no room
}

} // namespace

Win32Error CheckWritable(const std::wstring& path, bool replacedWhole) {
    const std::wstring longPath = LongPathOf(path);
    const bool exists = GetFileAttributesW(longPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        FileHandle existing(CreateFileW(longPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        if (!existing.IsOpen())
            return GetLastError();
    }
    if (exists && !replacedWhole)
        return 0;
    FileHandle probe(CreateFileW(SideName(longPath, L".probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return probe.IsOpen() ? 0 : GetLastError();
}

Win32Error ReplaceFileContent(const std::wstring& path, const std::string& bytes) {
    const std::wstring longPath = LongPathOf(path);
    const std::wstring temporary = SideName(longPath, L".tmp");
    FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file.IsOpen())
        return GetLastError();
    Win32Error code = WriteAll(file.Get(), bytes);
    if (code == 0 && !FlushFileBuffers(file.Get()))
        code = GetLastError();
    if (const Win32Error closed = file.Close(); code == 0)
        code = closed;
    if (code == 0 && !MoveFileExW(temporary.c_str(), longPath.c_str(), MOVEFILE_REPLACE_EXISTING))
        code = GetLastError();
    if (code != 0)
        DeleteFileW(temporary.c_str());
    return code;
}

Win32Error AppendRow(const std::wstring& path, const std::string& header, const std::string& row) {
    FileHandle file(CreateFileW(LongPathOf(path).c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!file.IsOpen())
        return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return GetLastError();
    // One write, so that rows of runs that append at the same time stay whole.
    return WriteAll(file.Get(), size.QuadPart == 0 ? header + row : row);
}
