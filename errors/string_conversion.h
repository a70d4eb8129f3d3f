#pragma once
#include <string>

// Encodes each UTF-16 code unit on its own as UTF-8 (a surrogate pair becomes
// two three-byte sequences; nothing is rejected or replaced). On failure (out of
// memory) logs one ERROR entry and returns an empty string.
std::string WstringToUtf8(const std::wstring& text);
