// Statistics for comparing two sets of timings: medians, the Mann-Whitney U
// test and the change of the median with its confidence interval.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "results/comparison_stats.h"

namespace {

// `count` positive timings around `centre` with a right-skewed spread, from a
// generator of fixed seed (the transform is spelt out here, so the data are the
// same with every standard library).
std::vector<double> Timings(std::size_t count, double centre, std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    std::vector<double> timings(count);
    for (double& t : timings) {
        const double u = static_cast<double>(generator() >> 11) * 0x1p-53; // [0, 1)
        const double v = static_cast<double>(generator() >> 11) * 0x1p-53;
        t = centre * (0.9 + 0.1 * u + 0.2 * u * v * v); // median near centre, a longer upper tail
    }
    return timings;
}

std::vector<double> Scaled(std::vector<double> samples, double factor) {
    for (double& x : samples)
        x *= factor;
    return samples;
}

TEST(Median, MiddleValueOrMeanOfTheTwoMiddles) {
    struct Case {
        const char* name;
        std::vector<double> samples;
        double median;
        double mad;
    };
    const Case cases[] = {
        {"one sample", {7}, 7, 0},
        {"odd count, unsorted", {9, 1, 6, 2, 4, 2, 1}, 2, 1}, // deviations 7 1 4 0 2 0 1
        {"even count takes the mean of the middles", {40, 10, 30, 20}, 25, 10},
        {"two samples", {3, 8}, 5.5, 2.5},
        {"ties in the middle", {5, 5, 5, 1, 9, 5}, 5, 0},
        {"negative values", {-3, -1, -2, -10}, -2.5, 1}, // deviations 0.5 1.5 0.5 7.5
        // The classic example of the median absolute deviation: median 2,
        // deviations 1 1 0 0 2 4 7, whose median is 1.
        {"MAD textbook example", {1, 1, 2, 2, 4, 6, 9}, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(Median(c.samples), c.median);
        EXPECT_DOUBLE_EQ(MedianAbsoluteDeviation(c.samples), c.mad);
    }
}

TEST(Median, NoSamplesOrNaNGiveNaN) {
    EXPECT_TRUE(std::isnan(Median({})));
    EXPECT_TRUE(std::isnan(MedianAbsoluteDeviation({})));
    EXPECT_TRUE(std::isnan(Median({1, std::nan(""), 3})));
}

// The two-sided p of `u` for sets of n1 and n2 samples without ties, by
// listing every choice of which ranks the first set holds (bit masks): an
// independent check of the counting behind the exact p.
double EnumeratedTwoSidedP(int n1, int n2, int u) {
    int atMost = 0, atLeast = 0, total = 0;
    for (unsigned mask = 0; mask < (1u << (n1 + n2)); ++mask) {
        if (std::popcount(mask) != n1)
            continue;
        int pairs = 0; // first-set ranks above second-set ranks
        for (int i = 0; i < n1 + n2; ++i)
            for (int j = 0; j < i; ++j)
                pairs += (mask >> i & 1) && !(mask >> j & 1);
        ++total;
        atMost += pairs <= u;
        atLeast += pairs >= u;
    }
    return std::min(1.0, 2.0 * std::min(atMost, atLeast) / total);
}

TEST(MannWhitneyU, ExactPMatchesEveryArrangementListed) {
    const int sizes[][2] = {{1, 1}, {1, 5}, {2, 7}, {3, 3}, {4, 4}, {5, 3}, {6, 6}};
    for (const auto& size : sizes) {
        const int n1 = size[0], n2 = size[1];
        SCOPED_TRACE(testing::Message() << n1 << " against " << n2);
        // Every arrangement of the ranks 0 .. n1 + n2 - 1 between the sets.
        for (unsigned mask = 0; mask < (1u << (n1 + n2)); ++mask) {
            if (std::popcount(mask) != n1)
                continue;
            std::vector<double> a, b;
            for (int rank = 0; rank < n1 + n2; ++rank)
                (mask >> rank & 1 ? a : b).push_back(10.0 + rank);
            const MannWhitney m = MannWhitneyU(a, b);
            int pairs = 0;
            for (double x : a)
                for (double y : b)
                    pairs += x > y;
            ASSERT_TRUE(m.exact);
            ASSERT_EQ(m.u, pairs);
            ASSERT_NEAR(m.p, EnumeratedTwoSidedP(n1, n2, pairs), 1e-12) << "U = " << pairs;
        }
    }
}

TEST(MannWhitneyU, KnownExamples) {
    struct Case {
        const char* name;
        std::vector<double> a, b;
        double u, p;
        bool exact;
    };
    std::vector<double> first20, next21; // 1..20 and 21..41
    for (int i = 1; i <= 41; ++i)
        (i <= 20 ? first20 : next21).push_back(i);
    const Case cases[] = {
        // The tortoise-and-hare race of Wikipedia's article on the test: the
        // finishing order T H H H H H T T T T T H. A hare's place exceeds a
        // tortoise's in 11 pairs: each hare in places 2-6 is behind the
        // tortoise in place 1 (5 pairs) and the hare in place 12 is behind all
        // six tortoises (6 pairs), so U = 11; the tortoises' U is 36 - 11 = 25. With six
        // against six (924 arrangements) P(U <= 11) = 143 / 924, the number of
        // partitions of 0 .. 11 into at most six parts of at most six, so the
        // two-sided p is 286 / 924 = 13 / 42.
        {"race, hares' U", {2, 3, 4, 5, 6, 12}, {1, 7, 8, 9, 10, 11}, 11, 13.0 / 42, true},
        {"race, tortoises' U", {1, 7, 8, 9, 10, 11}, {2, 3, 4, 5, 6, 12}, 25, 13.0 / 42, true},
        // Four against four: 70 arrangements, U <= 2 in 4 of them (U = 0, 1
        // and the two ways to make 2), so p = 8 / 70.
        {"four against four, U = 2", {1, 2, 5, 4}, {3, 6, 7, 8}, 2, 8.0 / 70, true},
        {"one against one", {2}, {1}, 1, 1, true},
        // 41 samples without ties: beyond the exact limit. U = 0, mean 210, variance 20 * 21 * 42 / 12 =
        // 1470, z = (210 - 0.5) / 38.3406 = 5.4642, p = erfc(z / sqrt 2).
        {"41 samples use the normal approximation", first20, next21, 0, 4.6504e-8, false},
        // Ties: pooled 1 2 2 3 3 3 3 4 4 5 5 5 has tied groups of 2, 4, 2 and 3,
        // sum(t^3 - t) = 6 + 60 + 6 + 24 = 96. U = 1.5 (the three 3s of `a`
        // each tie the 3 of `b`), mean 18, variance 36 / 12 * (13 - 96 / 132)
        // = 36.8182, z = (16.5 - 0.5) / 6.06780 = 2.63687, p = 0.0083675.
        // Without the tie correction p would be 0.0104; without the
        // continuity correction 0.0065.
        {"ties: tie-corrected variance", {1, 2, 2, 3, 3, 3}, {3, 4, 4, 5, 5, 5}, 1.5, 0.0083675, false},
        {"every sample equal", {4, 4, 4}, {4, 4}, 3, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MannWhitney m = MannWhitneyU(c.a, c.b);
        EXPECT_DOUBLE_EQ(m.u, c.u);
        EXPECT_NEAR(m.p, c.p, c.p * 1e-4);
        EXPECT_EQ(m.exact, c.exact);
    }
}

TEST(MannWhitneyU, ExactOnlyWithoutTiesAndUpToTheLimit) {
    struct Case {
        const char* name;
        int n1, n2;
        bool tie;
        bool exact;
    };
    const Case cases[] = {
        {"at the limit", 20, 20, false, true},
        {"unequal, at the limit", 3, 37, false, true},
        {"one past the limit", 20, 21, false, false},
        {"small with a tie", 3, 3, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> a, b;
        for (int i = 0; i < c.n1; ++i)
            a.push_back(2.0 * i);
        for (int i = 0; i < c.n2; ++i)
            b.push_back(2.0 * i + 1);
        if (c.tie)
            b[0] = a[0];
        const MannWhitney m = MannWhitneyU(a, b);
        EXPECT_EQ(m.exact, c.exact);
        EXPECT_GT(m.p, 0.0);
        EXPECT_LE(m.p, 1.0);
    }
}

// Three runs against three: even the most extreme arrangement has p = 2 / 20,
// so no outcome is significant.
TEST(MannWhitneyU, ThreeAgainstThreeIsNeverSignificant) {
    double smallest = 1;
    for (unsigned mask = 0; mask < 64; ++mask) {
        if (std::popcount(mask) != 3)
            continue;
        std::vector<double> baseline, other;
        for (int rank = 0; rank < 6; ++rank)
            (mask >> rank & 1 ? baseline : other).push_back(1.0 + rank * 0.5);
        const Change change = CompareSamples(baseline, other);
        EXPECT_FALSE(change.significant) << "mask " << mask;
        smallest = std::min(smallest, change.p);
    }
    EXPECT_DOUBLE_EQ(smallest, 0.1);
}

TEST(MannWhitneyU, NoSamplesGiveNaN) {
    const MannWhitney m = MannWhitneyU({}, {1, 2});
    EXPECT_TRUE(std::isnan(m.u));
    EXPECT_TRUE(std::isnan(m.p));
    EXPECT_FALSE(m.exact);
}

TEST(CompareSamples, ChangeOfTheMedianAndItsVerdict) {
    struct Case {
        const char* name;
        std::vector<double> baseline, other;
        double percent;
        bool significant;
    };
    // Ten distinct run times in seconds.
    const std::vector<double> runs = {2.31, 2.28, 2.35, 2.30, 2.41, 2.29, 2.33, 2.32, 2.27, 2.36};
    const Case cases[] = {
        {"identical sets", runs, runs, 0, false},
        {"the same samples in another order",
         runs,
         {2.36, 2.27, 2.32, 2.33, 2.29, 2.41, 2.30, 2.35, 2.28, 2.31},
         0,
         false},
        // Every run 20 % slower: all 100 pairs in one direction, exact p =
        // 2 / C(20, 10).
        {"20 % slower", runs, Scaled(runs, 1.2), 20, true},
        {"25 % faster", runs, Scaled(runs, 0.75), -25, true},
        // Overlapping sets whose medians differ a little: not significant.
        {"small overlapping shift", {10, 12, 14, 16, 18}, {11, 13, 15, 17, 19}, (15.0 / 14 - 1) * 100, false},
        // Ties across the sets; the normal approximation still finds the shift.
        {"ties", {5, 5, 5, 5, 6, 6, 6, 5, 5, 6}, {6, 6, 6, 7, 7, 7, 6, 7, 7, 6}, (6.5 / 5 - 1) * 100, true},
        {"one run against five", {100}, {101, 99, 103, 104, 102}, 2, false},
        // Exact p = 2 / C(9, 2) = 0.056 even though every `other` run is slower.
        {"two against seven",
         {1.0, 1.1},
         {1.5, 1.6, 1.4, 1.7, 1.55, 1.8, 1.65},
         (1.6 / 1.05 - 1) * 100,
         false},
        // Exact p = 2 / C(12, 5) = 0.0025.
        {"five against seven",
         {1.0, 1.1, 1.05, 0.95, 1.02},
         {1.5, 1.6, 1.4, 1.7, 1.55, 1.8, 1.65},
         (1.6 / 1.02 - 1) * 100,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Change change = CompareSamples(c.baseline, c.other);
        EXPECT_DOUBLE_EQ(change.baselineMedian, Median(c.baseline));
        EXPECT_DOUBLE_EQ(change.otherMedian, Median(c.other));
        EXPECT_NEAR(change.percent, c.percent, 1e-9);
        EXPECT_EQ(change.significant, c.significant) << "p = " << change.p;
        EXPECT_EQ(change.significant, change.p < 0.05);
        EXPECT_LE(change.lowPercent, change.percent);
        EXPECT_GE(change.highPercent, change.percent);
        if (c.significant) { // the interval does not reach to the other side of no change
            EXPECT_TRUE(c.percent > 0 ? change.lowPercent >= 0 : change.highPercent <= 0);
        } else if (c.percent == 0) {
            EXPECT_TRUE(change.lowPercent <= 0 && change.highPercent >= 0);
        }
    }
    EXPECT_NEAR(CompareSamples(runs, Scaled(runs, 1.2)).p, 2.0 / 184756, 1e-12);
}

// Many pairs of data sets whose medians differ by exactly 5 % (the other set
// is drawn from the same distribution scaled by 1.05): a 95 % interval holds
// the true change for close to 95 % of them, even for five runs against five.
// An interval too narrow or too wide for its level misses these bounds.
TEST(CompareSamples, IntervalHoldsTheTrueChangeNinetyFivePercentOfTheTime) {
    const int kSets = 200;
    for (std::size_t count : {5, 10, 30}) {
        SCOPED_TRACE(testing::Message() << count << " samples each");
        int held = 0;
        for (int set = 0; set < kSets; ++set) {
            const Change change =
                CompareSamples(Timings(count, 100, 1000 + 2 * set), Timings(count, 105, 1001 + 2 * set));
            held += change.lowPercent <= 5 && change.highPercent >= 5;
        }
        EXPECT_GE(held, kSets * 90 / 100);
        EXPECT_LE(held, kSets * 99 / 100);
    }
}

// Large sets tell a shift of a few per cent from none: the interval then
// excludes 0 and holds the true change.
TEST(CompareSamples, IntervalOfLargeSetsExcludesNoChange) {
    struct Case {
        double factor;
        bool excludesZero;
    };
    const Case cases[] = {{1.05, true}, {0.97, true}, {1.01, true}, {1.0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "factor " << c.factor);
        const Change change = CompareSamples(Timings(2000, 100, 1), Scaled(Timings(2000, 100, 2), c.factor));
        const double truePercent = (c.factor - 1) * 100;
        EXPECT_LE(change.lowPercent, truePercent);
        EXPECT_GE(change.highPercent, truePercent);
        EXPECT_EQ(change.lowPercent > 0 || change.highPercent < 0, c.excludesZero)
            << "[" << change.lowPercent << ", " << change.highPercent << "]";
    }
}

TEST(CompareSamples, SameInputsGiveTheSameChange) {
    const std::vector<double> baseline = Timings(500, 50, 3);
    const std::vector<double> other = Scaled(Timings(500, 50, 4), 1.01);
    const Change first = CompareSamples(baseline, other);
    const Change second = CompareSamples(baseline, other);
    // The interval depends on the samples, not on their order.
    std::vector<double> reversedBaseline(baseline.rbegin(), baseline.rend());
    std::vector<double> reversedOther(other.rbegin(), other.rend());
    const Change reordered = CompareSamples(reversedBaseline, reversedOther);
    for (const Change& c : {second, reordered}) {
        EXPECT_EQ(c.baselineMedian, first.baselineMedian);
        EXPECT_EQ(c.otherMedian, first.otherMedian);
        EXPECT_EQ(c.percent, first.percent);
        EXPECT_EQ(c.lowPercent, first.lowPercent);
        EXPECT_EQ(c.highPercent, first.highPercent);
        EXPECT_EQ(c.p, first.p);
        EXPECT_EQ(c.significant, first.significant);
    }
    // A different draw of the data gives a different interval: the interval
    // comes from the samples, not a constant.
    const Change another = CompareSamples(Timings(500, 50, 5), other);
    EXPECT_NE(another.lowPercent, first.lowPercent);
}

TEST(CompareSamples, MissingOrUnusableSamples) {
    struct Case {
        const char* name;
        std::vector<double> baseline, other;
    };
    const Case cases[] = {
        {"no baseline", {}, {1, 2, 3}},
        {"no other", {1, 2, 3}, {}},
        {"NaN among the samples", {1, std::nan(""), 3}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Change change = CompareSamples(c.baseline, c.other);
        EXPECT_TRUE(std::isnan(change.percent));
        EXPECT_TRUE(std::isnan(change.lowPercent));
        EXPECT_TRUE(std::isnan(change.highPercent));
        EXPECT_TRUE(std::isnan(change.p));
        EXPECT_FALSE(change.significant);
    }
    // A baseline with a zero time gives the change of the medians but no
    // interval: a resampled baseline median could be 0.
    const Change zero = CompareSamples({0, 2, 3}, {2, 3, 4});
    EXPECT_DOUBLE_EQ(zero.percent, 50);
    EXPECT_TRUE(std::isnan(zero.lowPercent));
    EXPECT_TRUE(std::isnan(zero.highPercent));
}

// 100,000 per-pass samples against 100,000: the whole comparison stays well
// under a second (about 0.2 s on a 2-core build machine).
TEST(CompareSamples, HundredThousandSamplesEachWithinASecond) {
    const std::vector<double> baseline = Timings(100000, 80, 6);
    const std::vector<double> other = Scaled(Timings(100000, 80, 7), 1.002);
    const auto start = std::chrono::steady_clock::now();
    const Change change = CompareSamples(baseline, other);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("seconds", std::to_string(seconds));
    EXPECT_LT(seconds, 1.0);
    EXPECT_TRUE(change.significant) << "p = " << change.p;
    EXPECT_LE(change.lowPercent, 0.2);
    EXPECT_GE(change.highPercent, 0.2);
    EXPECT_GT(change.lowPercent, 0.0);
}

} // namespace
