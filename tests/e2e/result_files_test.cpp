// Runs the real tool with -latency, -json and -csv and reads what it wrote the
// way a script would: the JSON document parsed back, the CSV sheet growing by
// one row per run. Without these options the console stays as it was (the
// other end-to-end tests compare it whole).
#include <gtest/gtest.h>

#include <windows.h>
#define SECURITY_WIN32
#include <security.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "errors/error_text.h"
#include "errors/string_conversion.h"
#include "support/process_runner.h"
#include "support/temp_dir.h"
#include "support/timing_allowance.h"
#include "tool_console.h"

namespace {

ProcessResult RunTool(const std::vector<std::wstring>& arguments) {
    return RunProcess(SiblingProgram(L"Quillmarsh.exe"), arguments);
}

nlohmann::json ReadJson(const std::wstring& path) {
    return nlohmann::json::parse(ReadBytes(path)); // throws, failing the test, on anything but valid JSON
}

// The four seconds that the console's result lines show.
std::vector<double> ConsoleSeconds(const std::string& out) {
    std::vector<double> seconds;
    const std::regex result(R"(\(s\): +([0-9]+\.[0-9]{6}))");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), result); it != std::sregex_iterator(); ++it)
        seconds.push_back(std::stod((*it)[1]));
    return seconds;
}

std::string Utf8(const std::wstring& text) {
    return Utf16ToUtf8(text);
}

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// The system's text for `code` as a log line shows it.
std::wstring ErrorText(Win32Error code) {
    std::wstring text = GetErrorText(code);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    return text;
}

class ResultFiles : public testing::Test {
protected:
    // Runs the tool with `arguments`; once the run's first test has made its
    // file in the target (the command line, and with it the result files'
    // check, has passed), calls `meanwhile` while the run goes on.
    template <class Action>
    ProcessResult RunAndMeanwhile(const std::vector<std::wstring>& arguments, Action meanwhile) {
        std::atomic<bool> done{false};
        std::thread watcher([&] {
            while (!done && ListDirectory(target.Path()).empty())
                Sleep(1);
            if (!done)
                meanwhile();
        });
        ProcessResult run = RunTool(arguments);
        done = true;
        watcher.join();
        return run;
    }

    TempDir target;
    TempDir results;
};

TEST_F(ResultFiles, JsonDocumentHoldsTheWholeRun) {
    const std::wstring json = results.File(L"run.json");
    const ProcessResult run =
        RunTool({L"-latency", L"-target", target.Path(), L"-iterations", L"40", L"-json", json});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ListDirectory(results.Path()), std::vector<std::wstring>{L"run.json"})
        << "the document's temporary file stayed";
    EXPECT_TRUE(ListDirectory(target.Path()).empty());

    const nlohmann::json document = ReadJson(json);
    EXPECT_EQ(document["tool"], "Quillmarsh");
    EXPECT_EQ(document["version"], "1.0.1.0");
    EXPECT_TRUE(std::regex_match(document["start"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")))
        << document["start"];
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &size));
    EXPECT_EQ(document["computer"], Utf8(computer));
    wchar_t account[256];
    ULONG accountSize = 256;
    ASSERT_TRUE(GetUserNameExW(NameSamCompatible, account, &accountSize));
    EXPECT_EQ(document["account"], Utf8(account));
    EXPECT_EQ(document["target"], Utf8(target.Path()));
    EXPECT_TRUE(std::regex_match(
        document["testFile"].get<std::string>(),
        std::regex(std::regex_replace(Utf8(target.Path()), std::regex(R"([\\.])"), R"(\$&)") +
                   R"(\\[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12})")))
        << document["testFile"];
    EXPECT_EQ(document["iterations"], 40);
    EXPECT_EQ(document["latency"], true);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    EXPECT_EQ(document["counterFrequency"], frequency.QuadPart);
    EXPECT_EQ(document["result"]["code"], 0);
    EXPECT_FALSE(document["result"]["text"].get<std::string>().empty());

    const std::vector<double> console = ConsoleSeconds(run.out);
    ASSERT_EQ(console.size(), 4u) << run.out;
    const char* const names[] = {"Write with custom function", "ReadPrivateProfileString",
                                 "Read with custom function", "Create/delete loop"};
    const std::vector<std::vector<std::string>> phases = {{"open", "write", "close"},
                                                          {"call"},
                                                          {"open", "read lines", "close"},
                                                          {"create", "write", "close", "delete"}};
    ASSERT_EQ(document["tests"].size(), 4u);
    for (std::size_t t = 0; t < 4; ++t) {
        SCOPED_TRACE(names[t]);
        const nlohmann::json& test = document["tests"][t];
        EXPECT_EQ(test["name"], names[t]);
        const double seconds = test["seconds"].get<double>();
        EXPECT_NEAR(seconds, console[t], 5e-7) << "the document and the console disagree";
        EXPECT_NEAR(test["operationsPerSecond"].get<double>(), 40 / seconds, 1e-6 * 40 / seconds);
        std::vector<nlohmann::json> stats = {test["pass"]};
        ASSERT_EQ(test["phases"].size(), phases[t].size());
        for (std::size_t p = 0; p < phases[t].size(); ++p) {
            EXPECT_EQ(test["phases"][p]["phase"], phases[t][p]);
            stats.push_back(test["phases"][p]);
        }
        for (const nlohmann::json& s : stats) {
            EXPECT_EQ(s["count"], 40);
            const double ordered[] = {s["minUs"], s["p50Us"],  s["p90Us"],
                                      s["p99Us"], s["p999Us"], s["maxUs"]};
            EXPECT_TRUE(std::is_sorted(std::begin(ordered), std::end(ordered))) << s;
            EXPECT_GE(s["meanUs"].get<double>(), s["minUs"].get<double>()) << s;
            EXPECT_LE(s["meanUs"].get<double>(), s["maxUs"].get<double>()) << s;
        }
        // A pass is its phases one after another, so the mean pass is the sum of
        // the mean phases; each mean is rounded to a tenth of a microsecond.
        const double passMeanUs = test["pass"]["meanUs"].get<double>();
        double phaseMeansUs = 0;
        for (const nlohmann::json& phase : test["phases"])
            phaseMeansUs += phase["meanUs"].get<double>();
        EXPECT_NEAR(passMeanUs, phaseMeansUs, 0.05 * (test["phases"].size() + 1) + 1e-9)
            << "the mean pass is not the sum of its phases";
        // 40 passes of the mean pass time make the test's time: never more (the
        // passes lie inside the test's stopwatch, whose time is truncated to the
        // microsecond; the mean's rounding counts 40 times), and less only by
        // what a busy machine may add between the stopwatch and the first or
        // last pass.
        const double passesUs = passMeanUs * 40;
        EXPECT_LE(passesUs, seconds * 1e6 + 40 * 0.05 + 1) << "the passes take longer than the whole test";
        EXPECT_GE(passesUs, seconds * 1e6 - kBusyMachineAllowanceUs)
            << "the passes leave out part of the test's " << seconds * 1e6 << " us";
    }

    // The console table: a header and one line per phase, after the results.
    const std::vector<std::string> lines = Lines(run.out);
    const auto header = std::find_if(lines.begin(), lines.end(),
                                     [](const std::string& l) { return l.rfind("Latency (us)", 0) == 0; });
    ASSERT_NE(header, lines.end()) << run.out;
    EXPECT_TRUE(
        std::regex_match(*header, std::regex("Latency \\(us\\) +phase +count +min +mean +p50 +p90 +p99 "
                                             "+p99\\.9 +max")))
        << *header;
    const std::regex row(R"((.{28})(.{11}) +40( +[0-9]+\.[0-9]){7})");
    for (std::size_t i = 1; i <= 11; ++i)
        EXPECT_TRUE(std::regex_match(header[i], row)) << "table line " << i << ": " << header[i];
    EXPECT_EQ(header[1].substr(0, 39), "Write with custom function  open       ");
    EXPECT_EQ(header[11].substr(0, 39), "                            delete     ");
    EXPECT_EQ(header[12], "");
    EXPECT_EQ(header[13], "Quillmarsh finished successfully");
}

TEST_F(ResultFiles, AFailedRunStillWritesItsDocumentAndReplacesTheOldOne) {
    const std::wstring json = results.File(L"run.json");
    WriteBytes(json, "an older document");
    const ProcessResult run =
        RunTool({L"-target", target.File(L"missing"), L"-iterations", L"3", L"-json", json});
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.err, FailureVerdict(2));
    const nlohmann::json document = ReadJson(json);
    EXPECT_EQ(document["tests"], nlohmann::json::array()) << "no test completed";
    EXPECT_EQ(document["result"]["code"], 2);
    EXPECT_EQ(document["latency"], false);
    EXPECT_EQ(ListDirectory(results.Path()), std::vector<std::wstring>{L"run.json"});
}

// The create/delete loop cannot create its eighth file (a directory stands at
// that name) and the run fails with access denied after three tests: the
// document still sums up those three, with the statistics of their passes.
TEST_F(ResultFiles, AFailedRunsDocumentSumsUpTheTestsThatCompleted) {
    const std::wstring json = results.File(L"run.json");
    const ProcessResult run = RunAndMeanwhile(
        {L"-target", target.Path(), L"-iterations", L"200", L"-latency", L"-json", json}, [&] {
            const std::vector<std::wstring> names = ListDirectory(target.Path());
            if (!names.empty())
                CreateDirectoryW((target.File(names[0]) + L"7").c_str(), nullptr);
        });
    ASSERT_EQ(run.exitCode, 5u) << run.out << run.err;
    const nlohmann::json document = ReadJson(json);
    EXPECT_EQ(document["result"]["code"], 5);
    ASSERT_EQ(document["runResults"].size(), 1u);
    const nlohmann::json& completed = document["runResults"][0]["tests"];
    ASSERT_EQ(completed.size(), 3u) << "the create/delete loop was to fail";
    ASSERT_EQ(document["tests"].size(), 3u) << "the failed run was not summed up";
    for (std::size_t t = 0; t < 3; ++t) {
        SCOPED_TRACE(t);
        const nlohmann::json& test = document["tests"][t];
        EXPECT_EQ(test["name"], completed[t]["name"]);
        const double seconds = test["seconds"].get<double>();
        EXPECT_GT(seconds, 0);
        EXPECT_EQ(seconds, completed[t]["seconds"].get<double>());
        EXPECT_NEAR(test["operationsPerSecond"].get<double>(), 200 / seconds, 1e-6 * 200 / seconds);
        EXPECT_EQ(test["pass"]["count"], 200);
        EXPECT_GT(test["pass"]["p99Us"].get<double>(), 0);
        EXPECT_EQ(test["phases"][0]["count"], 200);
    }
}

TEST_F(ResultFiles, NonAsciiTargetIsValidUtf8InTheDocument) {
    // e-acute, and U+1F600 outside the Basic Multilingual Plane (a surrogate pair).
    const std::wstring folder = target.File(L"caf\u00E9 \xD83D\xDE00");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring json = results.File(L"run.json");
    const ProcessResult run = RunTool({L"-target", folder, L"-iterations", L"2", L"-json", json});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    const nlohmann::json document = ReadJson(json);
    const std::string expected = Utf8(target.Path()) + "\\caf\xC3\xA9 \xF0\x9F\x98\x80";
    EXPECT_EQ(document["target"], expected);
    EXPECT_EQ(document["testFile"].get<std::string>().substr(0, expected.size()), expected);
}

TEST_F(ResultFiles, CsvSheetGetsItsHeaderOnceAndARowPerRun) {
    const std::wstring csv = results.File(L"runs.csv");
    const std::wstring folder = target.File(L"a,b");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_EQ(RunTool({L"-target", folder, L"-iterations", L"2", L"-csv", csv}).exitCode, 0u);
    ASSERT_EQ(RunTool({L"-csv", csv, L"-latency", L"-target", folder, L"-iterations", L"3"}).exitCode, 0u);
    ASSERT_EQ(RunTool({L"-target", target.File(L"missing"), L"-csv", csv}).exitCode, 2u);

    const std::string sheet = ReadBytes(csv);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < sheet.size();) {
        const std::size_t end = sheet.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "a line without CR LF";
        lines.push_back(sheet.substr(start, end - start));
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 4u) << sheet;
    EXPECT_EQ(lines[0].rfind("time,computer,target,iterations,write_s,profile_read_s,custom_read_s,"
                             "create_delete_s,write_p50_us,",
                             0),
              0u)
        << lines[0];
    const std::string quoted = ",\"" + Utf8(folder) + "\",";
    EXPECT_NE(lines[1].find(quoted + "2,"), std::string::npos) << "target not quoted: " << lines[1];
    EXPECT_NE(lines[2].find(quoted + "3,"), std::string::npos) << lines[2];
    EXPECT_TRUE(std::regex_search(lines[1], std::regex(R"(,2,([0-9]+\.[0-9]{6},){4}(,){12}0,1,,1$)")))
        << lines[1];
    EXPECT_TRUE(
        std::regex_search(lines[2], std::regex(R"(,3,([0-9]+\.[0-9]{6},){4}([0-9]+\.[0-9],){12}0,1,,1$)")))
        << lines[2];
    EXPECT_TRUE(std::regex_search(lines[3], std::regex(R"(,1000,(,){4}(,){12}2,1,,1$)"))) << lines[3];
}

// Another process holds the old document without sharing from the moment the
// run has started until it has ended: the new document cannot be put in place.
// It is never thrown away: it stays whole in its own file, which the error
// names; the CSV row records the run's exit code.
TEST_F(ResultFiles, DocumentThatCannotBePutInPlaceStaysInItsOwnFile) {
    const std::wstring json = results.File(L"run.json");
    const std::wstring csv = results.File(L"runs.csv");
    WriteBytes(json, "{\"older\": true}");
    HANDLE holder = INVALID_HANDLE_VALUE;
    const ProcessResult run = RunAndMeanwhile(
        {L"-target", target.Path(), L"-iterations", L"200", L"-json", json, L"-csv", csv},
        [&] { holder = CreateFileW(json.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); });
    ASSERT_NE(holder, INVALID_HANDLE_VALUE) << "could not hold the document: " << GetLastError();
    CloseHandle(holder);

    EXPECT_NE(run.exitCode, 0u) << "a run whose document is not in place must fail";
    EXPECT_EQ(ConsoleSeconds(run.out).size(), 4u) << "the tests themselves succeeded:\n" << run.out;
    std::smatch kept;
    ASSERT_TRUE(std::regex_search(run.err, kept,
                                  std::regex("Writing the result file <" + RegexText(Narrow(json)) +
                                             "> failed with: .*\\(the results are in <(.*)>\\)\n")))
        << run.err;
    EXPECT_EQ(run.err.substr(kept.position() + kept.length()), FailureVerdict(run.exitCode));
    const std::wstring keptPath = Widen(kept[1].str());
    EXPECT_EQ(keptPath.substr(0, json.size() + 1), json + L".");
    const nlohmann::json document = ReadJson(keptPath);
    EXPECT_EQ(document["tests"].size(), 4u) << "the kept document is the whole run";
    EXPECT_EQ(ReadBytes(json), "{\"older\": true}") << "the old document must stay whole";

    const std::vector<std::string> rows = Lines(ReadBytes(csv));
    ASSERT_EQ(rows.size(), 2u);
    // The result, then the number of clients, end the row.
    // The row ends in result, clients, label and run.
    std::vector<std::string> fields;
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1)
        fields.push_back(rows[1].substr(start, (end = rows[1].find(',', start)) - start));
    ASSERT_GE(fields.size(), 4u);
    EXPECT_EQ(fields[fields.size() - 4], std::to_string(run.exitCode))
        << "the row's result must be the exit code";
    EXPECT_TRUE(ListDirectory(target.Path()).empty());
}

// The result folder goes away during the run, after the command line's check:
// the run that succeeded fails with the system's code for it.
TEST_F(ResultFiles, ResultFolderRemovedDuringTheRunFailsIt) {
    const std::wstring folder = results.File(L"gone");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring json = folder + L"\\run.json";
    bool removed = false;
    const ProcessResult run =
        RunAndMeanwhile({L"-target", target.Path(), L"-iterations", L"200", L"-json", json},
                        [&] { removed = RemoveDirectoryW(folder.c_str()); });
    ASSERT_TRUE(removed) << "the result folder should be empty during the run";
    EXPECT_EQ(run.exitCode, 3u) << run.err;
    EXPECT_EQ(ConsoleSeconds(run.out).size(), 4u) << run.out;
    EXPECT_EQ(run.err, "Writing the result file <" + Narrow(json) + "> failed with: " + Narrow(ErrorText(3)) +
                           "\n" + FailureVerdict(3));
    EXPECT_TRUE(ListDirectory(results.Path()).empty());
    EXPECT_TRUE(ListDirectory(target.Path()).empty());
}

TEST_F(ResultFiles, ResultFileBesideATargetOfTheSameStartIsNotInTheTarget) {
    const std::wstring folder = target.File(L"run");
    const std::wstring sibling = target.File(L"run-results");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(sibling.c_str(), nullptr));
    const ProcessResult run =
        RunTool({L"-target", folder, L"-iterations", L"2", L"-json", sibling + L"\\a.json"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(ListDirectory(sibling), std::vector<std::wstring>{L"a.json"});
}

TEST_F(ResultFiles, BadResultFileIsRejectedBeforeAnythingRuns) {
    const std::wstring missing = results.File(L"missing\\run.json");
    const ProcessResult run = RunTool({L"-target", target.Path(), L"-json", missing, L"-iterations", L"3"});
    EXPECT_EQ(run.exitCode, 87u);
    EXPECT_EQ(run.out, "\nQuillmarsh by the Quillmarsh contributors\n\n") << "a test ran";
    EXPECT_EQ(run.err, "The folder of the result file <" + Narrow(missing) + "> does not exist\n" +
                           FailureVerdict(87));
    EXPECT_TRUE(ListDirectory(target.Path()).empty());
    EXPECT_TRUE(ListDirectory(results.Path()).empty());
}

} // namespace
