#pragma once
// Finished runs as the result report and the result files describe them: when
// and where they ran, each test's time, each client's own part (with its phase
// times), and what is summed up over them.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/run_settings.h"
#include "core/test_table.h"
#include "errors/win32_error.h"

// Exact statistics of a set of latency samples, in microseconds: computed from
// every sample kept, not from buckets.
struct LatencyStats {
    std::size_t count = 0;
    double min = 0;
    double mean = 0;
    double p50 = 0;
    double p90 = 0;
    double p99 = 0;
    double p999 = 0;
    double max = 0;
};

// Statistics of one test's passes: of the whole pass and of each of its phases.
struct TestLatency {
    LatencyStats pass;
    std::array<LatencyStats, kMaxPhases> phases; // as many as the test has phases
};

// One client's part of a run: its test file, its own time of each test it
// completed and, with -latency, the phase times of those tests. A later
// launcher that runs one process per client machine could gather these records
// unchanged.
struct ClientRecord {
    std::wstring testFile;
    TestDurations durations;
    // Per test, in counter ticks: the first phase's time of every pass in pass
    // order, then the second phase's, ... (phases x iterations values; empty
    // without -latency and for a test that did not complete).
    std::array<std::vector<std::int64_t>, kTestCount> phaseTicks;
};

// One run of the four tests.
struct RunRecord {
    std::uint64_t startTime = 0; // FILETIME, UTC
    int completedTests = 0;      // how many of the four tests, in order, completed
    // Each completed test's time: with one client that client's own, with more
    // the wall time from the common start to the end of the last client.
    TestDurations durations;
    std::vector<ClientRecord> clients; // in client order; at least one
    Win32Error result = 0;
};

// One test summed up over the runs that completed it (NaN where none did).
struct TestSummary {
    std::size_t runs = 0;       // how many runs completed it
    double medianSeconds = NAN; // of the runs' wall seconds
    double minSeconds = NAN;
    double maxSeconds = NAN;
    double madSeconds = NAN;          // median absolute deviation, unscaled
    double operationsPerSecond = NAN; // of all clients, over the median
};

// One step of a client sweep (-clients 1,2,4,8): the runs with one client
// count, summed up.
struct SweepStep {
    std::uint32_t clients = 0;
    std::size_t firstRun = 0; // into RunSeries::runs; a step's runs follow each other
    std::size_t runCount = 0;
    std::array<TestSummary, kTestCount> tests{};
    std::array<LatencyStats, kTestCount> pass{}; // of a pass, with -latency (count 0 without)
};

// Every run of one invocation of the tool (-runs), and what is summed up over
// all of them (once, by SumUpSeries, for every table and file).
struct RunSeries {
    std::wstring version; // the executable's file version
    std::wstring computer;
    std::wstring account; // domain\user
    std::int64_t counterFrequency = 0;
    std::vector<RunRecord> runs;                   // the runs that started, in order
    std::array<TestSummary, kTestCount> summary{}; // each test over the runs (one client count)
    std::array<TestLatency, kTestCount> latency{}; // over every pass of every completed test, with -latency
    std::vector<SweepStep> sweep;                  // with a client sweep: each step, in order
    Win32Error result = 0;                         // the invocation's exit code
};
