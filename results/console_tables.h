#pragma once
// The tables the console shows after the four result lines, each only when
// asked for.
#include "core/run_record.h"

// With more than one client: per test the number of clients, the operations
// of all clients, the operations per second of all of them over the test's
// wall time, and the fastest and the slowest client's own seconds.
void LogClientsTable(const RunRecord& record, std::uint32_t iterations);

// With more than one run: per test the median, min, max and median absolute
// deviation of the runs' seconds.
void LogRunsSummary(const RunSeries& series);

// With -latency: per test and phase the count, min, mean, p50, p90, p99, p99.9
// and max in microseconds, over every pass of every client and run.
void LogLatencyTable(const RunSeries& series);

// After a client sweep (series.sweep): per test and client count the
// operations per second of all clients (over the median of the count's runs)
// and, with -latency, the p50 and p99 of a pass in microseconds.
void LogScalingTable(const RunSeries& series, bool latency);
