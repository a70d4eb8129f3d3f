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

// Appends the UTF-8 bytes of one code point (or, for WstringToUtf8, of one
// UTF-16 code unit taken as a code point).
void AppendUtf8(std::string& out, std::uint32_t point) {
    if (point < 0x80) {
        out.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (point >> 6)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
}

} // namespace

std::string WstringToUtf8(const std::wstring& text) {
    try {
        std::string out;
        out.reserve(Utf8Length(text));
        for (wchar_t c : text)
            AppendUtf8(out, static_cast<std::uint16_t>(c));
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

std::string Utf16ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(Utf8Length(text));
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t point = static_cast<std::uint16_t>(text[i]);
        if (point >= 0xD800 && point <= 0xDFFF) {
            const std::uint32_t next = i + 1 < text.size() ? static_cast<std::uint16_t>(text[i + 1]) : 0;
            if (point <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
                point = 0x10000 + ((point - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            } else {
                point = 0xFFFD;
            }
        }
        AppendUtf8(out, point);
    }
    return out;
}

std::wstring Utf8ToUtf16(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        std::uint32_t point = length == 1   ? lead
                              : length == 2 ? lead & 0x1F
                              : length == 3 ? lead & 0x0F
                                            : lead & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next >> 6) == 0x2;
            point = point << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and points past U+10FFFF are invalid too.
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && point >= least[length] && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
        if (!valid) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        if (point >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(point);
        }
        i += length;
    }
    return out;
}
