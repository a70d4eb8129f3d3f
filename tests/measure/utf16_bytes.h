#pragma once
#include <string>

// The bytes of `text` in UTF-16 little-endian, without a byte-order mark.
inline std::string Utf16Bytes(const std::wstring& text) {
    std::string bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

// A UTF-16 text file as the tool writes it: FF FE, then `text` (line ends as given).
inline std::string Utf16File(const std::wstring& text) {
    return "\xFF\xFE" + Utf16Bytes(text);
}
