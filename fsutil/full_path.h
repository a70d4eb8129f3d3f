#pragma once
#include <string>

// The system's full, normalised form of `path`, as every later file call will
// see it: relative paths made absolute against the current directory, "/"
// turned into "\", doubled separators merged, "." and ".." components resolved,
// trailing dots and blanks of a component dropped. A path in the "\\?\" form is
// returned unchanged (the system does not normalise that form either), and so is
// a path the system cannot resolve. A trailing backslash is kept.
std::wstring GetFullPath(const std::wstring& path);
