#pragma once
// Finished runs as the result report and the result files describe them: when
// and where they ran, each test's time, each client's own part (with its phase
// times), and the latency statistics over all of them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/file_io_tests.h"
#include "errors/win32_error.h"
#include "results/latency_stats.h"

// Statistics of one test's passes: of the whole pass and of each of its phases.
struct TestLatency {
    LatencyStats pass;
    std::array<LatencyStats, 4> phases; // as many as the test has phases
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
    std::array<std::vector<std::int64_t>, 4> phaseTicks;
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

// One step of a client sweep (-clients 1,2,4,8): the runs with one client
// count, summed up.
struct SweepStep {
    std::uint32_t clients = 0;
    std::size_t firstRun = 0; // into RunSeries::runs; a step's runs follow each other
    std::size_t runCount = 0;
    // Per test, over the step's runs that completed it (NaN where none did):
    std::array<double, 4> medianSeconds{};       // the median of the runs' wall seconds
    std::array<double, 4> operationsPerSecond{}; // of all clients, over that median
    std::array<LatencyStats, 4> pass{};          // of a pass, with -latency (count 0 without)
};

// Every run of one invocation of the tool (-runs), and what is computed over
// all of them.
struct RunSeries {
    std::wstring version; // the executable's file version
    std::wstring computer;
    std::wstring account; // domain\user
    std::int64_t counterFrequency = 0;
    std::vector<RunRecord> runs;        // the runs that started, in order
    std::array<TestLatency, 4> latency; // over every pass of every completed test, with -latency
    std::vector<SweepStep> sweep;       // with a client sweep: each step, in order
    Win32Error result = 0;              // the invocation's exit code
};

// A series that starts now: computer, account, counter frequency; the caller
// adds the version.
RunSeries StartRunSeries();

// A run that starts now (its start time).
RunRecord StartRunRecord();

// Keeps the phase times of a client's completed tests in its record; 0, or 14
// when there is no memory for them.
Win32Error KeepPhaseTimes(const TestPhaseTimes& times, int completedTests, ClientRecord& client);

// The latency statistics of test `test` over every pass of every client of the
// `count` runs at `runs` (all zeros when none completed it). Throws
// std::bad_alloc when there is no memory for the merged samples.
TestLatency LatencyOf(const RunRecord* runs, std::size_t count, std::size_t test, std::int64_t frequency);

// Fills series.latency from the phase times of every client of every run, for
// each test over all the runs in which it completed. Each pass's phases are
// added up in pass order before anything is sorted. 0, or 14 when there is no
// memory for the merged samples.
Win32Error ComputeLatency(RunSeries& series);
