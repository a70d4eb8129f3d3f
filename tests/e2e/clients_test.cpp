// Runs the real tool with -clients: several clients at once, each on its own
// test file, results that add up, nothing left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "errors/string_conversion.h"
#include "support/process_runner.h"
#include "support/temp_dir.h"
#include "tool_console.h"

namespace {

ProcessResult RunTool(const std::vector<std::wstring>& arguments) {
    return RunProcess(SiblingProgram(L"Quillmarsh.exe"), arguments);
}

const char* const kNames[] = {"Write with custom function", "ReadPrivateProfileString",
                              "Read with custom function", "Create/delete loop"};

TEST(Clients, FourClientsReportWallTimesATableAndLeaveNothing) {
    TempDir target;
    TempDir results;
    const std::wstring json = results.File(L"run.json");
    const std::wstring csv = results.File(L"runs.csv");
    const ProcessResult run = RunTool({L"-target", target.Path(), L"-iterations", L"20", L"-clients", L"4",
                                       L"-latency", L"-json", json, L"-csv", csv});
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(ListDirectory(target.Path()).empty()) << "a client's file stayed in the target";

    // The progress lines name the number of files and their folder, once.
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_GE(lines.size(), 16u) << run.out;
    const std::vector<std::string> progress(lines.begin() + 3, lines.begin() + 11);
    EXPECT_EQ(progress,
              (std::vector<std::string>{"Creating 4 test files in <" + Narrow(target.Path()) + "\\>...",
                                        "...done.", "Starting GetPrivateProfileString read loop...",
                                        "...done.", "Starting custom read loop...", "...done.",
                                        "Starting create/delete test...", "...done."}))
        << run.out;

    // The result lines are the wall times; the table shows every client's.
    std::vector<double> wall;
    const std::regex resultLine(R"(\(s\): +([0-9]+\.[0-9]{6}))");
    for (auto it = std::sregex_iterator(run.out.begin(), run.out.end(), resultLine);
         it != std::sregex_iterator(); ++it)
        wall.push_back(std::stod((*it)[1]));
    ASSERT_EQ(wall.size(), 4u) << run.out;
    const auto header = std::find_if(lines.begin(), lines.end(),
                                     [](const std::string& l) { return l.rfind("Clients ", 0) == 0; });
    ASSERT_NE(header, lines.end()) << run.out;
    EXPECT_TRUE(std::regex_match(
        *header, std::regex("Clients +clients +operations +ops/s +fastest \\(s\\) +slowest \\(s\\)")))
        << *header;
    for (std::size_t t = 0; t < 4; ++t) {
        std::smatch row;
        ASSERT_TRUE(std::regex_match(
            header[t + 1], row,
            std::regex(RegexText(kNames[t]) +
                       " +4 +80 +([0-9]+\\.[0-9]) +([0-9]+\\.[0-9]{6}) +([0-9]+\\.[0-9]{6})")))
            << header[t + 1];
        const double fastest = std::stod(row[2]), slowest = std::stod(row[3]);
        EXPECT_LE(fastest, slowest) << header[t + 1];
        EXPECT_LE(slowest, wall[t] + 1e-6) << "no client can be slower than the test's wall time";
        EXPECT_NEAR(std::stod(row[1]), 80 / wall[t], 0.05 + 80 / wall[t] * 1e-4) << header[t + 1];
    }
    const auto latency = std::find_if(lines.begin(), lines.end(),
                                      [](const std::string& l) { return l.rfind("Latency (us)", 0) == 0; });
    ASSERT_NE(latency, lines.end()) << run.out;
    for (std::size_t i = 1; i <= 11; ++i)
        EXPECT_TRUE(std::regex_search(latency[i], std::regex("^.{39} +80 ")))
            << "the samples of all clients: " << latency[i];

    const nlohmann::json document = nlohmann::json::parse(ReadBytes(json));
    EXPECT_EQ(document["clients"], 4);
    ASSERT_EQ(document["testFiles"].size(), 4u);
    std::set<std::string> files;
    for (const auto& file : document["testFiles"]) {
        const std::string name = file.get<std::string>();
        EXPECT_EQ(name.rfind(Utf16ToUtf8(target.Path()) + "\\", 0), 0u) << name;
        files.insert(name);
    }
    EXPECT_EQ(files.size(), 4u) << "each client has a file of its own";
    EXPECT_EQ(document["testFile"], document["testFiles"][0]);
    ASSERT_EQ(document["tests"].size(), 4u);
    for (std::size_t t = 0; t < 4; ++t) {
        const nlohmann::json& test = document["tests"][t];
        const double seconds = test["seconds"].get<double>();
        EXPECT_NEAR(seconds, wall[t], 5e-7);
        EXPECT_NEAR(test["operationsPerSecond"].get<double>(), 80 / seconds, 1e-6 * 80 / seconds);
        ASSERT_EQ(test["clientSeconds"].size(), 4u);
        for (const auto& client : test["clientSeconds"])
            EXPECT_LE(client.get<double>(), seconds + 1e-6);
        EXPECT_EQ(test["pass"]["count"], 80);
    }
    const std::vector<std::string> rows = Lines(ReadBytes(csv));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].substr(rows[0].size() - 26), ",result,clients,label,run\r");
    EXPECT_EQ(rows[1].substr(rows[1].size() - 8), ",0,4,,1\r") << "result, clients, no label, run 1";
}

// Proof that the clients run at the same time: during the write test every
// client's file exists at once.
TEST(Clients, ClientsOverlap) {
    TempDir target;
    std::atomic<bool> done{false};
    std::size_t most = 0;
    std::thread watcher([&] {
        while (!done) {
            // The clients' test files, by their UUID names (the create/delete
            // loop's files carry a pass number after theirs).
            const std::vector<std::wstring> names = ListDirectory(target.Path());
            most = std::max<std::size_t>(
                most, std::count_if(names.begin(), names.end(), [](const std::wstring& n) {
                    return n.size() == 36 && n[8] == L'-' && n[13] == L'-' && n[18] == L'-' && n[23] == L'-';
                }));
            Sleep(1);
        }
    });
    const ProcessResult run = RunTool({L"-target", target.Path(), L"-iterations", L"300", L"-clients", L"4"});
    done = true;
    watcher.join();
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(most, 4u) << "never saw the four clients' test files at once";
    EXPECT_TRUE(ListDirectory(target.Path()).empty());
}

// A sweep repeated: each count's runs in turn, numbered within the count, on
// files of their own; the scaling table over the medians; a report page.
TEST(Clients, SweepRunsEveryCountInTurnAndNumbersItsRunsPerCount) {
    TempDir target;
    TempDir results;
    const std::wstring json = results.File(L"sweep.json"), csv = results.File(L"sweep.csv"),
                       html = results.File(L"sweep.html");
    const ProcessResult run = RunTool({L"-target", target.Path(), L"-iterations", L"10", L"-clients", L"1,3",
                                       L"-runs", L"2", L"-json", json, L"-csv", csv, L"-html", html});
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(ListDirectory(target.Path()).empty());
    EXPECT_TRUE(
        std::regex_search(run.out, std::regex("\nSweep step 1 of 2: 1 client\n\nRun 1 of 2\n[\\s\\S]*"
                                              "\nRun 2 of 2\n[\\s\\S]*\nSweep step 2 of 2: 3 clients\n"
                                              "\nRun 1 of 2\n[\\s\\S]*\nRun 2 of 2\n")))
        << run.out;
    EXPECT_EQ(run.out.find("Summary of"), std::string::npos)
        << "a sweep sums up per count, in its scaling table";

    const nlohmann::json document = nlohmann::json::parse(ReadBytes(json));
    ASSERT_EQ(document["runResults"].size(), 4u);
    std::set<std::string> files;
    for (std::size_t r = 0; r < 4; ++r) {
        const nlohmann::json& entry = document["runResults"][r];
        EXPECT_EQ(entry["run"], r % 2 + 1);
        EXPECT_EQ(entry["clients"], r < 2 ? 1 : 3);
        for (const auto& file : entry["testFiles"])
            files.insert(file.get<std::string>());
    }
    EXPECT_EQ(files.size(), 8u) << "every run of every count has fresh files";
    ASSERT_EQ(document["sweep"].size(), 2u);
    const std::vector<std::string> lines = Lines(run.out);
    const auto header = std::find_if(lines.begin(), lines.end(),
                                     [](const std::string& l) { return l.rfind("Scaling ", 0) == 0; });
    ASSERT_NE(header, lines.end()) << run.out;
    EXPECT_TRUE(std::regex_match(*header, std::regex("Scaling +clients +ops/s"))) << *header;
    ASSERT_GE(lines.end() - header, 9);
    for (std::size_t i = 0; i < 8; ++i) {
        const std::size_t t = i / 2, step = i % 2;
        const nlohmann::json& test = document["sweep"][step]["tests"][t];
        const double median = (document["runResults"][step * 2]["tests"][t]["seconds"].get<double>() +
                               document["runResults"][step * 2 + 1]["tests"][t]["seconds"].get<double>()) /
                              2;
        EXPECT_NEAR(test["seconds"].get<double>(), median, 1e-9) << "the median of two runs";
        std::smatch row;
        ASSERT_TRUE(std::regex_match(header[i + 1], row,
                                     std::regex((step == 0 ? RegexText(kNames[t]) : std::string()) + " +" +
                                                (step == 0 ? "1" : "3") + " +([0-9]+\\.[0-9])")))
            << header[i + 1];
        EXPECT_NEAR(std::stod(row[1]), 10.0 * (step == 0 ? 1 : 3) / median, 0.05 + 1e-4 * 30 / median);
    }
    const std::vector<std::string> rows = Lines(ReadBytes(csv));
    ASSERT_EQ(rows.size(), 5u);
    for (std::size_t r = 0; r < 4; ++r)
        EXPECT_EQ(rows[r + 1].substr(rows[r + 1].size() - 8),
                  ",0," + std::string(r < 2 ? "1" : "3") + ",," + std::to_string(r % 2 + 1) + "\r");
    const std::string page = ReadBytes(html);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("Operations per second against clients"), std::string::npos);
}

// An older sheet's header does not match the columns this version writes: the
// run is refused before anything is created, and nothing is appended.
TEST(Clients, CsvSheetWithAnotherHeaderIsRefused) {
    TempDir target;
    TempDir results;
    const std::wstring csv = results.File(L"old.csv");
    const std::string older =
        "time,computer,target,iterations,write_s,result\r\n2026-01-01T00:00:00.000Z,PC,x,5,1.0,0\r\n";
    WriteBytes(csv, older);
    const ProcessResult run = RunTool({L"-target", target.Path(), L"-clients", L"2", L"-csv", csv});
    EXPECT_EQ(run.exitCode, 87u);
    EXPECT_EQ(Lines(run.err).at(0),
              "The CSV sheet <" + Narrow(csv) +
                  "> has a header other than this version's: its rows would not match it "
                  "(start a new sheet)");
    EXPECT_EQ(ReadBytes(csv), older) << "something was appended";
    EXPECT_TRUE(ListDirectory(target.Path()).empty());
    EXPECT_EQ(ListDirectory(results.Path()), std::vector<std::wstring>{L"old.csv"});
}

} // namespace
