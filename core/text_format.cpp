#include "core/text_format.h"

#include <cmath>
#include <iomanip>
#include <locale>
#include <sstream>

std::wstring FormatSeconds(double seconds) {
    return FormatFixed(seconds, 6);
}

std::wstring FormatFixed(double value, int decimals) {
    std::wostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

double Tenths(double microseconds) {
    return std::round(microseconds * 10.0) / 10.0;
}

std::wstring Microseconds(double value) {
    return FormatFixed(Tenths(value), 1);
}

std::wstring LeftAligned(const std::wstring& text, std::size_t width) {
    return text.size() >= width ? text : text + std::wstring(width - text.size(), L' ');
}

std::wstring RightAligned(const std::wstring& text, std::size_t width) {
    return text.size() >= width ? text : std::wstring(width - text.size(), L' ') + text;
}
