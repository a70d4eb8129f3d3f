// Runs the real tool with -latency, -json and -csv and reads what it wrote the
// way a script would: the JSON document parsed back, the CSV sheet growing by
// one row per run. Without these options the console stays as it was (the
// other end-to-end tests compare it whole).
#include <gtest/gtest.h>

#include <windows.h>
#define SECURITY_WIN32
#include <security.h>

#include <nlohmann/json.hpp>

#include <regex>
#include <string>
#include <vector>

#include "errors/string_conversion.h"
#include "support/process_runner.h"
#include "support/temp_dir.h"
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

class ResultFiles : public testing::Test {
protected:
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
        // 40 passes of the mean pass time make the test's time.
        EXPECT_NEAR(test["pass"]["meanUs"].get<double>() * 40, seconds * 1e6, 40 * 0.05 + 20);
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
    EXPECT_TRUE(std::regex_search(lines[1], std::regex(R"(,2,([0-9]+\.[0-9]{6},){4}(,){12}0$)"))) << lines[1];
    EXPECT_TRUE(std::regex_search(lines[2], std::regex(R"(,3,([0-9]+\.[0-9]{6},){4}([0-9]+\.[0-9],){12}0$)")))
        << lines[2];
    EXPECT_TRUE(std::regex_search(lines[3], std::regex(R"(,1000,(,){4}(,){12}2$)"))) << lines[3];
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
