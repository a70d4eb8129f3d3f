#include "errors/string_conversion.h"

#include <exception>

#include "logging/logger.h"

namespace {

std::size_t Utf8Length(const std::wstring& text) {
    std::size_t bytes = 0;
    for (wchar_t c : text) {
        const auto unit = static_cast<std::uint32_t>(static_cast<std::uint16_t>(c));
        bytes += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
    }
    return bytes;
}

} // namespace

std::string WstringToUtf8(const std::wstring& text) {
    try {
        std::string out;
        out.reserve(Utf8Length(text));
        for (wchar_t c : text) {
            const auto unit = static_cast<std::uint32_t>(static_cast<std::uint16_t>(c));
            if (unit < 0x80) {
                out.push_back(static_cast<char>(unit));
            } else if (unit < 0x800) {
                out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
                out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
            } else {
                out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
                out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
            }
        }
        return out;
    } catch (const std::exception&) {
        try {
            LogMessage(LogLevel::ERROR, L"WstringToUtf8",
                       L"Failed to convert a string of length " + std::to_wstring(text.size()));
        } catch (const std::exception&) {
            // Memory is gone: the report is lost with the line.
        }
        return {};
    }
}
