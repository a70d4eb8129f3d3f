#include "fsutil/result_file.h"

#include <windows.h>

#include <exception>

#include "fsutil/file_handle.h"
#include "fsutil/in_use_retry.h"
#include "fsutil/long_path.h"

namespace {

// A name beside `path` that no other process uses.
std::wstring SideName(const std::wstring& path, const wchar_t* purpose) {
    return path + L"." + std::to_wstring(GetCurrentProcessId()) + purpose;
}

// What another process holding a just-closed file answers a rename or a delete
// with: a sharing or lock violation, or access denied (scanners open files
// without delete sharing).
bool HeldByAnother(Win32Error code) {
    return code == win32::kSharingViolation || code == win32::kLockViolation || code == win32::kAccessDenied;
}

Win32Error WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return GetLastError();
    return written == bytes.size() ? 0 : win32::kDiskFull; // a write taken only in part: no room
}

Win32Error Delete(const std::wstring& longPath) {
    return RetryWhileInUse([&]() -> Win32Error { return DeleteFileW(longPath.c_str()) ? 0 : GetLastError(); },
                           HeldByAnother);
}

Win32Error CreateAndWrite(const std::wstring& longPath, DWORD disposition, const std::string& bytes) {
    FileHandle file(CreateFileW(longPath.c_str(), GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr));
    if (!file.IsOpen())
        return GetLastError();
    Win32Error code = WriteAll(file.Get(), bytes);
    if (code == 0 && !FlushFileBuffers(file.Get()))
        code = GetLastError();
    const Win32Error closed = file.Close();
    return code != 0 ? code : closed;
}

// Puts `from` in the place of `to`: renamed over it, waiting for another
// process that holds either. Where renames stay refused (Wine on a FUSE-mounted
// share renames through an open handle, which the share's client refuses as
// busy for as long as it is open), the content is copied over `to` instead
// and `from` deleted, waited for like a rename; a copy that cannot be deleted
// stays, and its delete's code is `leftCode` (0 when nothing stays).
Win32Error PutInPlace(const std::wstring& from, const std::wstring& to, Win32Error& leftCode) {
    leftCode = 0;
    Win32Error code = RetryWhileInUse(
        [&]() -> Win32Error {
            return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : GetLastError();
        },
        HeldByAnother);
    if (!HeldByAnother(code))
        return code;
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE))
        return GetLastError();
    leftCode = Delete(from);
    return 0;
}

// Does in the folder of `longPath` what ReplaceFileContent does at the end of a
// run, with probe files of its own: create one and write to it, put it in the
// place of another, delete that. Leaves nothing behind; a probe file that
// cannot be deleted fails the check with the delete's code (the tool could
// not clean up after its own document there either).
Win32Error ProbeReplace(const std::wstring& longPath) {
    const std::wstring probe = SideName(longPath, L".probe");
    const std::wstring replaced = SideName(longPath, L".probe-replaced");
    Win32Error code = CreateAndWrite(probe, CREATE_NEW, "probe");
    if (code == 0)
        code = CreateAndWrite(replaced, CREATE_NEW, "");
    Win32Error leftCode = 0;
    if (code == 0)
        code = PutInPlace(probe, replaced, leftCode);
    if (code == 0) {
        const Win32Error deleted = Delete(replaced);
        return leftCode != 0 ? leftCode : deleted;
    }
    // Already failed: the clean-up is tried as well as it can be.
    Delete(probe);
    Delete(replaced);
    return code;
}

// A result file opened for reading, while others may go on writing it.
HANDLE OpenForReading(const std::wstring& path) {
    return CreateFileW(LongPathOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
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
    if (replacedWhole)
        return ProbeReplace(longPath);
    if (exists)
        return 0;
    FileHandle probe(CreateFileW(SideName(longPath, L".probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return probe.IsOpen() ? 0 : GetLastError();
}

Win32Error ReplaceFileContent(const std::wstring& path, const std::string& bytes, std::wstring& keptAt,
                              std::wstring& leftBehind, Win32Error& leftCode) {
    keptAt.clear();
    leftBehind.clear();
    leftCode = 0;
    const std::wstring temporary = SideName(path, L".tmp");
    const std::wstring longTemporary = LongPathOf(temporary);
    if (const Win32Error code = CreateAndWrite(longTemporary, CREATE_ALWAYS, bytes)) {
        // A part of a document is of no use.
        const Win32Error deleted = Delete(longTemporary);
        if (GetFileAttributesW(longTemporary.c_str()) != INVALID_FILE_ATTRIBUTES) {
            leftBehind = temporary;
            leftCode = deleted;
        }
        return code;
    }
    const Win32Error code = PutInPlace(longTemporary, LongPathOf(path), leftCode);
    if (code != 0)
        keptAt = temporary; // the whole document: never thrown away
    else if (leftCode != 0)
        leftBehind = temporary;
    return code;
}

Win32Error ReadFileStart(const std::wstring& path, std::size_t count, std::string& bytes) {
    bytes.clear();
    FileHandle file(OpenForReading(path));
    if (!file.IsOpen()) {
        const Win32Error code = GetLastError();
        return code == win32::kFileNotFound ? 0 : code;
    }
    bytes.resize(count);
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(count), &read, nullptr))
        return GetLastError();
    bytes.resize(read);
    return 0;
}

Win32Error ReadWholeFile(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    FileHandle file(OpenForReading(path));
    if (!file.IsOpen())
        return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return GetLastError();
    if (size.QuadPart > 0x7FFFFFFF)
        return win32::kOutOfMemory; // larger than any document of the tool
    try {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::exception&) {
        return win32::kOutOfMemory;
    }
    DWORD read = 0;
    if (!bytes.empty() &&
        !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return GetLastError();
    bytes.resize(read);
    return 0;
}

Win32Error AppendRow(const std::wstring& path, const std::string& header, const std::string& row) {
    const std::wstring longPath = LongPathOf(path);
    FileHandle file(CreateFileW(longPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!file.IsOpen())
        return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return GetLastError();
    // One write, so that rows of runs that append at the same time stay whole.
    const Win32Error code = WriteAll(file.Get(), size.QuadPart == 0 ? header + row : row);
    file.Close();
    if (code != 0) {
        // A write the system took only in part (no room) left the start of a
        // row: cut the sheet back to where it ended.
        FileHandle cut(CreateFileW(longPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
        if (cut.IsOpen() && SetFilePointerEx(cut.Get(), size, nullptr, FILE_BEGIN))
            SetEndOfFile(cut.Get());
    }
    return code;
}
