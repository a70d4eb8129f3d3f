#include <gtest/gtest.h>

#include <string>

#include "errors/string_conversion.h"
#include "support/log_capture.h"

namespace {

struct Utf8Case {
    const char* name;
    std::wstring input;
    std::string bytes;
};

void PrintTo(const Utf8Case& c, std::ostream* os) {
    *os << c.name;
}

class WstringToUtf8Cases : public testing::TestWithParam<Utf8Case> {};

std::string Hex(const std::string& bytes) {
    std::string out;
    for (unsigned char b : bytes) {
        static const char digits[] = "0123456789ABCDEF";
        out += digits[b >> 4];
        out += digits[b & 0xF];
        out += ' ';
    }
    return out;
}

} // namespace

TEST_P(WstringToUtf8Cases, EncodesEachCodeUnitOnItsOwn) {
    const Utf8Case& c = GetParam();
    const std::string bytes = WstringToUtf8(c.input);
    EXPECT_EQ(bytes, c.bytes) << c.name << ": got " << Hex(bytes) << ", wanted " << Hex(c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Units, WstringToUtf8Cases,
    testing::Values(
        Utf8Case{"ascii", L"abc", "abc"}, Utf8Case{"two bytes", L"\u00E9", "\xC3\xA9"},
        Utf8Case{"three bytes", L"\u20AC", "\xE2\x82\xAC"},
        Utf8Case{"last one-byte and first two-byte unit", L"\u007F\u0080", std::string("\x7F\xC2\x80")},
        Utf8Case{"last two-byte and first three-byte unit", L"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},
        Utf8Case{"largest unit", std::wstring(1, wchar_t(0xFFFF)), "\xEF\xBF\xBF"},
        // A surrogate pair is not combined: two three-byte sequences.
        Utf8Case{"surrogate pair", std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)},
                 "\xED\xA0\xBD\xED\xB8\x80"},
        Utf8Case{"lone high surrogate", std::wstring{L'a', wchar_t(0xD83D), L'b'}, "a\xED\xA0\xBD\x62"},
        Utf8Case{"lone low surrogate", std::wstring(1, wchar_t(0xDE00)), "\xED\xB8\x80"},
        Utf8Case{"embedded NUL", std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
        Utf8Case{"empty", L"", ""}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return "Case" + std::to_string(info.index); });

TEST(WstringToUtf8, SuccessfulConversionsLogNothing) {
    LogCapture capture;
    EXPECT_EQ(WstringToUtf8(L""), "");
    EXPECT_EQ(WstringToUtf8(L"x\u20AC"), "x\xE2\x82\xAC");
    EXPECT_TRUE(capture.Lines().empty()) << "a conversion that did not fail wrote a log entry";
}

TEST(Utf16ToUtf8, PairsSurrogatesAndReplacesLoneOnes) {
    const Utf8Case cases[] = {
        {"ASCII", L"abc", "abc"},
        {"two and three bytes", L"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC"},
        {"a pair is one four-byte sequence", L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {"the highest code point", L"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
        {"a lone high surrogate",
         L"a\xD83D"
         L"b",
         "a\xEF\xBF\xBD"
         "b"},
        {"a lone low surrogate", L"\xDE00", "\xEF\xBF\xBD"},
        {"a high surrogate at the end", L"x\xD83D", "x\xEF\xBF\xBD"},
        {"two high surrogates, then a low one", L"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
        {"a null inside", std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
        {"empty", L"", ""},
    };
    for (const Utf8Case& c : cases) {
        const std::string bytes = Utf16ToUtf8(c.input);
        EXPECT_EQ(bytes, c.bytes) << c.name << ": got " << Hex(bytes) << ", wanted " << Hex(c.bytes);
    }
}
