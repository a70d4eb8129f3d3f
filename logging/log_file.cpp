#include "logging/log_file.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "errors/string_conversion.h"
#include "fsutil/api_wrappers.h"
#include "fsutil/file_handle.h"
#include "fsutil/file_tree.h"
#include "fsutil/long_path.h"
#include "fsutil/path_strings.h"
#include "logging/log_time.h"
#include "logging/logger.h"

namespace {

constexpr std::size_t kCopiesBeforeCleanUp = 4;
constexpr std::size_t kCopiesKept = 3;

struct LogCopy {
    std::wstring path;
    FILETIME lastWrite;
};

// Deletes the oldest rotated copies matching <path without extension>.*.log
// once there are more than four, keeping the three newest. Nothing is logged:
// this runs on the writer thread.
void DeleteOldCopies(const std::wstring& path) {
    const std::wstring directory = GetParentDirectory(path);
    WIN32_FIND_DATAW found;
    HANDLE search = INVALID_HANDLE_VALUE;
    if (FindFirstFileAPIWrapper(&found, &search, true, false, RemoveFileExtension(path) + L".*.log") != 0 ||
        search == INVALID_HANDLE_VALUE)
        return;
    std::vector<LogCopy> copies;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L".." || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        copies.push_back({directory + L"\\" + name, found.ftLastWriteTime});
    } while (FindNextFileW(search, &found));
    FindClose(search);

    if (copies.size() <= kCopiesBeforeCleanUp)
        return;
    std::sort(copies.begin(), copies.end(), [](const LogCopy& a, const LogCopy& b) {
        return CompareFileTime(&a.lastWrite, &b.lastWrite) > 0; // newest first
    });
    for (std::size_t i = kCopiesKept; i < copies.size(); ++i) {
        DeleteFileW(LongPathOf(copies[i].path).c_str());
    }
}

} // namespace

std::wstring GetModulePath() {
    return GetModuleFilePath(nullptr);
}

std::wstring GetModuleFilePath(void* module) {
    // A path that does not fit comes back cut to the buffer (with or without a
    // terminating null) and its length is the buffer's: read it again with a
    // larger one, up to the longest path the system has.
    constexpr DWORD kLongestPath = 32768;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(module), path.data(), size);
        if (length == 0)
            return {};
        if (length < size || size >= kLongestPath) {
            path.resize(length);
            path.resize(std::wcslen(path.c_str())); // the text up to its terminating null
            return path;
        }
        path.resize(size * 2);
    }
}

void SetDefaultLogFilePath() {
    Logger& logger = GetLogger();
    std::lock_guard<LoggerLock> guard(logger.lock);
    if (!logger.logFilePath.empty())
        return;
    logger.logFilePath = LogFilePathFor(GetModulePath());
}

std::wstring LogFilePathFor(const std::wstring& modulePath) {
    return modulePath.empty() ? std::wstring(L"Emergency.log") : modulePath + L".log";
}

std::wstring EventSourceNameFor(const std::wstring& modulePath) {
    return modulePath.empty() ? std::wstring(L"DefaultEventSource")
                              : GetFileNameFromPath(RemoveFileExtension(modulePath));
}

void* RotateLogFile(void* handle, const std::wstring& path) {
    CloseHandle(handle);
    std::wstring stamp;
    FormatSystemTime(CurrentFileTime(), true, L'-', L'-', stamp); // on failure the stamp stays empty
    const std::wstring copy = RemoveFileExtension(path) + L"." + stamp + L"." + GetFileExtension(path);
    // If the move fails, the same full file is reopened below and appended to.
    MoveFileExW(path.c_str(), copy.c_str(), MOVEFILE_REPLACE_EXISTING);
    HANDLE fresh = CreateFileWithDirectories(path);
    DeleteOldCopies(path);
    return fresh;
}

void AppendToLogFile(const std::wstring& line) {
    Logger& logger = GetLogger();
    FileHandle file(CreateFileWithDirectories(logger.logFilePath));
    if (!file.IsOpen())
        return;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        return;
    if (size.QuadPart > static_cast<LONGLONG>(logger.maxLogFileSize)) {
        file.Reset(RotateLogFile(file.Release(), logger.logFilePath));
        if (!file.IsOpen())
            return;
    }
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(file.Get(), zero, nullptr, FILE_END))
        return;
    const std::string bytes = WstringToUtf8(line);
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
