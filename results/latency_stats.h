#pragma once
// Exact statistics of a set of latency samples: computed from every sample
// kept, not from buckets.
#include <cstddef>
#include <cstdint>

#include "core/run_record.h"

// The statistics of `count` samples in counter ticks (`frequency` ticks per
// second), which it sorts in place. A percentile is the nearest-rank value: the
// smallest sample that at least that share of all samples does not exceed, the
// sample at rank ceil(p / 100 * count) in ascending order. No samples give all
// zeros.
LatencyStats ComputeLatencyStats(std::int64_t* ticks, std::size_t count, std::int64_t frequency);
