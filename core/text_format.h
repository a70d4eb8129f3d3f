#pragma once
// How times and numbers are written, the same in every table, line and file:
// '.' as the decimal point whatever the runtime locale.
#include <cstddef>
#include <cstdint>
#include <string>

// Seconds with exactly six decimals: 1,234 microseconds give "0.001234".
std::wstring FormatSeconds(double seconds);

// `value` in fixed-point notation with `decimals` digits after the '.', rounded.
std::wstring FormatFixed(double value, int decimals);

inline double Seconds(std::uint64_t microseconds) {
    return static_cast<double>(microseconds) / 1000000.0;
}

// Microseconds to the counter's tenth, as every table and file shows them.
double Tenths(double microseconds);

// `value` microseconds as text with one decimal ("240.5").
std::wstring Microseconds(double value);

// `text` padded with blanks to `width` characters, after it or before it.
std::wstring LeftAligned(const std::wstring& text, std::size_t width);
std::wstring RightAligned(const std::wstring& text, std::size_t width);
