// Runs the real tool and checks what a user or a script sees: the console
// lines on each stream, the exit code and what is left in the target folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "errors/error_text.h"
#include "support/process_runner.h"
#include "support/temp_dir.h"

namespace {

const char* const kUsage =
    "Times the duration of file IO operations against a local or remote target\n"
    "\n"
    "Homepage:  https://quillmarsh.example/\n"
    "Version:   1.0.1.0\n"
    "Copyright (c) the Quillmarsh contributors\n"
    "\n"
    "Syntax:\n"
    "=======\n"
    "\n"
    "Quillmarsh [-help] -target <UNC path> [-iterations <number>]\n"
    "\n"
    "Notes:\n"
    "======\n"
    "The default number of iterations is 1,000.\n"
    "Each generated file name is unique.\n"
    "Turn off antivirus unless you want to test AV performance.\n"
    "\n"
    "Explanation of the tests:\n"
    "======\n"
    "Write with custom function:\n"
    "   Creates the file and writes <iteration> lines opening and closing the handle for "
    "each line\n"
    "ReadPrivateProfileString:\n"
    "   Calls the GetPrivateProfileString API to read <iteration> lines individually\n"
    "Read with custom function:\n"
    "   Opens the file once and reads <interation> lines individually\n"
    "Create/delete loop:\n"
    "   Creates the file, writes one line, deletes the file. This happens <iteration> "
    "times\n"
    "\n";

const char* const kBanner = "\nQuillmarsh by the Quillmarsh contributors\n\n";
const char* const kSuccess = "\nQuillmarsh finished successfully\n";

ProcessResult RunTool(const std::vector<std::wstring>& arguments) {
    return RunProcess(SiblingProgram(L"Quillmarsh.exe"), arguments);
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// The verdict line for a failure, as the console shows it (carriage returns
// dropped by the runner).
std::string FailureVerdict(Win32Error code) {
    std::string text = Narrow(GetErrorText(code));
    std::erase(text, '\r');
    return "\nQuillmarsh finished with error: " + text + "\n";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// True when `merged` is `a` and `b` interleaved line by line, each in order:
// the usage text is printed by the main thread while the logger's thread
// prints its lines, so only the order within each is fixed.
bool IsInterleaving(const std::vector<std::string>& merged, const std::vector<std::string>& a,
                    const std::vector<std::string>& b) {
    if (merged.size() != a.size() + b.size())
        return false;
    // reachable[j]: a prefix of `merged` can be split into a[0..i) and b[0..j).
    std::vector<bool> reachable(b.size() + 1, false);
    for (std::size_t i = 0; i <= a.size(); ++i) {
        for (std::size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 && j == 0) {
                reachable[0] = true;
                continue;
            }
            const std::string& line = merged[i + j - 1];
            const bool fromA = i > 0 && reachable[j] && a[i - 1] == line;
            const bool fromB = j > 0 && reachable[j - 1] && b[j - 1] == line;
            reachable[j] = fromA || fromB;
        }
    }
    return reachable[b.size()];
}

class HelpRun : public testing::TestWithParam<std::vector<std::wstring>> {};

TEST_P(HelpRun, PrintsUsageAndSucceeds) {
    const ProcessResult run = RunTool(GetParam());
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(IsInterleaving(Lines(run.out), Lines(kUsage), Lines(std::string(kBanner) + kSuccess)))
        << "stdout is not the usage text plus banner and verdict:\n"
        << run.out;
}

INSTANTIATE_TEST_SUITE_P(NoArgumentsAndEachHelpForm, HelpRun,
                         testing::Values(std::vector<std::wstring>{}, std::vector<std::wstring>{L"-help"},
                                         std::vector<std::wstring>{L"-?"},
                                         std::vector<std::wstring>{L"/help"},
                                         std::vector<std::wstring>{L"/?"},
                                         std::vector<std::wstring>{L"-HELP"},
                                         std::vector<std::wstring>{L"/HeLp"},
                                         // help ends parsing: what came before is applied, what follows is
                                         // never looked at
                                         std::vector<std::wstring>{L"-target", L"x", L"-help", L"-bogus"}));

struct BadCommandLine {
    const char* name;
    std::vector<std::wstring> arguments;
    const char* message;
};

class BadCommandLineRun : public testing::TestWithParam<BadCommandLine> {};

TEST_P(BadCommandLineRun, ReportsOnStandardErrorAndExits87) {
    const ProcessResult run = RunTool(GetParam().arguments);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 87u);
    EXPECT_EQ(run.out, kBanner) << "only the banner belongs on standard output";
    EXPECT_EQ(run.err, std::string(GetParam().message) + "\n" + FailureVerdict(87));
}

INSTANTIATE_TEST_SUITE_P(
    EachMessage, BadCommandLineRun,
    testing::Values(BadCommandLine{"NoTarget", {L"-iterations", L"5"}, "No target specified!"},
                    BadCommandLine{"EmptyTarget", {L"-target", L""}, "No target specified!"},
                    BadCommandLine{"TargetWithoutValue",
                                   {L"-TARGET"},
                                   "Missing argument missing for parameter '-TARGET'"},
                    BadCommandLine{"IterationsWithoutValue",
                                   {L"-target", L"x", L"-iterations"},
                                   "Missing argument missing for parameter '-iterations'"},
                    BadCommandLine{"IterationsNotANumber",
                                   {L"-target", L"x", L"-iterations", L"ten"},
                                   "Iteration <ten> does not seem to be a number"},
                    BadCommandLine{"IterationsOutOfRange",
                                   {L"-target", L"x", L"-iterations", L"2147483648"},
                                   "Iteration <2147483648> does not seem to be a number"},
                    BadCommandLine{"IterationsNegative",
                                   {L"-target", L"x", L"-iterations", L"-5"},
                                   "Iteration <-5> must not be negative"},
                    BadCommandLine{"UnknownBeforeHelp", {L"-foo", L"-help"}, "Unknown parameter <-foo>"}),
    [](const testing::TestParamInfo<BadCommandLine>& info) { return std::string(info.param.name); });

TEST(ConsoleOutput, CharacterTheCodePageCannotShowBecomesQuestionMarkAndTheLineGoesOn) {
    // U+4E2D has no form in the Western code pages; where the system's code
    // page has one, the character itself is expected instead.
    const std::wstring character = L"\u4E2D";
    char encoded[8] = {};
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, character.c_str(), 1, encoded, 8,
                                           nullptr, &usedDefault);
    const std::string expected = usedDefault || length <= 0 ? "?" : std::string(encoded, length);

    const ProcessResult run = RunTool({L"-foo" + character + L"bar"});
    EXPECT_EQ(run.exitCode, 87u);
    EXPECT_EQ(Lines(run.err).at(0), "Unknown parameter <-foo" + expected + "bar>");
}

class FullRun : public testing::Test {
protected:
    TempDir target;
};

// The console of a successful run, with the test file's path and the
// timings left as patterns.
std::string SuccessfulRunPattern(const std::wstring& target) {
    std::string escaped;
    for (char c : Narrow(target)) {
        if (std::string("\\.^$|()[]{}*+?").find(c) != std::string::npos)
            escaped += '\\';
        escaped += c;
    }
    const std::string seconds = "[0-9]+\\.[0-9]{6}";
    return "\nQuillmarsh by the Quillmarsh contributors\n\n"
           "Creating test file <" +
           escaped +
           "\\\\[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}>\\.\\.\\.\n"
           "\\.\\.\\.done\\.\n"
           "Starting GetPrivateProfileString read loop\\.\\.\\.\n"
           "\\.\\.\\.done\\.\n"
           "Starting custom read loop\\.\\.\\.\n"
           "\\.\\.\\.done\\.\n"
           "Starting create/delete test\\.\\.\\.\n"
           "\\.\\.\\.done\\.\n"
           "\n"
           "Write with custom function \\(s\\): " +
           seconds +
           "\n"
           "ReadPrivateProfileString \\(s\\):   " +
           seconds +
           "\n"
           "Read with custom function \\(s\\):  " +
           seconds +
           "\n"
           "Create/delete loop \\(s\\):         " +
           seconds +
           "\n"
           "\n"
           "Quillmarsh finished successfully\n";
}

TEST_F(FullRun, ThreeIterationsPrintFourResultsAndLeaveTheTargetEmpty) {
    const ProcessResult run = RunTool({L"-target", target.Path(), L"-iterations", L"3"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::regex_match(run.out, std::regex(SuccessfulRunPattern(target.Path()))))
        << "unexpected console output:\n"
        << run.out;
    EXPECT_TRUE(ListDirectory(target.Path()).empty()) << "the run left files in the target";
}

TEST_F(FullRun, TargetWithTrailingBackslashGetsOneSeparatorAndIsCleanedUp) {
    const ProcessResult run = RunTool({L"-target", target.Path() + L"\\", L"-iterations", L"2"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_TRUE(std::regex_match(run.out, std::regex(SuccessfulRunPattern(target.Path()))))
        << "expected exactly one backslash before the file name:\n"
        << run.out;
    EXPECT_TRUE(ListDirectory(target.Path()).empty()) << "the run left files in the target";
}

TEST_F(FullRun, MissingTargetDirectoryEndsWithFileNotFoundAndNoResults) {
    const std::wstring missing = target.File(L"does-not-exist");
    const ProcessResult run = RunTool({L"-target", missing, L"-iterations", L"3"});
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.out.find("(s):"), std::string::npos) << "a result line was printed for a failed run";
    EXPECT_EQ(run.err, FailureVerdict(2));
    EXPECT_TRUE(ListDirectory(target.Path()).empty()) << "the run created something";
}

} // namespace
