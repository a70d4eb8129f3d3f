#pragma once
// A client sweep (-clients 1,2,4,8) sums up each of its steps: how a test's
// throughput and pass times change with the number of clients.
#include <cstdint>
#include <vector>

#include "errors/win32_error.h"
#include "results/run_record.h"

// The steps of `series`, in order: each run of equal client count as the one
// before it belongs to its step. Throws std::bad_alloc when there is no memory
// for the merged samples.
std::vector<SweepStep> SweepSteps(const RunSeries& series, std::uint32_t iterations, bool latency);

// Fills series.sweep from its runs, as SweepSteps does; 0, or 14 when there is
// no memory for the merged samples.
Win32Error SumUpSweep(RunSeries& series, std::uint32_t iterations, bool latency);

// Each run's number within its step, from 1: the repetition (-runs) of its
// client count. Without a sweep, 1 to the number of runs.
std::vector<std::size_t> RunNumbers(const RunSeries& series);
