#pragma once
// Exact statistics of a set of latency samples: computed from every sample
// kept, not from buckets.
#include <cstddef>
#include <cstdint>

// All times in microseconds.
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

// The statistics of `count` samples in counter ticks (`frequency` ticks per
// second), which it sorts in place. A percentile is the nearest-rank value: the
// smallest sample that at least that share of all samples does not exceed, the
// sample at rank ceil(p / 100 * count) in ascending order. No samples give all
// zeros.
LatencyStats ComputeLatencyStats(std::int64_t* ticks, std::size_t count, std::int64_t frequency);
