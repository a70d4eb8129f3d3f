#pragma once
// The one owner of a Win32 file handle: closed when the owner goes, unless it
// was handed on.
#include <windows.h>

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }

    // Closes the handle now; 0, also when none was open, or the system's code.
    DWORD Close() {
        if (!IsOpen())
            return 0;
        const BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed ? 0 : GetLastError();
    }

    // Hands the handle on: the caller owns it from now.
    HANDLE Release() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }

    // Takes `handle` in place of the current one, which it closes.
    void Reset(HANDLE handle) {
        Close();
        handle_ = handle;
    }

private:
    HANDLE handle_;
};
