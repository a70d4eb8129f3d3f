// The option table against what users read: every option the parser accepts
// is in the usage text and the README, and each option row's range is the
// table's own.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "driver/command_line.h"
#include "driver/options.h"
#include "driver/usage.h"
#include "errors/string_conversion.h"
#include "stdout_capture.h"

namespace {

std::string UsageText() {
    StdoutCapture out;
    PrintUsage();
    return out.Text();
}

std::string Readme() {
    std::ifstream file(QM_SOURCE_DIR "/README.md", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A value the parser takes after `option`.
std::wstring SampleValue(const OptionInfo& option) {
    switch (option.kind) {
    case OptionKind::Clients:
    case OptionKind::Runs:
    case OptionKind::Iterations:
        return L"2";
    case OptionKind::ResultFile:
        return L"results.file";
    default:
        return L"x";
    }
}

TEST(OptionTable, EveryOptionTheParserAcceptsIsInTheUsageTextAndTheReadme) {
    const std::string usage = UsageText();
    const std::string readme = Readme();
    ASSERT_FALSE(readme.empty()) << "README.md not found at " << QM_SOURCE_DIR;
    for (const OptionInfo& option : kOptions) {
        const std::string name = Utf16ToUtf8(option.name);
        SCOPED_TRACE(name);
        // The parser knows it: it is no "Unknown parameter".
        RunSettings settings;
        std::vector<const wchar_t*> argv = {L"Quillmarsh.exe", L"-target", L"C:\\q", option.name};
        const std::wstring value = SampleValue(option);
        if (option.kind != OptionKind::Latency && option.kind != OptionKind::Compare)
            argv.push_back(value.c_str());
        const CommandLine line = ParseArguments(static_cast<int>(argv.size()), argv.data(), settings);
        EXPECT_EQ(line.error.find(L"Unknown parameter"), std::wstring::npos) << Utf16ToUtf8(line.error);
        EXPECT_NE(usage.find(name + " "), std::string::npos) << "not in the usage text";
        EXPECT_NE(readme.find("`" + name), std::string::npos) << "not in the README";
    }
    for (const wchar_t* help : kHelpOptions) {
        EXPECT_NE(readme.find(Utf16ToUtf8(help)), std::string::npos)
            << Utf16ToUtf8(help) << " not in the README";
        RunSettings settings;
        const wchar_t* argv[] = {L"Quillmarsh.exe", help};
        EXPECT_TRUE(ParseArguments(2, argv, settings).help) << Utf16ToUtf8(help);
    }
}

TEST(OptionTable, TheUsageRowsPrintTheTablesRanges) {
    const std::string usage = UsageText();
    for (const OptionInfo& option : kOptions) {
        if (option.most == 0)
            continue;
        std::string range = "(";
        range += Utf16ToUtf8(RangeText(option));
        range += ", default 1)";
        EXPECT_NE(usage.find(range), std::string::npos) << Utf16ToUtf8(option.name) << ": no " << range;
        EXPECT_EQ(usage.find("{range}"), std::string::npos);
    }
}

// A count one past the table's limit is refused with the table's range.
TEST(OptionTable, ACountPastItsLimitIsRefusedWithTheTablesRange) {
    for (const OptionInfo& option : kOptions) {
        if (option.most == 0)
            continue;
        SCOPED_TRACE(Utf16ToUtf8(option.name));
        RunSettings settings;
        const std::wstring past = std::to_wstring(option.most + 1);
        const wchar_t* argv[] = {L"Quillmarsh.exe", L"-target", L"C:\\q", option.name, past.c_str()};
        const CommandLine line = ParseArguments(5, argv, settings);
        EXPECT_NE(line.error.find(L"must be a number from " + RangeText(option)), std::wstring::npos)
            << Utf16ToUtf8(line.error);
    }
}

} // namespace
