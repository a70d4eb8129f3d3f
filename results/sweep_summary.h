#pragma once
// A client sweep (-clients 1,2,4,8) sums up each of its steps: how a test's
// throughput and pass times change with the number of clients.
#include <array>
#include <cstdint>
#include <vector>

#include "results/latency_stats.h"
#include "results/run_record.h"

// One step of a sweep: the runs with one client count.
struct SweepStep {
    std::uint32_t clients = 0;
    std::size_t firstRun = 0; // into series.runs; a step's runs follow each other
    std::size_t runCount = 0;
    // Per test, over the step's runs that completed it (NaN where none did):
    std::array<double, 4> medianSeconds{};       // the median of the runs' wall seconds
    std::array<double, 4> operationsPerSecond{}; // of all clients, over that median
    std::array<LatencyStats, 4> pass{};          // of a pass, with -latency (count 0 without)
};

// The steps of `series`, in order: each run of equal client count as the one
// before it belongs to its step. Throws std::bad_alloc when there is no memory
// for the merged samples.
std::vector<SweepStep> SweepSteps(const RunSeries& series, std::uint32_t iterations, bool latency);

// Each run's number within its step, from 1: the repetition (-runs) of its
// client count. Without a sweep, 1 to the number of runs.
std::vector<std::size_t> RunNumbers(const RunSeries& series);
