#pragma once
// Statistics for comparing two sets of timings of the same test (seconds of
// repeated runs, or per-pass samples in microseconds): the change of the
// median with a confidence interval, and a rank test of whether the two sets
// differ at all. Pure functions: no I/O, nothing thrown; no samples (or a NaN
// among them) give NaN.
#include <vector>

// Median of the samples (the mean of the two middle values for an even
// count). NaN for none.
double Median(std::vector<double> samples);

// The nearest-rank percentile of values in ascending order: the value at rank
// ceil(p / 100 * count), counted from 1. NaN for none.
double SortedPercentile(const std::vector<double>& sorted, double p);

// Median absolute deviation, unscaled: the median of |x - median|. NaN for
// no samples.
double MedianAbsoluteDeviation(const std::vector<double>& samples);

// Two-sided Mann-Whitney U test of `a` against `b`.
struct MannWhitney {
    double u;   // of `a`: the pairs (x from a, y from b) with x > y, plus half the pairs with x == y
    double p;   // two-sided; NaN when either set is empty
    bool exact; // p from the exact null distribution rather than the normal approximation
};

// The exact distribution is used when there are no ties and both sets
// together hold at most kMannWhitneyExactLimit samples; otherwise the normal
// approximation with tie correction and a continuity correction of 0.5.
constexpr int kMannWhitneyExactLimit = 40;

MannWhitney MannWhitneyU(const std::vector<double>& a, const std::vector<double>& b);

// The change of `other` against `baseline`. Every field is NaN (and
// `significant` false) when either set is empty or holds a NaN; the interval
// alone is NaN unless every baseline sample is positive, as times are.
struct Change {
    double baselineMedian;
    double otherMedian;
    double percent;    // (other median / baseline median - 1) * 100
    double lowPercent; // 95 % confidence interval of `percent` (bootstrap percentile interval)
    double highPercent;
    double p;         // Mann-Whitney two-sided p
    bool significant; // p < 0.05
};

// The verdict comes from the rank test, the interval from resampling the
// medians: near the edge of significance the interval may just touch 0 while
// the test finds a difference, or the reverse. The same inputs always give the
// same Change: the bootstrap's generator has a fixed seed, and the indices it
// draws are derived here rather than by a library distribution, so the
// interval does not depend on the standard library either.
Change CompareSamples(const std::vector<double>& baseline, const std::vector<double>& other);
