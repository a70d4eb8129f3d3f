#pragma once
#include <string>

// Rewrites an absolute drive path (C:\...) or UNC path (\\server\share\...) in
// place into the Win32 long-path form (\\?\C:\..., \\?\UNC\server\share\...).
// Already converted paths, device paths, paths holding "\.\" or "\..\",
// relative paths and the empty string are left alone; null does nothing.
// Idempotent: a converted path starts with "\\?" and is never changed again.
void MakeLongPath(std::wstring* path);

// The same conversion on a copy: `path` in its long-path form.
std::wstring LongPathOf(std::wstring path);
