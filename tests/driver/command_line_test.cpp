#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "stdout_capture.h"
#include "errors/error_text.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

// One ProcessCmdLine call with `arguments` after the program path, seen
// through the log and standard output.
struct ParseResult {
    Win32Error code = 0;
    bool runTests = false;
    RunSettings settings;
    std::vector<std::wstring> log;
    std::string out;
};

ParseResult Parse(const std::vector<std::wstring>& arguments) {
    std::vector<const wchar_t*> argv{L"C:\\tools\\Quillmarsh.exe"};
    for (const std::wstring& argument : arguments)
        argv.push_back(argument.c_str());
    ParseResult result;
    result.runTests = true; // must be reset on every path
    LogCapture capture;
    {
        StdoutCapture out;
        result.code =
            ProcessCmdLine(static_cast<int>(argv.size()), argv.data(), result.settings, result.runTests);
        result.out = out.Text();
    }
    result.log = capture.Lines();
    return result;
}

std::wstring Describe(const std::vector<std::wstring>& arguments) {
    std::wstring text;
    for (const std::wstring& argument : arguments)
        text += L"[" + argument + L"]";
    return text;
}

bool PrintedUsage(const std::string& out) {
    return out.find("Syntax:\n=======\n") != std::string::npos &&
           out.find("Quillmarsh [-help] -target <UNC path> [-iterations <number>]\n") != std::string::npos;
}

// True when `name` is UUID text: 36 lowercase hex digits and hyphens, 8-4-4-4-12.
bool IsUuidText(const std::wstring& name) {
    if (name.size() != 36)
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        const wchar_t c = name[i];
        if (hyphenPlace ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f')))
            return false;
    }
    return true;
}

struct ErrorCase {
    std::vector<std::wstring> arguments;
    std::wstring message; // the one ERROR line, without "ERROR,ProcessCmdLine,"
};

TEST(ProcessCmdLine, EveryErrorLogsItsOneMessageAndReturns87) {
    const ErrorCase cases[] = {
        {{L"-target"}, L"Missing argument missing for parameter '-target'"},
        {{L"-TARGET"}, L"Missing argument missing for parameter '-TARGET'"},
        {{L"-target", L"x", L"-iterations"}, L"Missing argument missing for parameter '-iterations'"},
        {{L"-target", L"x", L"-Iterations"}, L"Missing argument missing for parameter '-Iterations'"},
        {{L"-target", L"x", L"-iterations", L"5", L"-target"},
         L"Missing argument missing for parameter '-target'"},
        {{L"-target", L"x", L"-iterations", L"ten"}, L"Iteration <ten> does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L"abc"}, L"Iteration <abc> does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L""}, L"Iteration <> does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L"  "}, L"Iteration <  > does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L"+"}, L"Iteration <+> does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L"-"}, L"Iteration <-> does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L"x12"}, L"Iteration <x12> does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L"2147483648"},
         L"Iteration <2147483648> does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L"99999999999999999999"},
         L"Iteration <99999999999999999999> does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L"-2147483649"},
         L"Iteration <-2147483649> does not seem to be a number"},
        // The value is always the next argument, even when it looks like an option.
        {{L"-target", L"x", L"-iterations", L"-help"}, L"Iteration <-help> does not seem to be a number"},
        // Negative counts would wrap to more than two billion passes.
        {{L"-target", L"x", L"-iterations", L"-5"}, L"Iteration <-5> must not be negative"},
        {{L"-target", L"x", L"-iterations", L" -1"}, L"Iteration < -1> must not be negative"},
        {{L"-target", L"x", L"-iterations", L"-2147483648"}, L"Iteration <-2147483648> must not be negative"},
        {{L"-target", L"x", L"-iterations", L"\u00B2"}, L"Iteration <\u00B2> does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L"\u2460"}, L"Iteration <\u2460> does not seem to be a number"},
        {{L"-target", L"x", L"-iterations", L"\uFF12\uFF11\uFF14\uFF17\uFF14\uFF18\uFF13\uFF16\uFF14\uFF18"},
         L"Iteration <\uFF12\uFF11\uFF14\uFF17\uFF14\uFF18\uFF13\uFF16\uFF14\uFF18> does not seem to be a "
         L"number"},
        // From 1 to 256 clients, by the same number rule.
        {{L"-target", L"x", L"-clients", L"0"}, L"Clients <0> must be a number from 1 to 256"},
        {{L"-target", L"x", L"-clients", L"-4"}, L"Clients <-4> must be a number from 1 to 256"},
        {{L"-target", L"x", L"-clients", L"257"}, L"Clients <257> must be a number from 1 to 256"},
        {{L"-target", L"x", L"-clients", L"four"}, L"Clients <four> must be a number from 1 to 256"},
        {{L"-target", L"x", L"-clients", L""}, L"Clients <> must be a number from 1 to 256"},
        {{L"-target", L"x", L"-clients", L"0x4"}, L"Clients <0x4> must be a number from 1 to 256"},
        {{L"-target", L"x", L"-clients", L"99999999999"},
         L"Clients <99999999999> must be a number from 1 to 256"},
        {{L"-target", L"x", L"-CLIENTS"}, L"Missing argument missing for parameter '-CLIENTS'"},
        // A sweep: an ascending list, every count from 1 to 256, nothing else.
        {{L"-target", L"x", L"-clients", L"1,2,2"},
         L"Clients <1,2,2> must be an ascending list of numbers from 1 to 256"},
        {{L"-target", L"x", L"-clients", L"4,2"},
         L"Clients <4,2> must be an ascending list of numbers from 1 to 256"},
        {{L"-target", L"x", L"-clients", L"1,000"},
         L"Clients <1,000> must be an ascending list of numbers from 1 to 256"},
        {{L"-target", L"x", L"-clients", L"1,257"},
         L"Clients <1,257> must be an ascending list of numbers from 1 to 256"},
        {{L"-target", L"x", L"-clients", L"1,2,"},
         L"Clients <1,2,> must be an ascending list of numbers from 1 to 256"},
        {{L"-target", L"x", L"-clients", L",2"},
         L"Clients <,2> must be an ascending list of numbers from 1 to 256"},
        {{L"-target", L"x", L"-clients", L"1,2x"},
         L"Clients <1,2x> must be an ascending list of numbers from 1 to 256"},
        {{L"-target", L"x", L"-html", L"-latency"},
         L"The file name after '-html' is missing: <-latency> is an option"},
        {{L"-target", L"x", L"-runs", L"0"}, L"Runs <0> must be a number from 1 to 1000"},
        {{L"-target", L"x", L"-runs", L"1001"}, L"Runs <1001> must be a number from 1 to 1000"},
        {{L"-target", L"x", L"-Runs", L"five"}, L"Runs <five> must be a number from 1 to 1000"},
        {{L"-target", L"x", L"-label", L"-runs", L"3"},
         L"The label after '-label' is missing: <-runs> is an option"},
        {{L"-target", L"x", L"-label", L"a\tb"}, L"The label <a\tb> holds a control character"},
        {{L"-compare", L"a.json"},
         L"-compare needs a baseline document and at least one more to compare with it"},
        {{L"-compare", L"a.json", L"-json", L"c.json"},
         L"-compare needs a baseline document and at least one more to compare with it"},
        {{L"-compare", L"a.json", L"b.json", L"-target", L"x"},
         L"-compare combines with -json <file> and -html <file> only, not with <-target>"},
        {{L"-latency", L"-COMPARE", L"a.json", L"b.json"},
         L"-compare combines with -json <file> and -html <file> only, not with <-latency>"},
        {{L"-foo", L"-help"}, L"Unknown parameter <-foo>"},
        {{L"x"}, L"Unknown parameter <x>"},
        {{L"-targets", L"x"}, L"Unknown parameter <-targets>"},
        {{L"-t", L"x"}, L"Unknown parameter <-t>"},
        {{L"--target", L"x"}, L"Unknown parameter <--target>"},
        {{L"-target=x"}, L"Unknown parameter <-target=x>"},
        {{L"/target", L"x"}, L"Unknown parameter </target>"},
        {{L"-helpme"}, L"Unknown parameter <-helpme>"},
        {{L"help"}, L"Unknown parameter <help>"},
        {{L""}, L"Unknown parameter <>"},
        {{L"-target", L"x", L"-iterations", L"5", L"bogus", L"-help"}, L"Unknown parameter <bogus>"},
        // Parsing stops at the first error.
        {{L"-iterations", L"abc", L"-foo"}, L"Iteration <abc> does not seem to be a number"},
        {{L"-iterations", L"5"}, L"No target specified!"},
        {{L"-target", L"", L"-iterations", L"5"}, L"No target specified!"},
        {{L"-target", L"x", L"-target", L""}, L"No target specified!"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(Describe(c.arguments));
        const ParseResult r = Parse(c.arguments);
        EXPECT_EQ(r.code, 87u) << "an error must return ERROR_INVALID_PARAMETER";
        EXPECT_FALSE(r.runTests) << "tests must not run after an error";
        EXPECT_TRUE(r.settings.testFilePath.empty()) << "no test file may be named after an error";
        EXPECT_EQ(r.log, std::vector<std::wstring>{L"ERROR,ProcessCmdLine," + c.message});
        EXPECT_EQ(r.out, "") << "no usage text on an error";
    }
}

struct HelpCase {
    std::vector<std::wstring> arguments;
    std::wstring targetAfter; // options before the help request are already applied
};

TEST(ProcessCmdLine, HelpOrNoArgumentsPrintsUsageAndRunsNothing) {
    const HelpCase cases[] = {
        {{}, L""},
        {{L"-help"}, L""},
        {{L"-HELP"}, L""},
        {{L"-Help"}, L""},
        {{L"-?"}, L""},
        {{L"/help"}, L""},
        {{L"/HELP"}, L""},
        {{L"/hElP"}, L""},
        {{L"/?"}, L""},
        {{L"-help", L"-foo"}, L""},
        {{L"/?", L"-target"}, L""},
        {{L"-target", L"x", L"-help"}, L"x"},
        {{L"-target", L"x", L"-iterations", L"5", L"-?", L"-iterations", L"abc"}, L"x"},
    };
    for (const HelpCase& c : cases) {
        SCOPED_TRACE(Describe(c.arguments));
        const ParseResult r = Parse(c.arguments);
        EXPECT_EQ(r.code, 0u) << "help is not an error";
        EXPECT_FALSE(r.runTests) << "help must not run the tests";
        EXPECT_TRUE(r.settings.testFilePath.empty());
        EXPECT_EQ(r.settings.target, c.targetAfter);
        EXPECT_TRUE(r.log.empty()) << "help logs nothing, first line: " << (r.log.empty() ? L"" : r.log[0]);
        EXPECT_TRUE(PrintedUsage(r.out)) << "usage text not printed; stdout was: " << r.out;
    }
}

struct AcceptedCase {
    std::vector<std::wstring> arguments;
    std::wstring target;
    std::uint32_t iterations;
    std::wstring readAs = {}; // "Iteration <value> is read as N" when the value's end is ignored, or empty
    std::uint32_t clients = 1;
    std::vector<std::uint32_t> clientSweep = {};
};

TEST(ProcessCmdLine, AcceptedCommandLinesFillTheSettings) {
    const AcceptedCase cases[] = {
        {{L"-target", L"\\\\srv\\share"}, L"\\\\srv\\share", 1000},
        {{L"-TARGET", L"x", L"-ITERATIONS", L"25"}, L"x", 25},
        {{L"-Target", L"x", L"-Iterations", L"1"}, L"x", 1},
        {{L"-iterations", L"5", L"-target", L"x"}, L"x", 5},
        {{L"-target", L"x", L"-iterations", L"7z"}, L"x", 7, L"Iteration <7z> is read as 7"},
        {{L"-target", L"x", L"-iterations", L"12abc"}, L"x", 12, L"Iteration <12abc> is read as 12"},
        {{L"-target", L"x", L"-iterations", L"0x10"}, L"x", 1000, L"Iteration <0x10> is read as 0"},
        {{L"-target", L"x", L"-iterations", L" +12"}, L"x", 12},
        {{L"-target", L"x", L"-iterations", L"\t\n 12 "}, L"x", 12}, // white space after it is no misreading
        {{L"-target", L"x", L"-iterations", L"1,000"}, L"x", 1, L"Iteration <1,000> is read as 1"},
        {{L"-target", L"x", L"-iterations", L"10x"}, L"x", 10, L"Iteration <10x> is read as 10"},
        {{L"-target", L"x", L"-iterations", L"2 000"}, L"x", 2, L"Iteration <2 000> is read as 2"},
        {{L"-target", L"x", L"-iterations", L"007"}, L"x", 7},
        {{L"-target", L"x", L"-clients", L"4"}, L"x", 1000, L"", 4},
        {{L"-clients", L"256", L"-target", L"x", L"-Clients", L"1"}, L"x", 1000, L"", 1},
        {{L"-target", L"x", L"-clients", L"256", L"-iterations", L"3"}, L"x", 3, L"", 256},
        {{L"-target", L"x", L"-clients", L"4x"}, L"x", 1000, L"Clients <4x> is read as 4", 4},
        {{L"-target", L"x", L"-clients", L"1,2,4,8"}, L"x", 1000, L"", 1, {1, 2, 4, 8}},
        {{L"-target", L"x", L"-clients", L" 3, 256"}, L"x", 1000, L"", 3, {3, 256}},
        {{L"-target", L"x", L"-clients", L"2,4", L"-clients", L"5"}, L"x", 1000, L"", 5}, // the last counts
        {{L"-target", L"x", L"-clients", L"5", L"-clients", L"2,4"}, L"x", 1000, L"", 2, {2, 4}},
        {{L"-target", L"x", L"-runs", L"5", L"-label", L"server A"}, L"x", 1000},
        {{L"-target", L"x", L"-runs", L"3x"}, L"x", 1000, L"Runs <3x> is read as 3"},
        {{L"-target", L"x", L"-iterations", L"0"}, L"x", 1000},
        {{L"-target", L"x", L"-iterations", L"-0"}, L"x", 1000},
        {{L"-target", L"x", L"-iterations", L"2147483647"}, L"x", 2147483647u},
        {{L"-target", L"x", L"-iterations", L"5", L"-iterations", L"9"}, L"x", 9},
        {{L"-target", L"x", L"-target", L"y"}, L"y", 1000},
        {{L"-target", L"-help"}, L"-help", 1000},
        {{L"-target", L"-iterations", L"-iterations", L"3"}, L"-iterations", 3},
        {{L"-target", L" C:\\my dir "}, L" C:\\my dir ", 1000}, // taken verbatim
        // Decimal digits of other scripts count as the runtime's conversion
        // counts them.
        {{L"-target", L"x", L"-iterations", L"\uFF11\uFF12"}, L"x", 12}, // full-width 12
        {{L"-target", L"x", L"-iterations", L"\u0663"}, L"x", 3},        // Arabic-Indic 3
        {{L"-target", L"x", L"-iterations", L"\u0968\u0966"}, L"x", 20}, // Devanagari 20
        {{L"-target", L"x", L"-iterations", L"1\uFF15x"},
         L"x",
         15,
         L"Iteration <1\uFF15x> is read as 15"}, // mixed, then a stop
        {{L"-target", L"x", L"-iterations", L"\u0669\u00B2"},
         L"x",
         9,
         L"Iteration <\u0669\u00B2> is read as 9"}, // superscript two is no digit
    };
    for (const AcceptedCase& c : cases) {
        SCOPED_TRACE(Describe(c.arguments));
        const ParseResult r = Parse(c.arguments);
        EXPECT_EQ(r.code, 0u);
        EXPECT_TRUE(r.runTests) << "a complete command line must run the tests";
        EXPECT_EQ(r.settings.target, c.target);
        EXPECT_EQ(r.settings.iterations, c.iterations);
        EXPECT_EQ(r.settings.clients, c.clients);
        EXPECT_EQ(r.settings.clientSweep, c.clientSweep);
        // The number still stops at the first other character; only the user
        // hears of it.
        std::vector<std::wstring> expectedLog;
        if (!c.readAs.empty())
            expectedLog.push_back(L"WARN ,ProcessCmdLine," + c.readAs +
                                  L": the characters after the digits are ignored");
        EXPECT_EQ(r.log, expectedLog);
        EXPECT_EQ(r.out, "") << "no usage text for an accepted command line";
    }
}

// The directory part of the test file path: the target's full, normalised
// form, so that the plain and the long form of the path name the same file.
TEST(ProcessCmdLine, TestFilePathIsTheFullTargetOneBackslashAndUuid) {
    wchar_t current[MAX_PATH];
    const std::wstring cwd(current, GetCurrentDirectoryW(MAX_PATH, current));
    const std::wstring cwdDir = cwd.back() == L'\\' ? cwd : cwd + L"\\";
    const struct {
        std::wstring target;
        std::wstring prefix; // what testFilePath must start with
    } cases[] = {
        // Already full and normalised: the path is target + "\" + UUID, as typed.
        {L"C:\\dir", L"C:\\dir\\"},
        {L"C:\\dir\\", L"C:\\dir\\"},
        {L"\\\\srv\\share", L"\\\\srv\\share\\"},
        {L"\\\\srv\\share\\", L"\\\\srv\\share\\"},
        {L"C:\\", L"C:\\"},
        {L"C:\\My Dir\\x.y", L"C:\\My Dir\\x.y\\"},
        // Other spellings of the same folder.
        {L"C:\\dir\\sub.", L"C:\\dir\\sub\\"},
        {L"C:\\dir\\sub ", L"C:\\dir\\sub\\"},
        {L"C:\\dir\\sub. .", L"C:\\dir\\sub\\"},
        {L"C:\\dir\\sub/", L"C:\\dir\\sub\\"},
        {L"C:/dir/sub", L"C:\\dir\\sub\\"},
        {L"C:\\dir\\\\sub", L"C:\\dir\\sub\\"},
        {L"C:\\dir\\.\\sub", L"C:\\dir\\sub\\"},
        {L"C:\\dir\\x\\..\\sub", L"C:\\dir\\sub\\"},
        {L"C:\\dir\\sub\\..", L"C:\\dir\\"},
        {L"//srv/share/dir", L"\\\\srv\\share\\dir\\"},
        {L"relative", cwdDir + L"relative\\"},
        {L".", cwdDir},
        // The long form is the caller's literal name: the system leaves it alone.
        {L"\\\\?\\C:\\dir\\sub.", L"\\\\?\\C:\\dir\\sub.\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        const ParseResult r = Parse({L"-target", c.target});
        ASSERT_EQ(r.code, 0u);
        EXPECT_EQ(r.settings.target, c.target) << "the target itself is kept as typed";
        const std::wstring& path = r.settings.testFilePath;
        ASSERT_EQ(path.size(), c.prefix.size() + 36) << "unexpected test file path " << path;
        EXPECT_EQ(path.substr(0, c.prefix.size()), c.prefix) << "test file path " << path;
        EXPECT_TRUE(IsUuidText(path.substr(c.prefix.size()))) << "file name is not UUID text: " << path;
    }
}

// -latency, -json and -csv combine with every other option in any order; the
// result files are kept as full paths.
TEST(ProcessCmdLine, ResultOptionsCombineInAnyOrder) {
    TempDir target;
    TempDir results;
    const std::wstring json = results.File(L"run.json");
    const std::wstring csv = results.File(L"runs.csv");
    const struct {
        std::vector<std::wstring> arguments;
        bool latency;
        std::wstring jsonPath, csvPath, htmlPath = {};
    } cases[] = {
        {{L"-target", target.Path(), L"-latency"}, true, L"", L""},
        {{L"-LATENCY", L"-target", target.Path()}, true, L"", L""},
        {{L"-json", json, L"-target", target.Path()}, false, json, L""},
        {{L"-target", target.Path(), L"-Csv", csv, L"-iterations", L"5"}, false, L"", csv},
        {{L"-csv", csv, L"-latency", L"-iterations", L"5", L"-JSON", json, L"-target", target.Path()},
         true,
         json,
         csv},
        {{L"-target", target.Path(), L"-latency", L"-latency"}, true, L"", L""},
        {{L"-Html", results.File(L"run.html"), L"-target", target.Path(), L"-json", json},
         false,
         json,
         L"",
         results.File(L"run.html")},
        {{L"-target", target.Path(), L"-json", results.File(L"first.json"), L"-json", json},
         false,
         json,
         L""},
        // Relative to the current directory, like the target.
        {{L"-target", target.Path(), L"-json",
          L"..\\" + results.Path().substr(results.Path().rfind(L'\\') + 1) + L"\\run.json"},
         false,
         json,
         L""},
    };
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryW(target.Path().c_str()));
    for (const auto& c : cases) {
        SCOPED_TRACE(Describe(c.arguments));
        const ParseResult r = Parse(c.arguments);
        EXPECT_EQ(r.code, 0u);
        EXPECT_TRUE(r.runTests);
        EXPECT_EQ(r.settings.latency, c.latency);
        EXPECT_EQ(r.settings.jsonPath, c.jsonPath);
        EXPECT_EQ(r.settings.csvPath, c.csvPath);
        EXPECT_EQ(r.settings.htmlPath, c.htmlPath);
        EXPECT_TRUE(r.log.empty()) << (r.log.empty() ? L"" : r.log[0]);
    }
    SetCurrentDirectoryW(current);
    EXPECT_TRUE(ListDirectory(results.Path()).empty()) << "checking a result file left something behind";
    EXPECT_TRUE(ListDirectory(target.Path()).empty());
}

// A result file that cannot be had is bad input: 87 before any test runs,
// with nothing made in the target or beside the result file.
TEST(ProcessCmdLine, ResultFilesThatCannotBeWrittenAreRejected) {
    TempDir target;
    TempDir results;
    ASSERT_TRUE(CreateDirectoryW(results.File(L"a-folder").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(target.File(L"sub").c_str(), nullptr));
    const std::wstring missingFolder = results.File(L"missing\\run.json");
    const struct {
        std::vector<std::wstring> arguments;
        std::wstring message;
    } cases[] = {
        {{L"-target", target.Path(), L"-json"}, L"Missing argument missing for parameter '-json'"},
        {{L"-target", target.Path(), L"-CSV"}, L"Missing argument missing for parameter '-CSV'"},
        {{L"-json", L"", L"-target", target.Path()}, L"Missing argument missing for parameter '-json'"},
        // An option where the file name belongs is a forgotten file name, not
        // a file to be called "-latency".
        {{L"-target", target.Path(), L"-json", L"-latency"},
         L"The file name after '-json' is missing: <-latency> is an option"},
        {{L"-csv", L"-TARGET", target.Path()},
         L"The file name after '-csv' is missing: <-TARGET> is an option"},
        {{L"-target", target.Path(), L"-JSON", L"/?"},
         L"The file name after '-JSON' is missing: </?> is an option"},
        {{L"-target", target.Path(), L"-csv", L"-Iterations", L"5"},
         L"The file name after '-csv' is missing: <-Iterations> is an option"},
        {{L"-target", target.Path(), L"-json", L"-csv", L"x.csv"},
         L"The file name after '-json' is missing: <-csv> is an option"},
        {{L"-target", target.Path(), L"-csv", missingFolder},
         L"The folder of the result file <" + missingFolder + L"> does not exist"},
        {{L"-target", target.Path(), L"-json", results.File(L"a-folder")},
         L"The result file <" + results.File(L"a-folder") + L"> cannot be written: " + Flat(GetErrorText(5))},
        {{L"-target", target.Path(), L"-csv", results.File(L"bad<name.csv")},
         L"The result file <" + results.File(L"bad<name.csv") + L"> cannot be written: " +
             Flat(GetErrorText(123))},
        {{L"-target", target.Path(), L"-json", results.File(L"both"), L"-csv", results.File(L"BOTH")},
         L"-json and -csv name the same file <" + results.File(L"both") + L">"},
        {{L"-target", target.Path(), L"-html", results.File(L"r.html"), L"-json", results.File(L"R.HTML")},
         L"-json and -html name the same file <" + results.File(L"R.HTML") + L">"},
        {{L"-target", target.Path(), L"-csv", results.File(L"runs.csv"), L"-html", results.File(L"RUNS.csv")},
         L"-csv and -html name the same file <" + results.File(L"runs.csv") + L">"},
        {{L"-target", target.Path(), L"-html", target.File(L"r.html")},
         L"The result file <" + target.File(L"r.html") + L"> lies in the target <" + target.Path() +
             L">: results are never written there"},
        {{L"-target", target.Path(), L"-json", target.File(L"run.json")},
         L"The result file <" + target.File(L"run.json") + L"> lies in the target <" + target.Path() +
             L">: results are never written there"},
        {{L"-target", target.Path() + L"\\", L"-csv", target.File(L"sub\\runs.csv")},
         L"The result file <" + target.File(L"sub\\runs.csv") + L"> lies in the target <" + target.Path() +
             L"\\>: results are never written there"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Describe(c.arguments));
        const ParseResult r = Parse(c.arguments);
        EXPECT_EQ(r.code, 87u);
        EXPECT_FALSE(r.runTests);
        EXPECT_TRUE(r.settings.testFilePath.empty());
        EXPECT_EQ(r.log, std::vector<std::wstring>{L"ERROR,ProcessCmdLine," + c.message});
    }
    EXPECT_EQ(ListDirectory(target.Path()), std::vector<std::wstring>{L"sub"});
    EXPECT_EQ(ListDirectory(results.Path()), std::vector<std::wstring>{L"a-folder"});
}

TEST(ProcessCmdLine, EveryRunGetsAFileNameOfItsOwn) {
    std::set<std::wstring> paths;
    for (int i = 0; i < 10; ++i) {
        const ParseResult r = Parse({L"-target", L"C:\\dir"});
        ASSERT_EQ(r.code, 0u);
        paths.insert(r.settings.testFilePath);
    }
    EXPECT_EQ(paths.size(), 10u) << "two runs against the same target share a test file name";
}

TEST(ProcessCmdLine, RunsAndLabelFillTheSettings) {
    const ParseResult r = Parse({L"-target", L"x", L"-runs", L"5", L"-LABEL", L"server A"});
    EXPECT_EQ(r.code, 0u);
    EXPECT_TRUE(r.runTests);
    EXPECT_EQ(r.settings.runs, 5u);
    EXPECT_EQ(r.settings.label, L"server A");
}

// -compare runs no test: it names the documents, the baseline first, and may
// write the comparison as JSON.
TEST(ProcessCmdLine, CompareNamesItsDocumentsAndRunsNoTest) {
    TempDir results;
    const ParseResult r = Parse({L"-json", results.File(L"c.json"), L"-compare", L"base.json", L"other.json",
                                 L"third.json", L"-html", results.File(L"c.html")});
    EXPECT_EQ(r.code, 0u);
    EXPECT_FALSE(r.runTests);
    EXPECT_EQ(r.settings.compareFiles,
              (std::vector<std::wstring>{L"base.json", L"other.json", L"third.json"}));
    EXPECT_EQ(r.settings.jsonPath, results.File(L"c.json"));
    EXPECT_EQ(r.settings.htmlPath, results.File(L"c.html"));
    EXPECT_TRUE(r.settings.testFilePath.empty());
    EXPECT_TRUE(r.log.empty()) << r.log[0];
    EXPECT_TRUE(ListDirectory(results.Path()).empty());
}

TEST(ProcessCmdLine, MissingArgumentVectorIsRejectedSilently) {
    RunSettings settings;
    bool runTests = true;
    LogCapture capture;
    EXPECT_EQ(ProcessCmdLine(3, nullptr, settings, runTests), 87u);
    EXPECT_FALSE(runTests);
    EXPECT_TRUE(capture.Lines().empty()) << "a null argument vector is rejected without a message";
}

} // namespace
