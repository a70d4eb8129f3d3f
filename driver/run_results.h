#pragma once
// What a run reports beyond its four result lines, each only when asked for:
// the latency table on the console (-latency), the JSON document (-json) and
// the CSV row (-csv).
#include <array>
#include <cstdint>
#include <string>

#include "driver/file_io_tests.h"
#include "driver/latency_stats.h"
#include "errors/win32_error.h"

// Statistics of one test's passes: of the whole pass and of each of its phases.
struct TestLatency {
    LatencyStats pass;
    std::array<LatencyStats, 4> phases; // as many as the test has phases
};

// One run as the result files describe it.
struct RunRecord {
    std::uint64_t startTime = 0; // FILETIME, UTC
    std::wstring version;        // the executable's file version
    std::wstring computer;
    std::wstring account; // domain\user
    std::int64_t counterFrequency = 0;
    int completedTests = 0;             // how many of the four tests, in order, completed
    std::array<TestLatency, 4> latency; // of the completed tests, with -latency
    Win32Error result = 0;
};

// A record of the run that starts now (time, version, computer, account).
RunRecord StartRunRecord();

// Fills record.latency from the phase times of the completed tests, whose
// samples it sorts (the tests are done with them).
void ComputeLatency(FileIoTests& tests, RunRecord& record);

// Logs the latency table: per test and phase the count, min, mean, p50, p90,
// p99, p99.9 and max in microseconds, in aligned columns.
void LogLatencyTable(const RunRecord& record);

// The JSON document of the run (UTF-8).
std::string JsonDocument(const RunSettings& settings, const TestDurations& durations,
                         const RunRecord& record);

// The CSV header and the run's row, fields quoted as RFC 4180 says, each line
// ending in CR LF. The latency fields stay empty without -latency, and a test
// that did not complete leaves its fields empty.
std::string CsvHeader();
std::string CsvRow(const RunSettings& settings, const TestDurations& durations, const RunRecord& record);

// Writes the result files the command line asked for, the JSON document first;
// logs a failure (category "Result") and returns its code. The CSV row's
// result is the run's exit code: record.result, or when that is 0, the code of
// a JSON document that could not be written.
Win32Error WriteResultFiles(const RunSettings& settings, const TestDurations& durations, RunRecord record);
