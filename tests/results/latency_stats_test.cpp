#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "results/latency_stats.h"

namespace {

// Samples in ticks of a 1 MHz counter, so that one tick is one microsecond.
constexpr std::int64_t kMegahertz = 1000000;

struct StatsCase {
    const char* name;
    std::vector<std::int64_t> samples; // in any order
    LatencyStats expected;
};

TEST(ComputeLatencyStats, NearestRankPercentilesOfTheKeptSamples) {
    std::vector<std::int64_t> thousand; // 1000, 999, ..., 1: rank r holds the value r
    for (std::int64_t v = 1000; v >= 1; --v)
        thousand.push_back(v);
    std::vector<std::int64_t> tenThousandOnes(10000, 1);
    tenThousandOnes[9990] = 500; // the 10 largest of 10,000 lie above p99.9
    for (int i = 9991; i < 10000; ++i)
        tenThousandOnes[i] = 700;
    const StatsCase cases[] = {
        {"one sample is every statistic", {42}, {1, 42, 42, 42, 42, 42, 42, 42}},
        // p50 of an even count is the lower middle (rank ceil(0.5 * 4) = 2),
        // not the mean of the two middles.
        {"even count", {40, 10, 30, 20}, {4, 10, 25, 20, 40, 40, 40, 40}},
        {"odd count", {5, 1, 4, 2, 3}, {5, 1, 3, 3, 5, 5, 5, 5}},
        {"ties", {7, 7, 7, 1, 7, 7}, {6, 1, 6, 7, 7, 7, 7, 7}},
        // Rank ceil(p * 1000): p50 = 500th, p90 = 900th, p99 = 990th,
        // p99.9 = 999th.
        {"a thousand distinct values", thousand, {1000, 1, 500.5, 500, 900, 990, 999, 1000}},
        // p99.9 of 10,000 is the 9,990th value, still a 1; the 9,991st is 500.
        {"ten thousand with a tail",
         tenThousandOnes,
         {10000, 1, 1 + (499 + 9 * 699) / 10000.0, 1, 1, 1, 1, 700}},
        {"no samples", {}, {}},
    };
    for (const StatsCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::int64_t> samples = c.samples;
        const LatencyStats s = ComputeLatencyStats(samples.data(), samples.size(), kMegahertz);
        EXPECT_EQ(s.count, c.expected.count);
        EXPECT_DOUBLE_EQ(s.min, c.expected.min);
        EXPECT_DOUBLE_EQ(s.mean, c.expected.mean);
        EXPECT_DOUBLE_EQ(s.p50, c.expected.p50);
        EXPECT_DOUBLE_EQ(s.p90, c.expected.p90);
        EXPECT_DOUBLE_EQ(s.p99, c.expected.p99);
        EXPECT_DOUBLE_EQ(s.p999, c.expected.p999);
        EXPECT_DOUBLE_EQ(s.max, c.expected.max);
    }
}

TEST(ComputeLatencyStats, TicksBecomeMicrosecondsAtTheCountersFrequency) {
    std::vector<std::int64_t> samples = {3, 25, 10000000};
    const LatencyStats s = ComputeLatencyStats(samples.data(), samples.size(), 10000000); // 10 MHz
    EXPECT_DOUBLE_EQ(s.min, 0.3);
    EXPECT_DOUBLE_EQ(s.p50, 2.5);
    EXPECT_DOUBLE_EQ(s.max, 1000000.0);
}

} // namespace
