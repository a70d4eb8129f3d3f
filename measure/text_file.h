#pragma once
// A UTF-16 text file opened through the runtime library's Unicode text mode:
// a byte-order mark FF FE at the start of a new file, CR LF line ends on disk.
#include <cstdio>
#include <string>

#include "errors/win32_error.h"

enum class TextFileMode { Read = 1, Write = 3, Append = 5 };

class TextFile {
public:
    TextFile() = default;
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // Closes an open stream; 87 (path kept) for an empty path. The file is
    // opened through the long-path form of `path`.
    Win32Error SetPath(const std::wstring& path);
    // Closes an open stream and opens the file, others may read it meanwhile
    // but not write it. Append creates the file when it does not exist. 87 for
    // an empty path or an unknown mode; otherwise 0 or the mapped runtime error.
    Win32Error Open(TextFileMode mode);
    // The next line without its line feed. False at the end of the file or on a
    // read error (the line then holds what was read), or with no stream open.
    bool ReadLine(std::wstring& line);
    // Writes `text` and a line feed; 87 when no stream is open. The text may
    // wait in the stream's buffer until Close.
    Win32Error WriteLine(const std::wstring& text);
    // Closes an open stream, writing out what its buffer holds. 0, also when no
    // stream was open, or the mapped runtime error (112 for a full disk) when
    // buffered text did not reach the file; the stream is closed either way.
    Win32Error Close();

private:
    std::FILE* stream = nullptr;
    std::wstring path;
};
