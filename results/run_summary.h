#pragma once
// What is summed up over the runs of a series, once, for every table, page and
// document that shows it: each test over the runs, the latency over every
// pass, the steps of a client sweep.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/run_record.h"
#include "errors/win32_error.h"

// The seconds of test `test` in each of the `count` runs at `runs` that
// completed it, in run order.
std::vector<double> RunSeconds(const RunRecord* runs, std::size_t count, std::size_t test);

// The operations per second of `clients` clients doing `iterations` each in
// `seconds`; NaN unless `seconds` is positive.
double OperationsPerSecond(std::uint32_t iterations, std::size_t clients, double seconds);

// The latency statistics of test `test` over every pass of every client of the
// `count` runs at `runs` (all zeros when none completed it). Each pass's
// phases are added up in pass order before anything is sorted. Throws
// std::bad_alloc when there is no memory for the merged samples.
TestLatency LatencyOf(const RunRecord* runs, std::size_t count, std::size_t test, std::int64_t frequency);

// The steps of `series`, in order: each run of equal client count as the one
// before it belongs to its step, summed up like a series. Throws
// std::bad_alloc when there is no memory for the merged samples.
std::vector<SweepStep> SweepSteps(const RunSeries& series, std::uint32_t iterations, bool latency);

// Sums up `series` (also one that failed or stopped: what completed counts):
// series.summary, and with `latency` series.latency; with `sweep` its steps
// into series.sweep instead of a latency over all counts. 0, or 14 when
// there is no memory for the merged samples.
Win32Error SumUpSeries(RunSeries& series, std::uint32_t iterations, bool latency, bool sweep);

// Each run's number within its step, from 1: the repetition (-runs) of its
// client count. Without a sweep, 1 to the number of runs.
std::vector<std::size_t> RunNumbers(const RunSeries& series);
