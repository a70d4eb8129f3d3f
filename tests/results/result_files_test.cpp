// The result files' content, built from a run record: what a script reading
// them can rely on.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "results/csv_sheet.h"
#include "results/json_document.h"
#include "core/test_table.h"
#include "core/text_format.h"
#include "results/result_text.h"
#include "core/run_record.h"
#include "results/run_summary.h"

namespace {

// One run of 100 iterations whose first `completed` tests completed, on one
// client, as the only run of a series.
struct SampleRun {
    explicit SampleRun(int completed) {
        settings.target = L"\\\\srv\\share\\q";
        settings.testFilePath = L"\\\\srv\\share\\q\\0f8fad5b-d9cb-469f-a165-70867728950e";
        settings.iterations = 100;
        series.version = L"1.0.1.0";
        series.computer = L"BENCH1";
        series.account = L"LAB\\alice";
        series.counterFrequency = 10000000; // a tick is 0.1 us
        series.runs.push_back(Run(completed, {1500000, 250000, 2000000, 4000}));
        series.result = completed == 4 ? 0 : 2;
    }
    RunRecord Run(int completed, TestDurations durations) const {
        RunRecord record;
        record.startTime = 132627256800050000; // 2021-04-12 18:28:00.005 UTC
        record.durations = durations;
        record.clients = {{settings.testFilePath, durations, {}}};
        record.completedTests = completed;
        record.result = completed == 4 ? 0 : 2;
        return record;
    }
    RunRecord& Record() { return series.runs[0]; }
    // The series summed up, as the run does before any result file is written.
    const RunSeries& Summed() {
        EXPECT_EQ(SumUpSeries(series, settings.iterations, settings.latency, !settings.clientSweep.empty()),
                  0u);
        return series;
    }
    RunSettings settings;
    RunSeries series;
};

// Phase times of a test with `phases` phases whose passes take `passTicks`
// (all in the first phase, the others zero).
std::vector<std::int64_t> PassTicks(std::vector<std::int64_t> passTicks, std::size_t phases) {
    passTicks.resize(passTicks.size() * phases, 0);
    return passTicks;
}

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
    run.settings.label = L"server A";
    // Passes of 240.0, 240.5, 300.2 and 410.0 us: p50 is the second, p99 the largest.
    run.Record().clients[0].phaseTicks[0] = PassTicks({2400, 2405, 3002, 4100}, 3);
    const std::vector<std::string> header = CsvFields(CsvHeader());
    const std::vector<std::string> row = CsvFields(CsvRows(run.settings, run.Summed(), run.series.result));
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
        {"write_p99_us", "410.0"},
        {"write_max_us", "410.0"},
        {"result", "0"},
        {"clients", "1"},
        {"label", "server A"},
        {"run", "1"},
    };
    for (const auto& [name, value] : expected) {
        const auto column = std::find(header.begin(), header.end(), name);
        ASSERT_NE(column, header.end()) << "no column " << name;
        EXPECT_EQ(row[column - header.begin()], value) << "column " << name;
    }
    EXPECT_EQ(header.size(), 4u + 4u + 12u + 4u);
    EXPECT_EQ(std::vector<std::string>(header.begin() + 20, header.end()),
              (std::vector<std::string>{"result", "clients", "label", "run"}))
        << "new columns go at the end, after the columns older sheets have";
}

TEST(CsvRow, QuotesWhatNeedsQuotingAndLeavesUnknownFieldsEmpty) {
    SampleRun run(2); // the custom read failed: its time and the loop's are unknown
    run.settings.target = L"C:\\a,b \"quoted\"\r\nnext";
    const std::string line = CsvRows(run.settings, run.Summed(), run.series.result);
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
    for (std::size_t t = 0; t < 4; ++t) // samples left from passes of tests that did not complete
        run.Record().clients[0].phaseTicks[t] = PassTicks({30, 50, 70}, t == 1 ? 1 : 3);
    const std::vector<std::string> row = CsvFields(CsvRows(run.settings, run.Summed(), run.series.result));
    const std::vector<std::string> header = CsvFields(CsvHeader());
    ASSERT_EQ(row.size(), header.size());
    const std::vector<std::string> expected = {"5.0", "7.0", "7.0", "5.0", "7.0", "7.0",
                                               "",    "",    "",    "",    "",    ""};
    for (std::size_t i = 8; i < 20; ++i)
        EXPECT_EQ(row[i], expected[i - 8]) << "column " << header[i];
}

// Whole passes are the sums of each pass's own phases: a pass whose open was
// quick and whose close was slow is as long as one the other way round.
TEST(ComputeLatency, WholePassesAddEachPasssOwnPhases) {
    SampleRun run(1);
    // open {10, 40, 20, 30}, write 5 each, close {85, 55, 75, 65}: 100 ticks a pass
    run.Record().clients[0].phaseTicks[0] = {10, 40, 20, 30, 5, 5, 5, 5, 85, 55, 75, 65};
    ASSERT_EQ(SumUpSeries(run.series, run.settings.iterations, true, false), 0u);

    const LatencyStats& pass = run.series.latency[0].pass;
    EXPECT_EQ(pass.count, 4u);
    EXPECT_DOUBLE_EQ(pass.min, 10.0) << "every pass took 100 ticks";
    EXPECT_DOUBLE_EQ(pass.max, 10.0) << "every pass took 100 ticks";
    EXPECT_DOUBLE_EQ(run.series.latency[0].phases[0].p50, 2.0);
    EXPECT_DOUBLE_EQ(run.series.latency[0].phases[2].max, 8.5);
    EXPECT_EQ(run.series.latency[1].pass.count, 0u) << "a test that did not complete has no statistics";
}

// With more runs and clients, the statistics are over every pass of them all.
TEST(ComputeLatency, CoversEveryClientOfEveryRun) {
    SampleRun run(1);
    run.series.runs.push_back(run.Run(1, {}));
    run.Record().clients.push_back(run.Record().clients[0]);
    run.Record().clients[0].phaseTicks[0] = PassTicks({10, 20}, 3);
    run.Record().clients[1].phaseTicks[0] = PassTicks({30, 40}, 3);
    run.series.runs[1].clients[0].phaseTicks[0] = PassTicks({50, 60}, 3);
    ASSERT_EQ(SumUpSeries(run.series, run.settings.iterations, true, false), 0u);
    const LatencyStats& pass = run.series.latency[0].pass;
    EXPECT_EQ(pass.count, 6u);
    EXPECT_DOUBLE_EQ(pass.min, 1.0);
    EXPECT_DOUBLE_EQ(pass.max, 6.0);
    EXPECT_DOUBLE_EQ(pass.p50, 3.0);
}

// A series that failed or was stopped is summed up over what completed: the
// tables and files of a failed run still show the tests it finished, and a
// sweep's steps the runs it made.
TEST(SumUpSeries, AFailedSeriesCountsTheTestsThatCompleted) {
    for (const bool sweep : {false, true}) {
        SCOPED_TRACE(sweep ? "a sweep of 1 and 2 clients" : "two runs");
        SampleRun run(4);
        run.settings.latency = true;
        run.settings.runs = sweep ? 1 : 2;
        if (sweep)
            run.settings.clientSweep = {1, 2};
        // The second run failed in the custom read, after the write and the profile read.
        run.series.runs.push_back(run.Run(2, {1000000, 350000, 0, 0}));
        run.series.runs[1].result = 2;
        run.series.result = 2;
        run.Record().clients[0].phaseTicks[kWriteTest] = PassTicks({1000, 2000}, 3);
        run.Record().clients[0].phaseTicks[kCustomReadTest] = PassTicks({500, 700}, 3);
        std::vector<ClientRecord>& second = run.series.runs[1].clients;
        second[0].phaseTicks[kWriteTest] = PassTicks({3000, 4000}, 3);
        if (sweep) {
            second.push_back(second[0]);
            second[1].phaseTicks[kWriteTest] = PassTicks({5000, 6000}, 3);
        }
        ASSERT_EQ(SumUpSeries(run.series, run.settings.iterations, true, sweep), 0u);

        if (!sweep) {
            const std::array<TestSummary, kTestCount>& summary = run.series.summary;
            EXPECT_EQ(summary[kWriteTest].runs, 2u);
            EXPECT_DOUBLE_EQ(summary[kWriteTest].medianSeconds, 1.25);
            EXPECT_DOUBLE_EQ(summary[kProfileReadTest].medianSeconds, 0.3);
            EXPECT_EQ(summary[kCustomReadTest].runs, 1u) << "the failed run did not complete it";
            EXPECT_DOUBLE_EQ(summary[kCustomReadTest].medianSeconds, 2.0);
            EXPECT_DOUBLE_EQ(summary[kCreateDeleteTest].operationsPerSecond, 100 / 0.004);
            const LatencyStats& write = run.series.latency[kWriteTest].pass;
            EXPECT_EQ(write.count, 4u) << "the passes of both runs";
            EXPECT_DOUBLE_EQ(write.p99, 400.0);
            EXPECT_EQ(run.series.latency[kCustomReadTest].pass.count, 2u);
            EXPECT_TRUE(run.series.sweep.empty());
            continue;
        }
        ASSERT_EQ(run.series.sweep.size(), 2u) << "every step that ran, the failed one too";
        const SweepStep& failed = run.series.sweep[1];
        EXPECT_EQ(failed.clients, 2u);
        EXPECT_EQ(failed.runCount, 1u);
        EXPECT_DOUBLE_EQ(failed.tests[kWriteTest].medianSeconds, 1.0);
        EXPECT_DOUBLE_EQ(failed.tests[kWriteTest].operationsPerSecond, 200.0);
        EXPECT_DOUBLE_EQ(failed.tests[kProfileReadTest].medianSeconds, 0.35);
        EXPECT_EQ(failed.tests[kCustomReadTest].runs, 0u);
        EXPECT_EQ(failed.pass[kWriteTest].count, 4u) << "the passes of both clients";
        EXPECT_DOUBLE_EQ(failed.pass[kWriteTest].p50, 400.0);
        EXPECT_DOUBLE_EQ(failed.pass[kWriteTest].p99, 600.0);
        EXPECT_DOUBLE_EQ(run.series.sweep[0].tests[kCustomReadTest].medianSeconds, 2.0);
        EXPECT_EQ(run.series.sweep[0].pass[kWriteTest].count, 2u);
        EXPECT_EQ(run.series.summary[kWriteTest].runs, 0u) << "a sweep sums up per count only";
    }
}

// A sweep of 1 and 2 clients, two runs each, 100 iterations a client, with
// -latency: the runs start a second apart, take 1.0, 1.1, 1.2 and 1.3 s for
// the write test, and their passes of it are their own.
struct SweepSeries {
    SweepSeries() {
        sample.settings.latency = true;
        sample.settings.runs = 2;
        sample.settings.clientSweep = {1, 2};
        RunSeries& series = sample.series;
        series.runs.clear();
        const std::vector<std::vector<std::vector<std::int64_t>>> passes = {
            {{1000, 2000, 3000}}, {{4000, 5000, 6000}}, {{7000}, {8000}}, {{9000}, {10000}}};
        for (std::size_t r = 0; r < passes.size(); ++r) {
            RunRecord record = sample.Run(4, {1000000 + 100000 * r, 250000, 2000000, 4000});
            record.startTime += r * 10000000; // a second later each
            const ClientRecord client = record.clients[0];
            record.clients.assign(passes[r].size(), client);
            for (std::size_t c = 0; c < passes[r].size(); ++c)
                record.clients[c].phaseTicks[kWriteTest] = PassTicks(passes[r][c], 3);
            series.runs.push_back(std::move(record));
        }
    }
    SampleRun sample{4};
};

// Every row is its own run: its start, its times, its clients and the
// latency of its own passes (not of the whole series).
TEST(CsvRow, EveryRowIsItsOwnRun) {
    SweepSeries sweep;
    const std::vector<std::string> header = CsvFields(CsvHeader());
    const auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    };
    const std::string rows = CsvRows(sweep.sample.settings, sweep.sample.Summed(), 0);
    const std::vector<std::vector<std::string>> expected = {
        // time, write_s, write_p50_us, write_p99_us, write_max_us, clients, run
        {"2021-04-12T18:28:00.005Z", "1.000000", "200.0", "300.0", "300.0", "1", "1"},
        {"2021-04-12T18:28:01.005Z", "1.100000", "500.0", "600.0", "600.0", "1", "2"},
        {"2021-04-12T18:28:02.005Z", "1.200000", "700.0", "800.0", "800.0", "2", "1"},
        {"2021-04-12T18:28:03.005Z", "1.300000", "900.0", "1000.0", "1000.0", "2", "2"},
    };
    std::size_t r = 0;
    for (std::size_t start = 0; start < rows.size(); start = rows.find("\r\n", start) + 2, ++r) {
        ASSERT_LT(r, expected.size()) << rows;
        SCOPED_TRACE(r);
        const std::vector<std::string> row =
            CsvFields(rows.substr(start, rows.find("\r\n", start) + 2 - start));
        ASSERT_EQ(row.size(), header.size());
        const std::vector<std::string> got = {row[column("time")],         row[column("write_s")],
                                              row[column("write_p50_us")], row[column("write_p99_us")],
                                              row[column("write_max_us")], row[column("clients")],
                                              row[column("run")]};
        EXPECT_EQ(got, expected[r]);
    }
    EXPECT_EQ(r, expected.size());
}

// A sweep's operations per second are those of each run's and each step's
// own clients, not of the sweep's first count.
TEST(JsonDocument, ASweepCountsTheOperationsOfEachStepsClients) {
    SweepSeries sweep;
    const nlohmann::json document =
        nlohmann::json::parse(JsonDocument(sweep.sample.settings, sweep.sample.Summed()));
    EXPECT_EQ(document["clients"], nlohmann::json({1, 2}));
    ASSERT_EQ(document["runResults"].size(), 4u);
    const double runOps[] = {100 / 1.0, 100 / 1.1, 200 / 1.2, 200 / 1.3};
    for (std::size_t r = 0; r < 4; ++r) {
        SCOPED_TRACE(r);
        const nlohmann::json& run = document["runResults"][r];
        EXPECT_EQ(run["clients"], r < 2 ? 1 : 2);
        EXPECT_EQ(run["start"], "2021-04-12T18:28:0" + std::to_string(r) + ".005Z");
        EXPECT_DOUBLE_EQ(run["tests"][0]["operationsPerSecond"].get<double>(), runOps[r]);
    }
    const nlohmann::json& steps = document["sweep"];
    ASSERT_EQ(steps.size(), 2u);
    const struct {
        int clients;
        double seconds, operationsPerSecond, p50, p99;
    } expected[] = {{1, 1.05, 100 / 1.05, 300.0, 600.0}, {2, 1.25, 200 / 1.25, 800.0, 1000.0}};
    for (std::size_t s = 0; s < 2; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(steps[s]["clients"], expected[s].clients);
        EXPECT_EQ(steps[s]["runs"], 2);
        const nlohmann::json& write = steps[s]["tests"][0];
        EXPECT_DOUBLE_EQ(write["seconds"].get<double>(), expected[s].seconds);
        EXPECT_DOUBLE_EQ(write["operationsPerSecond"].get<double>(), expected[s].operationsPerSecond);
        EXPECT_DOUBLE_EQ(write["pass"]["p50Us"].get<double>(), expected[s].p50);
        EXPECT_DOUBLE_EQ(write["pass"]["p99Us"].get<double>(), expected[s].p99);
        EXPECT_DOUBLE_EQ(steps[s]["tests"][3]["operationsPerSecond"].get<double>(),
                         expected[s].clients * 100 / 0.004);
    }
}

TEST(JsonDocument, ListsOnlyTheCompletedTestsOfAFailedRun) {
    SampleRun run(2);
    const nlohmann::json document = nlohmann::json::parse(JsonDocument(run.settings, run.Summed()));
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
    const std::string text = JsonDocument(run.settings, run.Summed());
    const nlohmann::json document = nlohmann::json::parse(text); // throws on invalid UTF-8
    EXPECT_EQ(document["target"].get<std::string>(), "C:\\caf\xC3\xA9\\\xF0\x9F\x98\x80\\lone\xEF\xBF\xBD-")
        << "U+1F600 must be one four-byte sequence, a lone surrogate U+FFFD";
}

// Repeated runs: the document holds every run and, per test, the median over
// the runs with its spread; the CSV sheet gets a row per run.
TEST(JsonDocument, HoldsEveryRunAndTheirSummary) {
    SampleRun run(4);
    run.settings.runs = 3;
    run.settings.label = L"before";
    run.series.runs.push_back(run.Run(4, {1000000, 250000, 2000000, 4000}));
    run.series.runs.push_back(run.Run(4, {1900000, 250000, 2000000, 4000}));
    const nlohmann::json document = nlohmann::json::parse(JsonDocument(run.settings, run.Summed()));
    EXPECT_EQ(document["documentVersion"], 2);
    EXPECT_EQ(document["label"], "before");
    EXPECT_EQ(document["runs"], 3);
    ASSERT_EQ(document["runResults"].size(), 3u);
    EXPECT_EQ(document["runResults"][1]["run"], 2);
    EXPECT_DOUBLE_EQ(document["runResults"][2]["tests"][0]["seconds"].get<double>(), 1.9);
    const nlohmann::json& write = document["tests"][0];
    EXPECT_DOUBLE_EQ(write["seconds"].get<double>(), 1.5) << "the median of 1.5, 1.0 and 1.9";
    EXPECT_DOUBLE_EQ(write["minSeconds"].get<double>(), 1.0);
    EXPECT_DOUBLE_EQ(write["maxSeconds"].get<double>(), 1.9);
    EXPECT_NEAR(write["madSeconds"].get<double>(), 0.4, 1e-12)
        << "the median of |1.5-1.5|, |1.0-1.5|, |1.9-1.5|";
    EXPECT_EQ(write["runs"], 3);

    const std::string rows = CsvRows(run.settings, run.Summed(), run.series.result);
    std::vector<std::string> runs;
    for (std::size_t start = 0; start < rows.size(); start = rows.find("\r\n", start) + 2)
        runs.push_back(CsvFields(rows.substr(start, rows.find("\r\n", start) + 2 - start)).back());
    EXPECT_EQ(runs, (std::vector<std::string>{"1", "2", "3"}));
}

// With -latency each run keeps every phase's per-pass times, per client, in
// pass order, in microseconds to the tenth.
TEST(JsonDocument, KeepsThePerPassSamplesOfEveryClient) {
    SampleRun run(1);
    run.settings.latency = true;
    run.Record().clients.push_back(run.Record().clients[0]);
    run.Record().clients[0].phaseTicks[0] = {12, 34, 5, 6, 78, 91};   // open, write, close of 2 passes
    run.Record().clients[1].phaseTicks[0] = {100, 200, 1, 2, 10, 20}; // the second client's
    ASSERT_EQ(SumUpSeries(run.series, run.settings.iterations, true, false), 0u);
    const std::string text = JsonDocument(run.settings, run.Summed());
    const nlohmann::json document = nlohmann::json::parse(text);
    const nlohmann::json& samples = document["runResults"][0]["tests"][0]["samplesUs"];
    EXPECT_EQ(samples["open"], nlohmann::json::parse("[[1.2, 3.4], [10.0, 20.0]]"));
    EXPECT_EQ(samples["write"], nlohmann::json::parse("[[0.5, 0.6], [0.1, 0.2]]"));
    EXPECT_EQ(samples["close"], nlohmann::json::parse("[[7.8, 9.1], [1.0, 2.0]]"));
    EXPECT_NE(text.find("\"open\": [[1.2,3.4],[10.0,20.0]]"), std::string::npos) << "one line per phase";
}

} // namespace
