#pragma once
// A finished run as the result report and the result files describe it: when
// and where it ran, each test's time, each client's own part, and the latency
// statistics of every test and phase.
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

// One client's part of a run: its test file and its own time of each test it
// completed. A later launcher that runs one process per client machine could
// gather these records unchanged.
struct ClientRecord {
    std::wstring testFile;
    TestDurations durations;
};

struct RunRecord {
    std::uint64_t startTime = 0; // FILETIME, UTC
    std::wstring version;        // the executable's file version
    std::wstring computer;
    std::wstring account; // domain\user
    std::int64_t counterFrequency = 0;
    int completedTests = 0; // how many of the four tests, in order, completed
    // Each completed test's time: with one client that client's own, with more
    // the wall time from the common start to the end of the last client.
    TestDurations durations;
    std::vector<ClientRecord> clients;  // in client order; at least one
    std::array<TestLatency, 4> latency; // of the completed tests, with -latency
    Win32Error result = 0;
};

// A record of the run that starts now (time, computer, account, counter
// frequency); the caller adds the version.
RunRecord StartRunRecord();

// Fills record.latency from the phase times of every client's completed tests:
// the statistics are over the passes of all clients together. Each pass's
// phases are added up in pass order before anything is sorted.
void ComputeLatency(const std::vector<const TestPhaseTimes*>& clients, RunRecord& record);
