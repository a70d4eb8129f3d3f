#pragma once
#include <cstdint>
#include <string>

// Appends `value` in unsigned decimal ("%u") without allocating once `text`
// has room, so that the timed loops can build their names and lines in place.
inline void AppendDecimal(std::wstring& text, std::uint32_t value) {
    wchar_t digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        text.push_back(digits[--n]);
}
