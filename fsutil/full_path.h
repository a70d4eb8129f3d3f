#pragma once
#include <string>

// The system's full, normalised form of `path`, as every later file call will
// see it: relative paths made absolute against the current directory, "/"
// turned into "\", doubled separators merged, "." and ".." components resolved,
// trailing dots and blanks of a component dropped. A path in the "\\?\" form is
// returned unchanged (the system does not normalise that form either), and so is
// a path the system cannot resolve. A trailing backslash is kept.
std::wstring GetFullPath(const std::wstring& path);

// True when the full path `path` names something inside the folder `folder`
// (a full path too), at any depth; compared as the system compares names,
// without regard to case.
bool IsInFolder(const std::wstring& path, std::wstring folder);

// True when the full paths `a` and `b` are the same name, compared as the
// system compares names, without regard to case.
bool IsSameFile(const std::wstring& a, const std::wstring& b);
