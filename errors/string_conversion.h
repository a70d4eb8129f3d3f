#pragma once
#include <string>

// Encodes each UTF-16 code unit on its own as UTF-8 (a surrogate pair becomes
// two three-byte sequences; nothing is rejected or replaced). On failure (out of
// memory) logs one ERROR entry and returns an empty string.
std::string WstringToUtf8(const std::wstring& text);

// Standard UTF-8 for documents other programs read (the JSON results): a
// surrogate pair becomes one four-byte sequence, and a lone surrogate, which
// has no UTF-8 form, becomes U+FFFD. Never fails but for memory.
std::string Utf16ToUtf8(const std::wstring& text);

// UTF-8 as UTF-16 (a four-byte sequence becomes a surrogate pair); a byte that
// is no part of a valid sequence becomes U+FFFD. Never fails but for memory.
std::wstring Utf8ToUtf16(const std::string& text);
