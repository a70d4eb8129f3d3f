// Repeated runs (-runs, -label) and -compare, run through the real tool: the
// runs' output and documents, the comparison's verdicts, and every kind of
// document it refuses.
#include <gtest/gtest.h>

#include <windows.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "support/process_runner.h"
#include "support/temp_dir.h"
#include "tool_console.h"

namespace {

ProcessResult RunTool(const std::vector<std::wstring>& arguments) {
    return RunProcess(SiblingProgram(L"Quillmarsh.exe"), arguments, 300000);
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(RepeatedRuns, EachRunIsHeadedAndTheRunsAreSummedUp) {
    TempDir target;
    TempDir results;
    const std::wstring json = results.File(L"runs.json");
    const std::wstring csv = results.File(L"runs.csv");
    const ProcessResult run = RunTool({L"-target", target.Path(), L"-iterations", L"5", L"-runs", L"3",
                                       L"-label", L"server A", L"-json", json, L"-csv", csv});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    for (const char* heading : {"\nRun 1 of 3\n", "\nRun 2 of 3\n", "\nRun 3 of 3\n"})
        EXPECT_EQ(Count(run.out, heading), 1u) << heading << " in\n" << run.out;
    EXPECT_EQ(Count(run.out, "\nLabel: server A\n"), 3u) << run.out;
    EXPECT_EQ(Count(run.out, " (s): "), 12u) << "four result lines a run";
    const std::vector<std::string> lines = Lines(run.out);
    const auto summary =
        std::find(lines.begin(), lines.end(),
                  "Summary of 3 runs (s)            median        min        max        MAD");
    ASSERT_NE(summary, lines.end()) << run.out;
    for (std::size_t t = 1; t <= 4; ++t) {
        std::smatch row;
        ASSERT_TRUE(std::regex_match(summary[t], row,
                                     std::regex(R"(.{28} +([0-9.]+) +([0-9.]+) +([0-9.]+) +([0-9.]+))")))
            << summary[t];
        EXPECT_LE(std::stod(row[2]), std::stod(row[1])) << summary[t];
        EXPECT_LE(std::stod(row[1]), std::stod(row[3])) << summary[t];
    }
    EXPECT_TRUE(ListDirectory(target.Path()).empty()) << "a run left a file behind";

    const nlohmann::json document = nlohmann::json::parse(ReadBytes(json));
    EXPECT_EQ(document["label"], "server A");
    ASSERT_EQ(document["runResults"].size(), 3u);
    std::vector<std::string> files;
    for (const auto& each : document["runResults"])
        files.push_back(each["testFiles"][0]);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(std::unique(files.begin(), files.end()), files.end()) << "each run has fresh test files";
    EXPECT_EQ(Count(ReadBytes(csv), "\r\n"), 4u) << "a header and a row per run";
}

class Compare : public testing::Test {
protected:
    // A document of `runs` runs of the local folder.
    std::wstring Document(const std::wstring& name, const std::vector<std::wstring>& more) {
        const std::wstring json = results.File(name);
        std::vector<std::wstring> arguments = {L"-target", target.Path(), L"-json", json};
        arguments.insert(arguments.end(), more.begin(), more.end());
        const ProcessResult run = RunTool(arguments);
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        return json;
    }

    TempDir target;
    TempDir results;
};

TEST_F(Compare, DocumentsThatCannotBeComparedAreRefusedByName) {
    const std::wstring good = Document(L"good.json", {L"-iterations", L"3"});
    const struct {
        const char* name;
        std::string content; // none: the file does not exist
        std::string message;
    } cases[] = {
        {"missing", "", "The document <%> cannot be read: "},
        {"not JSON", "Write with custom function (s): 0.1\n", "The document <%> is not JSON"},
        {"another program's", R"({"tool": "other", "tests": []})",
         "The document <%> is not a result document of Quillmarsh"},
        {"without tests", R"({"tool": "Quillmarsh"})",
         "The document <%> is not a result document of Quillmarsh"},
        {"newer", R"({"tool": "Quillmarsh", "documentVersion": 99, "tests": []})",
         "The document <%> is of document version 99, newer than this version reads (2)"},
        {"a client sweep", R"({"tool": "Quillmarsh", "documentVersion": 2, "clients": [1, 2], "tests": [],
                               "sweep": [{"clients": 1, "tests": []}, {"clients": 2, "tests": []}]})",
         "The document <%> holds a client sweep: -compare compares documents of one client count"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring bad = results.File(L"bad.json");
        DeleteFileW(bad.c_str());
        if (!c.content.empty())
            WriteBytes(bad, c.content);
        const ProcessResult run = RunTool({L"-compare", good, bad});
        EXPECT_EQ(run.exitCode, 87u);
        std::string message = c.message;
        message.replace(message.find('%'), 1, Narrow(bad));
        EXPECT_EQ(Lines(run.err).at(0).substr(0, message.size()), message) << run.err;
        EXPECT_EQ(run.out, "\nQuillmarsh by the Quillmarsh contributors\n\n");
    }
}

// One run each and no samples: the totals side by side, no verdict, and why.
TEST_F(Compare, OneRunEachWithoutSamplesGivesNoVerdict) {
    const std::wstring a = Document(L"a.json", {L"-iterations", L"3", L"-label", L"first"});
    const std::wstring b = Document(L"b.json", {L"-iterations", L"6"});
    const ProcessResult run = RunTool({L"-compare", a, b});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_NE(run.out.find("\nb.json against the baseline first\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Differs from the baseline in iterations 6 against 3"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("No verdict: "), std::string::npos) << run.out;
    EXPECT_TRUE(
        std::regex_search(run.out, std::regex(R"(\nCreate/delete loop +[0-9.]+ +[0-9.]+ +[-+][0-9.]+%\n)")))
        << run.out;
}

// Two sets of five runs of the same folder: most tests show no real change.
TEST_F(Compare, TheSameFolderTwiceShowsMostlyNoChange) {
    // A first series warms the Wine server, the runtime's files and the
    // folder's cache, so that the two compared series start alike.
    Document(L"warm-up.json", {L"-iterations", L"100", L"-runs", L"2"});
    const std::wstring a = Document(L"a.json", {L"-iterations", L"100", L"-runs", L"5"});
    const std::wstring b = Document(L"b.json", {L"-iterations", L"100", L"-runs", L"5"});
    const std::wstring out = results.File(L"comparison.json");
    const ProcessResult run = RunTool({L"-compare", a, b, L"-json", out});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    const nlohmann::json comparison = nlohmann::json::parse(ReadBytes(out))["comparisons"][0];
    EXPECT_EQ(comparison["basis"], "runs");
    ASSERT_EQ(comparison["tests"].size(), 4u);
    int unchanged = 0;
    for (const auto& test : comparison["tests"])
        unchanged += test["significant"] == false;
    EXPECT_GE(unchanged, 3) << run.out;
    EXPECT_GE(Count(run.out, "         ~ "), static_cast<std::size_t>(unchanged)) << run.out;
}

} // namespace
