// Time stamps: the field widths of FormatSystemTime on fixed FILETIME values,
// and the shape of FormatLogTime. Fixed zone offsets (+0530, -0300) need a
// process started in that zone: see the logging.TimeZone cases in
// CMakeLists.txt, which run logging_probe.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "logging/log_time.h"

namespace {

// 100-ns units since 1601-01-01, all UTC.
constexpr std::uint64_t k2021_04_12_09_30_15_042 = 132626934150420000;
constexpr std::uint64_t k2009_01_02_03_04_05_006 = 128753390450060000;
constexpr std::uint64_t kLargestFileTime = 0x7FFFFFFFFFFFFFFF;

struct SystemTimeCase {
    std::uint64_t fileTime;
    wchar_t timeSeparator;
    wchar_t fractionSeparator;
    const wchar_t* expected;
};

void PrintTo(const SystemTimeCase& c, std::ostream* os) {
    *os << c.fileTime << " with "
        << testing::PrintToString(std::wstring{c.timeSeparator, c.fractionSeparator});
}

class FormatSystemTimeUtc : public testing::TestWithParam<SystemTimeCase> {};

TEST_P(FormatSystemTimeUtc, PadsEachFieldToItsWidth) {
    const SystemTimeCase& c = GetParam();
    std::wstring out = L"unchanged";
    ASSERT_EQ(FormatSystemTime(c.fileTime, false, c.timeSeparator, c.fractionSeparator, out), 0u)
        << "FileTime " << c.fileTime;
    EXPECT_EQ(out, c.expected) << "FileTime " << c.fileTime;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatSystemTimeUtc,
    testing::Values(SystemTimeCase{0, L':', L'.', L"1601-01-01 00:00:00.000"},
                    SystemTimeCase{k2009_01_02_03_04_05_006, L':', L'.', L"2009-01-02 03:04:05.006"},
                    SystemTimeCase{k2021_04_12_09_30_15_042, L':', L'.', L"2021-04-12 09:30:15.042"},
                    // The rotated copy's stamp: "-" between all time fields.
                    SystemTimeCase{k2021_04_12_09_30_15_042, L'-', L'-', L"2021-04-12 09-30-15-042"},
                    // A five-digit year is printed in full, not cut to four.
                    SystemTimeCase{kLargestFileTime, L':', L'.', L"30828-09-14 02:48:05.477"}));

TEST(FormatSystemTime, FailedConversionReturnsTheErrorAndLeavesTheTextAlone) {
    std::wstring out = L"unchanged";
    EXPECT_NE(FormatSystemTime(kLargestFileTime + 1, false, L':', L'.', out), 0u)
        << "a FILETIME with the top bit set cannot be converted";
    EXPECT_EQ(out, L"unchanged");
}

TEST(FormatLogTime, HasTheShapeOfALogStampWithTheLocalOffset) {
    // Whatever zone this process runs in: the local time and the offset agree
    // with Win32's own conversion of the same instant.
    const std::wstring text = FormatLogTime(k2021_04_12_09_30_15_042);
    ASSERT_EQ(text.size(), 29u) << "'" << testing::PrintToString(text) << "'";
    const FILETIME utc{static_cast<DWORD>(k2021_04_12_09_30_15_042),
                       static_cast<DWORD>(k2021_04_12_09_30_15_042 >> 32)};
    FILETIME local;
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    const std::uint64_t localValue = (std::uint64_t{local.dwHighDateTime} << 32) | local.dwLowDateTime;
    std::wstring localText;
    ASSERT_EQ(FormatSystemTime(localValue, false, L':', L'.', localText), 0u);
    const long long minutes =
        (static_cast<long long>(localValue) - static_cast<long long>(k2021_04_12_09_30_15_042)) / 600000000;
    wchar_t offset[8];
    std::swprintf(offset, 8, L"%lc%02lld%02lld", static_cast<wint_t>(minutes < 0 ? L'-' : L'+'),
                  std::llabs(minutes) / 60, std::llabs(minutes) % 60);
    EXPECT_EQ(text, localText + L" " + offset);
}

TEST(FormatLogTime, ZeroMeansNow) {
    const std::uint64_t before = CurrentFileTime();
    const std::wstring text = FormatLogTime(0);
    const std::uint64_t after = CurrentFileTime();
    // The stamps compare like the instants: same zone, fixed-width fields.
    EXPECT_LE(FormatLogTime(before - before % 10000), text);
    EXPECT_GE(FormatLogTime(after + 10000), text);
}

} // namespace
