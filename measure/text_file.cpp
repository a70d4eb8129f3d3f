#include "measure/text_file.h"

#include <windows.h>
#include <share.h>

#include <cerrno>
#include <cwchar>

#include "errors/errno_to_win32.h"
#include "fsutil/file_tree.h"
#include "fsutil/long_path.h"

namespace {

const wchar_t* ModeString(TextFileMode mode, const std::wstring& path) {
    switch (mode) {
    case TextFileMode::Read:
        return L"rt, ccs=UNICODE";
    case TextFileMode::Write:
        return L"wt, ccs=UNICODE";
    case TextFileMode::Append:
        // "at" on a missing file would start it without a byte-order mark.
        return FileExists(path) ? L"at, ccs=UNICODE" : L"wt, ccs=UNICODE";
    }
    return nullptr;
}

// Why buffered text did not reach the file, the last error having been cleared
// before the write-out: the system's own code for a write it refused (the
// runtime's error number would lose it, a network error among them). A write
// that the system took only in part without an error of its own (Wine does so
// when the disk fills up) leaves no system code at all: the disk is full.
Win32Error WriteOutError() {
    const DWORD systemCode = GetLastError();
    return systemCode != ERROR_SUCCESS ? systemCode : win32::kDiskFull;
}

} // namespace

TextFile::~TextFile() {
    Close();
}

Win32Error TextFile::SetPath(const std::wstring& newPath) {
    Close();
    if (newPath.empty())
        return win32::kInvalidParameter;
    // The runtime's open takes the long form too, and only that form works
    // past MAX_PATH everywhere. Assigned in place, so that a loop that renames
    // the file each pass reuses the string's room.
    path.assign(newPath);
    MakeLongPath(&path);
    return 0;
}

Win32Error TextFile::Open(TextFileMode mode) {
    Close();
    if (path.empty())
        return win32::kInvalidParameter;
    const wchar_t* modeString = ModeString(mode, path);
    if (modeString == nullptr)
        return win32::kInvalidParameter;
    stream = _wfsopen(path.c_str(), modeString, _SH_DENYWR);
    return stream != nullptr ? 0 : ErrnoToWin32Error(errno);
}

bool TextFile::ReadLine(std::wstring& line) {
    if (stream == nullptr)
        return false;
    line.clear();
    for (;;) {
        const wint_t c = std::fgetwc(stream);
        if (c == WEOF)
            return false;
        if (c == L'\n')
            return true;
        line += static_cast<wchar_t>(c);
    }
}

Win32Error TextFile::WriteLine(const std::wstring& text) {
    if (stream == nullptr)
        return win32::kInvalidParameter;
    if (std::fwprintf(stream, L"%ls\n", text.c_str()) < 0)
        return ErrnoToWin32Error(errno);
    return 0;
}

Win32Error TextFile::Close() {
    if (stream == nullptr)
        return 0;
    // Written out on its own first: a runtime may close a stream whose last
    // write failed and still report success (Wine's does).
    SetLastError(ERROR_SUCCESS);
    Win32Error code = std::fflush(stream) == 0 ? 0 : WriteOutError();
    if (std::fclose(stream) != 0 && code == 0)
        code = ErrnoToWin32Error(errno);
    stream = nullptr;
    return code;
}
