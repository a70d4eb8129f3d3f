// The result files' content, built from a run record: what a script reading
// them can rely on.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "results/csv_sheet.h"
#include "results/json_document.h"
#include "results/run_record.h"

namespace {

// A run of 100 iterations whose first `completed` tests completed.
struct SampleRun {
    explicit SampleRun(int completed) {
        settings.target = L"\\\\srv\\share\\q";
        settings.testFilePath = L"\\\\srv\\share\\q\\0f8fad5b-d9cb-469f-a165-70867728950e";
        settings.iterations = 100;
        record.durations = {1500000, 250000, 2000000, 4000};
        record.clients = {{settings.testFilePath, record.durations}};
        record.startTime = 132627256800050000; // 2021-04-12 18:28:00.005 UTC
        record.version = L"1.0.1.0";
        record.computer = L"BENCH1";
        record.account = L"LAB\\alice";
        record.counterFrequency = 10000000;
        record.completedTests = completed;
        record.result = completed == 4 ? 0 : 2;
    }
    RunSettings settings;
    RunRecord record;
};

// Splits one CSV line (ending in CR LF) into its fields, undoing RFC 4180 quoting.
std::vector<std::string> CsvFields(const std::string& line) {
    EXPECT_TRUE(line.size() >= 2 && line.substr(line.size() - 2) == "\r\n") << "line without CR LF: " << line;
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i + 2 < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

TEST(CsvRow, HoldsTheRunsFieldsUnderTheHeadersNames) {
    SampleRun run(4);
    run.settings.latency = true;
    run.record.latency[0].pass = {100, 200.0, 250.0, 240.5, 0, 300.25, 0, 410.0};
    const std::vector<std::string> header = CsvFields(CsvHeader());
    const std::vector<std::string> row = CsvFields(CsvRow(run.settings, run.record));
    ASSERT_EQ(row.size(), header.size());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"time", "2021-04-12T18:28:00.005Z"},
        {"computer", "BENCH1"},
        {"target", "\\\\srv\\share\\q"},
        {"iterations", "100"},
        {"write_s", "1.500000"},
        {"profile_read_s", "0.250000"},
        {"custom_read_s", "2.000000"},
        {"create_delete_s", "0.004000"},
        {"write_p50_us", "240.5"},
        {"write_p99_us", "300.3"}, // rounded to the tenth, half away from zero, as everywhere
        {"write_max_us", "410.0"},
        {"result", "0"},
        {"clients", "1"},
    };
    for (const auto& [name, value] : expected) {
        const auto column = std::find(header.begin(), header.end(), name);
        ASSERT_NE(column, header.end()) << "no column " << name;
        EXPECT_EQ(row[column - header.begin()], value) << "column " << name;
    }
    EXPECT_EQ(header.size(), 4u + 4u + 12u + 2u);
    EXPECT_EQ(header.back(), "clients") << "a new column goes at the end, after the columns older sheets have";
}

TEST(CsvRow, QuotesWhatNeedsQuotingAndLeavesUnknownFieldsEmpty) {
    SampleRun run(2); // the custom read failed: its time and the loop's are unknown
    run.settings.target = L"C:\\a,b \"quoted\"\r\nnext";
    const std::string line = CsvRow(run.settings, run.record);
    EXPECT_NE(line.find(",\"C:\\a,b \"\"quoted\"\"\r\nnext\","), std::string::npos) << line;
    const std::vector<std::string> header = CsvFields(CsvHeader());
    const std::vector<std::string> row = CsvFields(line);
    ASSERT_EQ(row.size(), header.size());
    EXPECT_EQ(row[2], "C:\\a,b \"quoted\"\r\nnext");
    EXPECT_EQ(row[5], "0.250000") << "a completed test keeps its time";
    EXPECT_EQ(row[6], "") << "a test that did not complete has no time";
    EXPECT_EQ(row[7], "");
    for (std::size_t i = 8; i < 20; ++i)
        EXPECT_EQ(row[i], "") << "latency column " << header[i] << " without -latency";
    EXPECT_EQ(row[20], "2") << "the result";
}

TEST(CsvRow, LatencyFieldsOfTestsThatDidNotCompleteStayEmpty) {
    SampleRun run(2);
    run.settings.latency = true;
    for (TestLatency& test : run.record.latency) // statistics left from passes that did not complete
        test.pass = {50, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0};
    const std::vector<std::string> row = CsvFields(CsvRow(run.settings, run.record));
    const std::vector<std::string> header = CsvFields(CsvHeader());
    ASSERT_EQ(row.size(), header.size());
    const std::vector<std::string> expected = {"3.0", "5.0", "7.0", "3.0", "5.0", "7.0",
                                               "",    "",    "",    "",    "",    ""};
    for (std::size_t i = 8; i < 20; ++i)
        EXPECT_EQ(row[i], expected[i - 8]) << "column " << header[i];
}

// Whole passes are the sums of each pass's own phases: a pass whose open was
// quick and whose close was slow is as long as one the other way round.
TEST(ComputeLatency, WholePassesAddEachPasssOwnPhases) {
    FileIoTests tests;
    tests.settings.latency = true;
    PhaseTimes& times = tests.phaseTimes.writeCustomFunction;
    ASSERT_TRUE(times.Reserve(3, 4));
    const std::int64_t open[] = {10, 40, 20, 30}, write[] = {5, 5, 5, 5}, close[] = {85, 55, 75, 65};
    std::copy(std::begin(open), std::end(open), times.Phase(0));
    std::copy(std::begin(write), std::end(write), times.Phase(1));
    std::copy(std::begin(close), std::end(close), times.Phase(2));
    RunRecord record;
    record.counterFrequency = 10000000; // a tick is 0.1 us
    record.completedTests = 1;
    ComputeLatency({&tests.phaseTimes}, record);

    const LatencyStats& pass = record.latency[0].pass;
    EXPECT_EQ(pass.count, 4u);
    EXPECT_DOUBLE_EQ(pass.min, 10.0) << "every pass took 100 ticks";
    EXPECT_DOUBLE_EQ(pass.max, 10.0) << "every pass took 100 ticks";
    EXPECT_DOUBLE_EQ(record.latency[0].phases[0].p50, 2.0);
    EXPECT_DOUBLE_EQ(record.latency[0].phases[2].max, 8.5);
    EXPECT_EQ(record.latency[1].pass.count, 0u) << "a test that did not complete has no statistics";
}

TEST(JsonDocument, ListsOnlyTheCompletedTestsOfAFailedRun) {
    SampleRun run(2);
    const nlohmann::json document = nlohmann::json::parse(JsonDocument(run.settings, run.record));
    ASSERT_EQ(document["tests"].size(), 2u);
    EXPECT_EQ(document["tests"][0]["name"], "Write with custom function");
    EXPECT_EQ(document["tests"][1]["name"], "ReadPrivateProfileString");
    EXPECT_DOUBLE_EQ(document["tests"][1]["seconds"].get<double>(), 0.25);
    EXPECT_DOUBLE_EQ(document["tests"][1]["operationsPerSecond"].get<double>(), 400.0);
    EXPECT_FALSE(document["tests"][0].contains("phases")) << "phases without -latency";
    EXPECT_EQ(document["result"]["code"], 2);
    EXPECT_FALSE(document["result"]["text"].get<std::string>().empty());
    EXPECT_EQ(document["start"], "2021-04-12T18:28:00.005Z");
    EXPECT_EQ(document["account"], "LAB\\alice");
}

TEST(JsonDocument, IsValidUtf8WithSurrogatePairsAsOneCharacter) {
    SampleRun run(4);
    run.settings.target = L"C:\\caf\u00E9\\\xD83D\xDE00\\lone\xD800-";
    const std::string text = JsonDocument(run.settings, run.record);
    const nlohmann::json document = nlohmann::json::parse(text); // throws on invalid UTF-8
    EXPECT_EQ(document["target"].get<std::string>(), "C:\\caf\xC3\xA9\\\xF0\x9F\x98\x80\\lone\xEF\xBF\xBD-")
        << "U+1F600 must be one four-byte sequence, a lone surrogate U+FFFD";
}

} // namespace
