#pragma once
// String operations on backslash-separated paths. They never touch the file
// system; forward slashes are ordinary characters.
#include <string>

// Everything after the last backslash; the whole string when there is none.
std::wstring GetFileNameFromPath(const std::wstring& path);
// The path without the extension of its last component; unchanged when the last
// dot is not after the last backslash, or when there is no backslash at all.
std::wstring RemoveFileExtension(const std::wstring& path);
// The extension without its dot, by the same rule; empty when there is none.
std::wstring GetFileExtension(const std::wstring& path);
// The path without trailing backslashes, cut before its last backslash; empty
// when no backslash remains.
std::wstring GetParentDirectory(std::wstring path);
