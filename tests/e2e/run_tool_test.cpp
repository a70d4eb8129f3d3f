// Runs the real tool and checks what a user or a script sees: the console
// lines on each stream, the exit code and what is left in the target folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "errors/error_text.h"
#include "fsutil/long_path.h"
#include "support/log_capture.h"
#include "support/process_runner.h"
#include "support/temp_dir.h"
#include "tool_console.h"

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
    "           [-clients <number>[,<number>...]] [-runs <number>] [-label <text>]\n"
    "           [-latency] [-json <file>] [-csv <file>] [-html <file>]\n"
    "Quillmarsh -compare <baseline.json> <other.json> [more.json ...] [-json <file>] [-html <file>]\n"
    "\n"
    "Options:\n"
    "========\n"
    "-clients <number>  Runs the tests on that many clients at once (1 to 256, default 1), each on its own "
    "file\n"
    "-clients 1,2,4,8   Runs the tests once per number of clients (ascending) and shows how they scale\n"
    "-runs <number>     Repeats the four tests that many times (1 to 1000, default 1) and sums them up\n"
    "-label <text>      Names the run in the console, the result files and comparisons\n"
    "-latency           Also times every phase of every pass and prints their percentiles\n"
    "-json <file>       Writes the run's results to a JSON document, replacing it whole\n"
    "-csv <file>        Appends a row with the run's results to a CSV sheet\n"
    "-html <file>       Writes a report page with tables and charts to an HTML file, replacing it whole\n"
    "-compare           Runs no test: compares result documents with the first and says which changes are "
    "real\n"
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

ProcessResult RunTool(const std::vector<std::wstring>& arguments,
                      const std::wstring& currentDirectory = L"") {
    return RunProcess(SiblingProgram(L"Quillmarsh.exe"), arguments, 120000, currentDirectory);
}

class HelpRun : public testing::TestWithParam<std::vector<std::wstring>> {};

TEST_P(HelpRun, PrintsBannerThenUsageThenVerdict) {
    const ProcessResult run = RunTool(GetParam());
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    // The usage text is printed directly, the banner through the logger's
    // thread: the usage text must wait for the banner, also through a pipe.
    EXPECT_EQ(run.out, std::string(kBanner) + kUsage + kSuccess);
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

void PrintTo(const BadCommandLine& c, std::ostream* os) {
    *os << c.name;
}

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

TEST(ConsoleOutput, CharactersOfTheCodePageBeyondAsciiAreShownAsThemselves) {
    // Characters whose byte in the Western code page (1252) is not their code
    // point: the euro sign is 0x80, OE 0x8C, s-caron 0x9A, the low quote 0x84.
    // Only a console that converts by the user's code page shows them.
    for (const std::wstring character : {L"\u20AC", L"\u0152", L"\u0161", L"\u201E"}) {
        char encoded[8] = {};
        BOOL usedDefault = FALSE;
        const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, character.c_str(), 1, encoded, 8,
                                               nullptr, &usedDefault);
        if (usedDefault || length <= 0)
            GTEST_SKIP() << "the system's code page has no form for U+" << std::hex
                         << static_cast<unsigned>(character[0]);
        const ProcessResult run = RunTool({L"-caf" + character + L"-x"});
        EXPECT_EQ(run.exitCode, 87u);
        EXPECT_EQ(Lines(run.err).at(0), "Unknown parameter <-caf" + std::string(encoded, length) + "-x>")
            << "U+" << std::hex << static_cast<unsigned>(character[0])
            << " must appear in the code page's form";
    }
}

class FullRun : public testing::Test {
protected:
    TempDir target;
};

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
    // The write test fails; no later test may start, and no result line follows.
    EXPECT_TRUE(
        std::regex_match(run.out, std::regex(std::string(kBanner) + "Creating test file <[^>]+>\\.\\.\\.\n")))
        << run.out;
    EXPECT_EQ(run.err, FailureVerdict(2));
    EXPECT_TRUE(ListDirectory(target.Path()).empty()) << "the run created something";
}

// A successful run of three iterations against `typed`, which must name the
// folder `folder` (as the tool shows it); afterwards that folder is empty.
void ExpectCleanRunIn(const std::wstring& typed, const std::wstring& folder,
                      const std::wstring& currentDirectory = L"") {
    const ProcessResult run = RunTool({L"-target", typed, L"-iterations", L"3"}, currentDirectory);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::regex_match(run.out, std::regex(SuccessfulRunPattern(folder))))
        << "the test file is not named inside '" << Narrow(folder) << "':\n"
        << run.out;
    EXPECT_TRUE(ListDirectory(LongPathOf(folder)).empty()) << "the run left files in the target";
}

TEST_F(FullRun, EverySpellingOfAFolderNamesThatFolderAndLeavesItEmpty) {
    const std::wstring folder = target.File(L"sub");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::wstring mixed = folder;
    std::replace(mixed.begin() + 3, mixed.end(), L'\\', L'/'); // C:\a/b/sub
    const std::wstring leaf = target.Path().substr(target.Path().rfind(L'\\') + 1);
    const struct {
        const char* name;
        std::wstring typed;
        std::wstring currentDirectory;
    } cases[] = {
        {"trailing dot", folder + L".", L""},
        {"trailing blank", folder + L" ", L""},
        {"trailing dots and blanks", folder + L". .", L""},
        {"trailing forward slash", folder + L"/", L""},
        {"forward slashes", mixed, L""},
        {"doubled backslash", target.Path() + L"\\\\sub", L""},
        {"dot and dot-dot components", target.Path() + L"\\.\\x\\..\\sub", L""},
        {"relative", L"sub", target.Path()},
        {"relative with dot-dot", L"..\\" + leaf + L"\\sub", target.Path()},
        {"relative to the current directory", L".", folder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectCleanRunIn(c.typed, folder, c.currentDirectory);
    }
}

TEST_F(FullRun, TargetOfAbout300CharactersRunsCleanly) {
    // Past MAX_PATH every file call needs a form that works there: the long
    // form for the file calls and the runtime's open, and one the profile
    // functions take.
    std::wstring deep = target.Path();
    while (deep.size() < 300) {
        deep += L"\\a-folder-with-a-rather-long-name";
        ASSERT_TRUE(CreateDirectoryW(LongPathOf(deep).c_str(), nullptr)) << GetLastError();
    }
    ExpectCleanRunIn(deep, deep);
}

// Another process (a virus scanner, an indexer) opens the test file without
// delete sharing as soon as it appears, and keeps it open for `holdMs`.
class TestFileHeldOpen : public FullRun {
protected:
    void Hold(unsigned holdMs) {
        holder_ = std::thread([this, holdMs] {
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (std::chrono::steady_clock::now() < giveUp) {
                for (const std::wstring& name : ListDirectory(target.Path())) {
                    if (name.size() != 36)
                        continue; // a pass file of the create/delete loop
                    path_ = target.File(name);
                    HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, 0, nullptr);
                    if (file == INVALID_HANDLE_VALUE)
                        continue;
                    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
                    CloseHandle(file);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    void TearDown() override {
        if (holder_.joinable())
            holder_.join();
    }

    std::thread holder_;
    std::wstring path_; // the test file, once the holder found it
};

TEST_F(TestFileHeldOpen, FinalDeleteWaitsForAShortHolder) {
    Hold(1500);
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult run = RunTool({L"-target", target.Path(), L"-iterations", L"200"});
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    holder_.join();
    ASSERT_FALSE(path_.empty()) << "the holder never found the test file";
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "") << "a holder that lets go within the wait is no reason to warn";
    EXPECT_TRUE(std::regex_match(run.out, std::regex(SuccessfulRunPattern(target.Path())))) << run.out;
    EXPECT_GE(seconds, 1.4) << "the run cannot have deleted the file while it was held";
    EXPECT_TRUE(ListDirectory(target.Path()).empty()) << "the test file was left behind";
}

TEST_F(TestFileHeldOpen, FileHeldBeyondTheWaitIsNamedInAWarningAndTheResultStands) {
    Hold(9000);
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult run = RunTool({L"-target", target.Path(), L"-iterations", L"200"});
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool leftBehind = !path_.empty() && GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
    holder_.join();
    ASSERT_FALSE(path_.empty()) << "the holder never found the test file";
    EXPECT_EQ(run.exitCode, 0u) << "the tests' result is the exit code: " << run.err;
    EXPECT_TRUE(std::regex_match(run.out, std::regex(SuccessfulRunPattern(target.Path())))) << run.out;
    EXPECT_EQ(run.err, "The test file <" + Narrow(path_) +
                           "> is in use by another process and was left behind: " +
                           Narrow(Flat(GetErrorText(32))) + "\n");
    EXPECT_TRUE(leftBehind) << "the file was reported as left behind but is gone";
    EXPECT_GE(seconds, 5.0) << "the run gave up before the five-second wait";
    EXPECT_LT(seconds, 8.5) << "the run waited for the holder beyond its five seconds";
}

// A drive root and a share root, each made a link to a folder of the build
// tree by the Wine test set-up (Wine's DefineDosDeviceW does not reach its
// file system, so the links are made beside the prefix before the tests).
TEST(LinkedRoots, DriveRootAndShareRootRunCleanlyInEverySpelling) {
    if (std::getenv("QM_LINKED_ROOTS") == nullptr)
        GTEST_SKIP() << "needs the drive L: and the share \\\\qmlocal\\share that the Wine test set-up links";
    const struct {
        std::wstring typed;
        std::wstring folder;
    } cases[] = {
        {L"L:\\", L"L:"},
        {L"L:/", L"L:"},
        {L"L:\\.", L"L:"},
        {L"\\\\qmlocal\\share", L"\\\\qmlocal\\share"},
        {L"\\\\qmlocal\\share\\", L"\\\\qmlocal\\share"},
        {L"//qmlocal/share", L"\\\\qmlocal\\share"},
        {L"\\\\qmlocal\\share\\sub\\..", L"\\\\qmlocal\\share"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ExpectCleanRunIn(c.typed, c.folder);
    }
}

} // namespace
