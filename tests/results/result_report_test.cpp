#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <string>
#include <vector>

#include "core/text_format.h"
#include "results/result_report.h"
#include "support/log_capture.h"

namespace {

const struct {
    double seconds;
    const wchar_t* text;
} kSecondsCases[] = {
    {1.5, L"1.500000"},       {0.001234, L"0.001234"},         {0.0, L"0.000000"},
    {2.5, L"2.500000"},       {1234567.25, L"1234567.250000"}, {0.0000004, L"0.000000"},
    {0.0000006, L"0.000001"}, {59.9999996, L"60.000000"},
};

void ExpectAllSecondsCases() {
    for (const auto& c : kSecondsCases)
        EXPECT_EQ(FormatSeconds(c.seconds), c.text) << "for " << c.seconds << " s";
}

TEST(FormatSeconds, SixDecimalsWithAPoint) {
    ExpectAllSecondsCases();
}

// A C++ locale with a comma for the decimal point and digit grouping.
struct CommaPunct : std::numpunct<wchar_t> {
    wchar_t do_decimal_point() const override { return L','; }
    wchar_t do_thousands_sep() const override { return L'.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(FormatSeconds, IgnoresTheLocales) {
    const std::string savedC = std::setlocale(LC_ALL, nullptr);
    const bool german = std::setlocale(LC_ALL, "German") != nullptr;
    const std::string decimalPoint = std::localeconv()->decimal_point;
    const std::locale savedCpp = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    ExpectAllSecondsCases();
    std::locale::global(savedCpp);
    std::setlocale(LC_ALL, savedC.c_str());
    EXPECT_TRUE(german) << "the runtime library knows no \"German\" locale";
    EXPECT_EQ(decimalPoint, ",") << "the runtime locale did not take effect, so it was not tried";
}

TEST(LogResultLines, FourLinesInTestOrderWithAlignedLabels) {
    TestDurations durations;
    durations.writeCustomFunction = 1500000;
    durations.readPrivateProfileString = 1234;
    durations.readCustomFunction = 0;
    durations.createDeleteLoop = 2500000;
    LogCapture capture;
    LogResultLines(durations);
    // The log file shows each message without its line breaks.
    EXPECT_EQ(capture.Lines(), (std::vector<std::wstring>{
                                   L"INFO ,Result,Write with custom function (s): 1.500000",
                                   L"INFO ,Result,ReadPrivateProfileString (s):   0.001234",
                                   L"INFO ,Result,Read with custom function (s):  0.000000",
                                   L"INFO ,Result,Create/delete loop (s):         2.500000",
                               }));
}

} // namespace
