#pragma once
#include <string>
#include <vector>

// A fresh directory under the system's temporary folder, removed with
// everything in it (read-only files included) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }
    // Path() + "\" + name
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Writes `bytes` to a new file at `path` (replacing one that exists).
void WriteBytes(const std::wstring& path, const std::string& bytes);
// The whole content of the file at `path`; empty when it cannot be read.
std::string ReadBytes(const std::wstring& path);
// Names of the entries in `directory` (no "." or ".."), sorted.
std::vector<std::wstring> ListDirectory(const std::wstring& directory);
