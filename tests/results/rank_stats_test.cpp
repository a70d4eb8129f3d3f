// Rank statistics of two sets of run values, and the verdicts of a
// comparison's family of rows built on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "results/rank_stats.h"
#include "results/verdict.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Standard normal draws from a generator of fixed seed; the transform (Box-
// Muller) is spelt out so that the data are the same with every standard
// library.
class Normals {
public:
    explicit Normals(std::uint64_t seed) : generator_(seed) {}
    double operator()() {
        const double u = (static_cast<double>(generator_() >> 11) + 0.5) * 0x1p-53; // (0, 1)
        const double v = static_cast<double>(generator_() >> 11) * 0x1p-53;
        return std::sqrt(-2 * std::log(u)) * std::cos(2 * std::acos(-1.0) * v);
    }
    std::uint64_t Bits() { return generator_(); }

private:
    std::mt19937_64 generator_;
};

std::vector<double> NormalValues(Normals& normals, std::size_t count, double mean, double sd) {
    std::vector<double> values(count);
    for (double& x : values)
        x = mean + sd * normals();
    return values;
}

// U of `b` against `a` counted pair by pair.
double PairCountU(const std::vector<double>& a, const std::vector<double>& b) {
    double u = 0;
    for (const double y : b)
        for (const double x : a)
            u += y > x ? 1 : (y == x ? 0.5 : 0);
    return u;
}

// Every split of `pooled` into n values of `a` and the rest of `b` (each
// choice of positions once): the two-sided p of `observed` by counting.
double EnumeratedP(const std::vector<double>& pooled, std::size_t n, double observed) {
    const double nm = static_cast<double>(n * (pooled.size() - n));
    std::size_t atLeastAsFar = 0, splits = 0;
    for (std::uint32_t mask = 0; mask < (1u << pooled.size()); ++mask) {
        if (static_cast<std::size_t>(std::popcount(mask)) != n)
            continue;
        std::vector<double> a, b;
        for (std::size_t i = 0; i < pooled.size(); ++i)
            (mask >> i & 1 ? a : b).push_back(pooled[i]);
        ++splits;
        atLeastAsFar += std::abs(2 * PairCountU(a, b) - nm) >= std::abs(2 * observed - nm);
    }
    return static_cast<double>(atLeastAsFar) / static_cast<double>(splits);
}

// Each pooled set below, split in every way, against the split's p counted
// over all splits: the exact null distribution for tiny sets with and without
// ties, including asymmetric tie patterns.
TEST(RankTest, ExactPMatchesEveryEnumeratedSplit) {
    struct Case {
        const char* name;
        std::vector<double> pooled;
        std::size_t n;
    };
    const Case cases[] = {
        {"four against four, no ties", {1, 2, 3, 4, 5, 6, 7, 8}, 4},
        {"three against six, no ties", {1, 2, 3, 4, 5, 6, 7, 8, 9}, 3},
        {"one against five", {1, 2, 3, 4, 5, 6}, 1},
        {"a pair and a triple tied", {1, 2, 2, 3, 4, 4, 4, 5}, 4},
        {"ties at the bottom only (asymmetric)", {1, 1, 1, 1, 2, 3, 4}, 3},
        {"two values only", {5, 5, 5, 5, 9, 9, 9, 9, 9}, 4},
        {"every value the same", {2, 2, 2, 2, 2}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::uint32_t mask = 0; mask < (1u << c.pooled.size()); ++mask) {
            if (static_cast<std::size_t>(std::popcount(mask)) != c.n)
                continue;
            std::vector<double> a, b;
            for (std::size_t i = 0; i < c.pooled.size(); ++i)
                (mask >> i & 1 ? a : b).push_back(c.pooled[i]);
            const ShiftTest test(a, b);
            ASSERT_TRUE(test.Exact());
            ASSERT_EQ(test.U(), PairCountU(a, b)) << "mask " << mask;
            ASSERT_NEAR(test.P(), EnumeratedP(c.pooled, c.n, test.U()), 1e-12) << "mask " << mask;
        }
    }
}

TEST(RankTest, KnownAnswers) {
    struct Case {
        const char* name;
        std::vector<double> a, b;
        double u, p;
        bool exact;
    };
    std::vector<double> evens, odds; // 0, 2, ..., 100 (51 values) and 15, 17, ..., 113 (50)
    for (int i = 0; i <= 50; ++i)
        evens.push_back(2 * i);
    for (int i = 0; i < 50; ++i)
        odds.push_back(15 + 2 * i);
    std::vector<double> tiedA(20, 1.0), tiedB(10, 1.0); // 1, 2 and 3, tied in large groups
    tiedA.insert(tiedA.end(), 20, 2.0);
    tiedA.insert(tiedA.end(), 15, 3.0);
    tiedB.insert(tiedB.end(), 20, 2.0);
    tiedB.insert(tiedB.end(), 16, 3.0);
    const Case cases[] = {
        // The tortoise-and-hare race (the finishing order T H H H H H T T T T
        // T H): U = 11 of 36. P(U <= 11) = 143 / 924, the partitions of 0 ..
        // 11 into at most six parts of at most six, so p = 286 / 924 = 13 / 42.
        {"race, hares against tortoises", {1, 7, 8, 9, 10, 11}, {2, 3, 4, 5, 6, 12}, 11, 13.0 / 42, true},
        {"race, tortoises against hares", {2, 3, 4, 5, 6, 12}, {1, 7, 8, 9, 10, 11}, 25, 13.0 / 42, true},
        // 70 splits, U <= 2 in 4 of them, so p = 8 / 70.
        {"four against four, U = 2", {3, 6, 7, 8}, {1, 2, 5, 4}, 2, 8.0 / 70, true},
        {"complete separation, five against five", {1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, 25, 2.0 / 252, true},
        {"one against one", {2}, {1}, 0, 1, true},
        // Midranks 1, 2.5, 2.5, 4: the six splits give U of b = 0.5, 0.5, 2,
        // 2, 3.5, 3.5; the observed 3.5 is 1.5 from the mean 2, as four are.
        {"a tie across the sets", {1, 2}, {2, 3}, 3.5, 4.0 / 6, true},
        // Midranks 2.5 (four times) and 5: U = 2 in 6 of 10 splits, 4.5 in 4.
        // The observed 4.5 lies 1.5 from the mean 3, U = 2 only 1 from it, so
        // p = 0.4, not twice the one-sided tail (0.8).
        {"asymmetric null distribution", {1, 1, 1}, {1, 2}, 4.5, 0.4, true},
        // 101 values: U = 8 + 9 + ... + 50 + 7 * 51 = 1604, mean 1275,
        // variance 51 * 50 * 102 / 12 = 21675, z = (329 - 0.5) / 147.224 =
        // 2.23128, p = erfc(z / sqrt 2).
        {"above the exact limit", evens, odds, 1604, 0.0256620, false},
        // 101 values tied in groups of 30, 40 and 31: sum(t^3 - t) = 120690, U
        // = 100 + 400 + 200 + 640 + 120 = 1460, mean 1265, variance 2530 / 12 *
        // (102 - 120690 / 10100) = 18985.6, z = 194.5 / 137.788 = 1.41159.
        {"above the exact limit with ties", tiedA, tiedB, 1460, 0.158072, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ShiftTest test(c.a, c.b);
        EXPECT_DOUBLE_EQ(test.U(), c.u);
        EXPECT_NEAR(test.P(), c.p, c.p * 1e-5);
        EXPECT_EQ(test.Exact(), c.exact);
    }
}

// The normal approximation with tie and continuity correction, written out
// for the pooled values of `a` and `b`.
double NormalApproximationP(const std::vector<double>& a, const std::vector<double>& b, double u) {
    std::vector<double> pooled = a;
    pooled.insert(pooled.end(), b.begin(), b.end());
    std::sort(pooled.begin(), pooled.end());
    double tieTerm = 0;
    for (std::size_t i = 0; i < pooled.size();) {
        std::size_t j = i;
        while (j < pooled.size() && pooled[j] == pooled[i])
            ++j;
        const double t = static_cast<double>(j - i);
        tieTerm += t * t * t - t;
        i = j;
    }
    const double nm = static_cast<double>(a.size() * b.size());
    const double count = static_cast<double>(pooled.size());
    const double sigma = std::sqrt(nm / 12 * (count + 1 - tieTerm / (count * (count - 1))));
    return std::erfc(std::max(0.0, std::abs(u - nm / 2) - 0.5) / sigma / std::sqrt(2.0));
}

// At the exact limit (100 values) the exact p against the normal
// approximation of the same values, with and without ties: close where p is
// moderate, the approximation larger (conservative) in the tail; one value
// more and the approximation is used.
TEST(RankTest, ExactAndApproximateNearTheLimit) {
    Normals normals(11);
    int moderate = 0, small = 0; // cases with p from 0.05 up, and from 0.002 to 0.05
    for (const bool ties : {false, true}) {
        for (const double shift : {0.0, 0.15, 0.3, 0.45, 0.6}) {
            SCOPED_TRACE(testing::Message() << (ties ? "ties" : "no ties") << ", shift " << shift);
            std::vector<double> a = NormalValues(normals, 50, 0, 1);
            std::vector<double> b = NormalValues(normals, 51, shift, 1);
            if (ties) {
                for (double& x : a)
                    x = std::round(x * 4);
                for (double& x : b)
                    x = std::round(x * 4);
            }
            EXPECT_FALSE(ShiftTest(a, b).Exact());
            b.pop_back();
            const ShiftTest exact(a, b);
            EXPECT_TRUE(exact.Exact());
            const double normal = NormalApproximationP(a, b, exact.U());
            if (exact.P() >= 0.05) {
                EXPECT_NEAR(normal, exact.P(), 0.015 * exact.P());
                ++moderate;
            } else if (exact.P() >= 0.002) {
                EXPECT_NEAR(normal, exact.P(), 0.15 * exact.P());
                EXPECT_GT(normal, exact.P());
                ++small;
            }
        }
    }
    EXPECT_GE(moderate, 2);
    EXPECT_GE(small, 2);
}

// Three against three from 1, 2, 3 and 4, 6, 9: the nine differences are 1,
// 2, 3, 3, 4, 5, 6, 7, 8, their median 4. U has 20 equally likely splits with
// counts 1 1 2 3 3 3 3 2 1 1 for U = 0 .. 9, so p = 0.1 at U = 0 or 9, 0.2 at
// 1 or 8, 0.4 at 2 or 7: the interval at 0.4 accepts U from 2 to 7, the
// shifts from the 2nd to the 8th difference, [2, 7] (as a textbook writes
// it: its ends are where U(d) steps, at each end the test at that very shift
// rejects, so the ends here are the next doubles inward).
TEST(ShiftTest, HodgesLehmannShiftAndItsInterval) {
    struct Case {
        double level;
        double low, high;
    };
    const Case cases[] = {
        {0.4, 2, 7},
        {0.2, 1, 8},
        {0.1, -kInfinity, kInfinity}, // no outcome of three against three has p below 0.1
        {0.05, -kInfinity, kInfinity},
    };
    const ShiftTest test({1, 2, 3}, {4, 6, 9});
    EXPECT_DOUBLE_EQ(test.Shift(), 4);
    EXPECT_DOUBLE_EQ(test.P(), 0.1);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level);
        const ShiftTest::Interval interval = test.ConfidenceInterval(c.level);
        EXPECT_DOUBLE_EQ(interval.low, c.low);
        EXPECT_DOUBLE_EQ(interval.high, c.high);
        if (std::isfinite(c.low)) { // the ends themselves are rejected
            EXPECT_GT(interval.low, c.low);
            EXPECT_LT(interval.high, c.high);
        }
    }
    // An even number of differences: the median is the mean of the middle two.
    EXPECT_DOUBLE_EQ(ShiftTest({0, 10}, {1, 2}).Shift(), (-8.0 + 1) / 2); // 1, 2, -9, -8
}

TEST(ShiftTest, EmptyOrNaNGiveNaN) {
    const double nan = std::nan("");
    for (const auto& [a, b] : {std::pair<std::vector<double>, std::vector<double>>{{}, {1, 2}},
                               {{1, 2}, {}},
                               {{1, nan}, {1, 2}}}) {
        const ShiftTest test(a, b);
        EXPECT_TRUE(std::isnan(test.U()));
        EXPECT_TRUE(std::isnan(test.P()));
        EXPECT_TRUE(std::isnan(test.Shift()));
        EXPECT_FALSE(test.Exact());
        const ShiftTest::Interval interval = test.ConfidenceInterval(0.05);
        EXPECT_TRUE(std::isnan(interval.low));
        EXPECT_TRUE(std::isnan(interval.high));
    }
}

// The interval inverts the test. Over many seeded samples, small and large,
// with and without ties (many across the sets at no shift, too): the interval
// excludes 0 exactly when p < level, and holds the estimate. Without ties
// the values are whole numbers and the shifts tried are the halves between
// them, so b - d ties with no value of a and is computed exactly: there the
// test of b - d itself accepts exactly the shifts in the interval.
TEST(ShiftTest, IntervalAndTestNeverDisagree) {
    struct Sizes {
        std::size_t n, m;
    };
    const Sizes sizes[] = {{3, 4}, {6, 6}, {5, 9}, {12, 10}, {30, 30}, {50, 50}, {60, 70}};
    const double levels[] = {0.3, 0.05, 0.01, 0.05 / 15};
    Normals normals(5);
    int rejected = 0, accepted = 0, shiftsChecked = 0;
    for (const Sizes& s : sizes) {
        for (int sample = 0; sample < 40; ++sample) {
            const bool ties = sample % 2 == 1;
            const double shift = (sample % 5) * 0.4;
            std::vector<double> a, b;
            if (ties) { // few distinct values: many ties within and across the sets
                for (double x : NormalValues(normals, s.n, 0, 1))
                    a.push_back(std::round(x * 2));
                for (double x : NormalValues(normals, s.m, shift, 1))
                    b.push_back(std::round(x * 2));
            } else { // the whole numbers 0 .. n + m - 1, dealt to the sets in the order of normal draws
                std::vector<double> draws(s.n + s.m); // the first m are b's, shifted
                for (std::size_t i = 0; i < draws.size(); ++i)
                    draws[i] = normals() + (i < s.m ? shift : 0.0);
                std::vector<std::size_t> order(draws.size());
                for (std::size_t i = 0; i < order.size(); ++i)
                    order[i] = i;
                std::sort(order.begin(), order.end(),
                          [&](std::size_t x, std::size_t y) { return draws[x] < draws[y]; });
                for (std::size_t rank = 0; rank < order.size(); ++rank)
                    (order[rank] < s.m ? b : a).push_back(static_cast<double>(rank));
            }
            const ShiftTest test(a, b);
            for (const double level : levels) {
                SCOPED_TRACE(testing::Message()
                             << s.n << " against " << s.m << ", sample " << sample << ", level " << level);
                const ShiftTest::Interval interval = test.ConfidenceInterval(level);
                const bool excludesZero = interval.low > 0 || interval.high < 0;
                ASSERT_EQ(excludesZero, test.P() < level)
                    << "p " << test.P() << " [" << interval.low << ", " << interval.high << "]";
                (excludesZero ? rejected : accepted) += 1;
                if (ties) {
                    // With many values tied across the sets the estimate
                    // can be a difference that the test at that very shift
                    // rejects while it accepts just beside it: then it is
                    // an open end of the interval.
                    EXPECT_LE(std::nextafter(interval.low, -kInfinity), test.Shift());
                    EXPECT_GE(std::nextafter(interval.high, kInfinity), test.Shift());
                    continue;
                }
                EXPECT_LE(interval.low, test.Shift());
                EXPECT_GE(interval.high, test.Shift());
                for (double d = -static_cast<double>(a.size() + b.size()) - 0.5;
                     d <= static_cast<double>(a.size() + b.size()); d += 1) {
                    std::vector<double> shifted = b;
                    for (double& y : shifted)
                        y -= d;
                    const bool inside = interval.low <= d && d <= interval.high;
                    ASSERT_EQ(inside, ShiftTest(a, shifted).P() >= level) << "shift " << d;
                    ++shiftsChecked;
                }
            }
        }
    }
    // Both outcomes occur often, so the agreement is not a vacuous one.
    EXPECT_GT(rejected, 200);
    EXPECT_GT(accepted, 200);
    EXPECT_GT(shiftsChecked, 10000);
}

TEST(RunsForAVerdict, SmallestPAndRunsPerSide) {
    struct SmallestCase {
        std::size_t n, m;
        double p;
    };
    const SmallestCase smallest[] = {
        {3, 3, 0.1},      {4, 4, 2.0 / 70}, {5, 5, 2.0 / 252}, {6, 6, 2.0 / 924},
        {2, 7, 2.0 / 36}, {1, 1, 1},        {0, 5, 1},         {1, 2, 2.0 / 3},
    };
    for (const SmallestCase& c : smallest) {
        SCOPED_TRACE(testing::Message() << c.n << " against " << c.m);
        EXPECT_DOUBLE_EQ(SmallestP(c.n, c.m), c.p);
        if (c.n == 0)
            continue;
        // Complete separation reaches it.
        std::vector<double> a, b;
        for (std::size_t i = 0; i < c.n; ++i)
            a.push_back(static_cast<double>(i));
        for (std::size_t i = 0; i < c.m; ++i)
            b.push_back(static_cast<double>(c.n + i));
        EXPECT_DOUBLE_EQ(ShiftTest(a, b).P(), c.p);
    }
    struct RunsCase {
        double level;
        std::size_t runs;
    };
    const RunsCase runs[] = {
        {0.05, 4},      // 3 against 3 give 0.1 at best, 4 against 4 0.029
        {0.1, 4},       // 0.1 itself is not below 0.1
        {0.05 / 4, 5},  // 0.0079
        {0.05 / 15, 6}, // 5 against 5 give 0.0079, 6 against 6 0.0022
        {1e-6, 12},     // 2 / C(22, 11) = 2.9e-6, 2 / C(24, 12) = 7.4e-7
        {0, 0},
    };
    for (const RunsCase& c : runs)
        EXPECT_EQ(RunsPerSideForVerdict(c.level), c.runs) << "level " << c.level;
}

TEST(Holm, LevelsOfAFamily) {
    struct Case {
        const char* name;
        std::vector<double> p;
        std::vector<double> levels;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        // In order: 0.005 < 0.05 / 4, 0.01 < 0.05 / 3, 0.03 >= 0.05 / 2: the
        // stop. 0.04 gets the stopping level too.
        {"stops at the third", {0.01, 0.04, 0.03, 0.005}, {0.05 / 3, 0.025, 0.025, 0.0125}},
        {"all rejected", {0.001, 0.03, 0.01}, {0.05 / 3, 0.05, 0.025}},
        {"none rejected", {0.5, 0.02, 0.9}, {0.05 / 3, 0.05 / 3, 0.05 / 3}},
        // The first is at its level exactly: not below it, so the stop.
        {"equal to the level is not rejected", {0.025, 0.03}, {0.025, 0.025}},
        {"equal p-values", {0.004, 0.004, 0.2}, {0.05 / 3, 0.025, 0.05}},
        {"one alone", {0.049}, {0.05}},
        {"a NaN counts as the largest", {nan, 0.001}, {0.05, 0.025}},
        {"none", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<double> levels = HolmLevels(c.p, 0.05);
        ASSERT_EQ(levels.size(), c.levels.size());
        for (std::size_t i = 0; i < levels.size(); ++i)
            EXPECT_DOUBLE_EQ(levels[i], c.levels[i]) << "p " << c.p[i];
    }
}

// The stated shift is detected with about 80 % power: simulated normal
// samples shifted by it, tested at the same level, for sizes where the
// rejection region is complete separation alone, a few outcomes, many, and
// the normal approximation.
TEST(DetectableShift, PowerAtTheStatedShiftIsAboutEightyPercent) {
    struct Case {
        std::size_t n, m;
        double level;
    };
    const Case cases[] = {
        {6, 6, 0.05 / 15},  {4, 4, 0.05},  {7, 7, 0.05 / 15}, {10, 10, 0.05 / 15},
        {20, 20, 0.05 / 4}, {5, 12, 0.05}, {40, 30, 0.01},    {60, 60, 0.05},
    };
    constexpr int kTrials = 1500;
    Normals normals(21);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " against " << c.m << " at " << c.level);
        const double shift = DetectableShift(c.n, c.m, c.level);
        ASSERT_TRUE(std::isfinite(shift));
        int detected = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            const ShiftTest test(NormalValues(normals, c.n, 0, 0.1),
                                 NormalValues(normals, c.m, 0.1 * shift, 0.1));
            detected += test.P() < c.level;
        }
        EXPECT_GE(detected, kTrials * 70 / 100);
        EXPECT_LE(detected, kTrials * 90 / 100);
    }
    EXPECT_EQ(DetectableShift(3, 3, 0.05), kInfinity); // no outcome has p below 0.05
    EXPECT_TRUE(std::isnan(DetectableShift(0, 3, 0.05)));
}

// A family as a comparison has it: `rows` rows of `runs` runs per side around
// 1 with a log-normal spread of `spread`, the other side's rows scaled by
// `factors` (1 where not given).
std::vector<RowSamples> Family(Normals& normals, std::size_t rows, std::size_t runs, double spread,
                               const std::vector<double>& factors = {}) {
    std::vector<RowSamples> family(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        const double factor = r < factors.size() ? factors[r] : 1.0;
        for (std::size_t i = 0; i < runs; ++i) {
            family[r].baseline.push_back(std::exp(spread * normals()));
            family[r].other.push_back(factor * std::exp(spread * normals()));
        }
    }
    return family;
}

// What holds for every verdict of a family: significant exactly when the
// interval excludes no change, and at the Holm level of its p.
void ExpectConsistent(const std::vector<Verdict>& verdicts, double alpha) {
    std::vector<double> p;
    for (const Verdict& v : verdicts)
        if (v.judged)
            p.push_back(v.p);
    const std::vector<double> levels = HolmLevels(p, alpha);
    std::size_t judged = 0;
    for (const Verdict& v : verdicts) {
        if (!v.judged)
            continue;
        EXPECT_EQ(v.level, levels[judged++]);
        EXPECT_EQ(v.significant, v.p < v.level);
        EXPECT_EQ(v.significant, v.lowPercent > 0 || v.highPercent < 0)
            << "p " << v.p << " level " << v.level << " [" << v.lowPercent << ", " << v.highPercent << "]";
        EXPECT_LE(v.lowPercent, v.percent);
        EXPECT_GE(v.highPercent, v.percent);
        EXPECT_EQ(std::isnan(v.detectablePercent), v.significant);
    }
}

TEST(JudgeFamily, ABigShiftIsFoundAndTheRestIsNot) {
    Normals normals(31);
    const std::vector<Verdict> verdicts = JudgeFamily(Family(normals, 15, 20, 0.03, {1.0, 1.2, 0.85}));
    ASSERT_EQ(verdicts.size(), 15u);
    ExpectConsistent(verdicts, 0.05);
    for (std::size_t r = 0; r < verdicts.size(); ++r) {
        SCOPED_TRACE(testing::Message() << "row " << r);
        const Verdict& v = verdicts[r];
        EXPECT_TRUE(v.judged);
        EXPECT_TRUE(v.exact);
        EXPECT_EQ(v.significant, r == 1 || r == 2);
        if (r == 1 || r == 2) {
            const double truePercent = r == 1 ? 20 : -15;
            EXPECT_NEAR(v.percent, truePercent, 3);
            EXPECT_LT(v.lowPercent, truePercent);
            EXPECT_GT(v.highPercent, truePercent);
        } else { // judged at the stopping level, the third step's
            EXPECT_DOUBLE_EQ(v.level, 0.05 / 13);
            // 20 runs per side at 3 % spread cannot tell changes below ~4 %.
            EXPECT_GT(v.detectablePercent, 2);
            EXPECT_LT(v.detectablePercent, 8);
        }
    }
}

// Families without any change: the chance of any false alarm among 15 rows
// stays at 5 % (here 400 families, 7.5 % allows for the noise of the count).
TEST(JudgeFamily, NoChangeRarelyRaisesAnyAlarm) {
    Normals normals(41);
    constexpr int kFamilies = 400;
    int alarms = 0;
    for (int f = 0; f < kFamilies; ++f) {
        const std::vector<Verdict> verdicts = JudgeFamily(Family(normals, 15, 10, 0.08));
        ExpectConsistent(verdicts, 0.05);
        alarms +=
            std::any_of(verdicts.begin(), verdicts.end(), [](const Verdict& v) { return v.significant; });
    }
    EXPECT_LE(alarms, kFamilies * 75 / 1000);
    // The same runs on both sides: nothing at all to see.
    std::vector<RowSamples> same = Family(normals, 4, 10, 0.08);
    for (RowSamples& row : same)
        row.other = row.baseline;
    for (const Verdict& v : JudgeFamily(same)) {
        EXPECT_DOUBLE_EQ(v.p, 1);
        EXPECT_DOUBLE_EQ(v.percent, 0);
        EXPECT_FALSE(v.significant);
    }
}

// A row whose p lies between alpha / 4 and alpha: significant alone, not
// among four rows (judged at alpha / 4, where its interval reaches across no
// change), and in either case its interval agrees with its verdict.
TEST(JudgeFamily, HolmTurnsABorderlineRowDown) {
    // Ten against ten, U = 77 of 100: exact p = 0.0413.
    RowSamples borderline;
    for (int i = 1; i <= 10; ++i)
        borderline.baseline.push_back(1 + 0.01 * i);
    for (const double x : {1.035, 1.045, 1.065, 1.075, 1.085, 1.095, 1.105, 1.115, 1.125, 1.135})
        borderline.other.push_back(x);
    const std::vector<Verdict> alone = JudgeFamily({borderline});
    ASSERT_TRUE(alone[0].judged);
    EXPECT_GT(alone[0].p, 0.05 / 4);
    EXPECT_LT(alone[0].p, 0.05);
    EXPECT_TRUE(alone[0].significant);
    EXPECT_GT(alone[0].lowPercent, 0);

    Normals normals(51);
    std::vector<RowSamples> four = Family(normals, 3, 10, 0.05);
    four.push_back(borderline);
    const std::vector<Verdict> verdicts = JudgeFamily(four);
    ExpectConsistent(verdicts, 0.05);
    EXPECT_EQ(verdicts[3].p, alone[0].p);
    EXPECT_FALSE(verdicts[3].significant);
    EXPECT_DOUBLE_EQ(verdicts[3].level, 0.05 / 4);
    EXPECT_LE(verdicts[3].lowPercent, 0);
    EXPECT_GT(verdicts[3].detectablePercent, alone[0].percent / 2);
}

// What a row states it could not see is found four times in five: the
// median stated change of rows without a change (spread estimated from their
// runs), then families with one row shifted by that much.
TEST(JudgeFamily, StatedDetectableChangeIsFoundFourTimesInFive) {
    Normals normals(71);
    constexpr std::size_t kRuns = 8;
    constexpr double kSpread = 0.1;
    std::vector<double> stated;
    for (int f = 0; f < 100; ++f)
        for (const Verdict& v : JudgeFamily(Family(normals, 15, kRuns, kSpread)))
            if (!v.significant)
                stated.push_back(v.detectablePercent);
    std::nth_element(stated.begin(), stated.begin() + stated.size() / 2, stated.end());
    const double change = stated[stated.size() / 2];
    constexpr int kFamilies = 400;
    int found = 0;
    for (int f = 0; f < kFamilies; ++f) {
        const Verdict v = JudgeFamily(Family(normals, 15, kRuns, kSpread, {1 + change / 100}))[0];
        found += v.significant && v.lowPercent > 0;
    }
    EXPECT_GE(found, kFamilies * 70 / 100) << "stated ±" << change << " %";
    EXPECT_LE(found, kFamilies * 90 / 100) << "stated ±" << change << " %";
}

TEST(JudgeFamily, TooFewRunsAreNotJudged) {
    struct Case {
        const char* name;
        std::size_t rows, runs;
        bool judged;
        std::size_t runsNeeded;
    };
    const Case cases[] = {
        {"15 rows need 6 runs per side", 15, 5, false, 6},
        {"15 rows of 6 runs", 15, 6, true, 0},
        {"4 rows need 5", 4, 4, false, 5},
        {"4 rows of 5 runs", 4, 5, true, 0},
        {"one run against one", 1, 1, false, 4},
    };
    Normals normals(61);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Verdict& v : JudgeFamily(Family(normals, c.rows, c.runs, 0.05, {2.0}))) {
            EXPECT_EQ(v.judged, c.judged);
            EXPECT_EQ(v.runsNeeded, c.runsNeeded);
            if (!c.judged) {
                EXPECT_FALSE(v.significant);
                EXPECT_TRUE(std::isnan(v.p));
                EXPECT_TRUE(std::isnan(v.level));
            }
        }
    }
    // Rows of a family with fewer runs than the rest are left out of it: the
    // others are judged by Holm among themselves (two judged rows here).
    std::vector<RowSamples> mixed = Family(normals, 2, 20, 0.03, {1.3, 1.25});
    for (RowSamples& row : Family(normals, 13, 5, 0.03))
        mixed.push_back(row);
    const std::vector<Verdict> verdicts = JudgeFamily(mixed);
    ExpectConsistent(verdicts, 0.05);
    EXPECT_TRUE(verdicts[0].significant);
    EXPECT_TRUE(verdicts[1].significant);
    EXPECT_EQ(std::max(verdicts[0].level, verdicts[1].level), 0.05);
    for (std::size_t r = 2; r < verdicts.size(); ++r)
        EXPECT_FALSE(verdicts[r].judged);
}

// A value that is no time (zero, negative, NaN, infinite) is no run: it is
// left out rather than taken as the fastest or slowest run.
TEST(JudgeFamily, ValuesThatAreNoTimeAreLeftOut) {
    const double nan = std::nan("");
    RowSamples row{{1.00, 1.01, 0.99, 1.02, 0.98, 1.00}, {1.20, 1.21, 1.19, 1.22, 1.18, 1.20}};
    const Verdict clean = JudgeFamily({row})[0];
    row.baseline.insert(row.baseline.end(), {0.0, -1.0, nan, kInfinity});
    row.other.push_back(0.0);
    const Verdict withNoise = JudgeFamily({row})[0];
    EXPECT_TRUE(withNoise.judged);
    EXPECT_EQ(withNoise.p, clean.p);
    EXPECT_EQ(withNoise.percent, clean.percent);
    EXPECT_TRUE(withNoise.significant);
    // Five of six left: with 15 rows that is too few.
    RowSamples short5{{1.00, 1.01, 0.99, 1.02, 0.0, 0.98}, {1.20, 1.21, 1.19, 1.22, 1.18, 1.20}};
    EXPECT_FALSE(JudgeFamily(std::vector<RowSamples>(15, short5))[0].judged);
}

} // namespace
