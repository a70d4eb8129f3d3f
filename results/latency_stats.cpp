#include "results/latency_stats.h"

#include <algorithm>

namespace {

// The nearest rank for a share given in hundredths of a per cent (9990 is
// 99.9 %), as an index into the sorted samples.
std::size_t RankIndex(std::size_t count, std::uint64_t tenThousandths) {
    const std::uint64_t rank = (tenThousandths * count + 9999) / 10000; // ceil, exact in integers
    return static_cast<std::size_t>(std::max<std::uint64_t>(rank, 1) - 1);
}

} // namespace

LatencyStats ComputeLatencyStats(std::int64_t* ticks, std::size_t count, std::int64_t frequency) {
    LatencyStats stats;
    if (count == 0 || frequency <= 0)
        return stats;
    std::sort(ticks, ticks + count);
    const std::int64_t* sorted = ticks;
    const double microsecondsPerTick = 1e6 / static_cast<double>(frequency);
    const auto micros = [&](std::int64_t value) { return static_cast<double>(value) * microsecondsPerTick; };
    long double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += sorted[i];
    stats.count = count;
    stats.min = micros(sorted[0]);
    stats.mean = static_cast<double>(sum / count) * microsecondsPerTick;
    stats.p50 = micros(sorted[RankIndex(count, 5000)]);
    stats.p90 = micros(sorted[RankIndex(count, 9000)]);
    stats.p99 = micros(sorted[RankIndex(count, 9900)]);
    stats.p999 = micros(sorted[RankIndex(count, 9990)]);
    stats.max = micros(sorted[count - 1]);
    return stats;
}
