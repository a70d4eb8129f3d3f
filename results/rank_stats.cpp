#include "results/rank_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "results/comparison_stats.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kPower = 0.8;

bool ContainsNaN(const std::vector<double>& values) {
    return std::any_of(values.begin(), values.end(), [](double x) { return std::isnan(x); });
}

double NormalUpperTail(double z) {
    return 0.5 * std::erfc(z / std::sqrt(2.0));
}

// The number of choices of `chosen` of `total` values without ties with each
// U of the chosen values, for U = 0 .. floor(chosen (total - chosen) / 2):
// the coefficients of the Gaussian binomial [total, chosen] in q, the product
// over i = 1 .. chosen of (1 - q^(total - chosen + i)) / (1 - q^i). Each step
// moves coefficients only upwards, so the lower half is computed alone, and
// its small counts (the tail) exactly.
std::vector<double> LowerHalfCounts(std::size_t chosen, std::size_t total) {
    const std::size_t others = total - chosen;
    const std::size_t half = chosen * others / 2;
    std::vector<double> counts(half + 1, 0.0);
    counts[0] = 1;
    for (std::size_t i = 1; i <= chosen; ++i) {
        for (std::size_t s = half; s >= others + i && s <= half; --s)
            counts[s] -= counts[s - others - i];
        for (std::size_t s = i; s <= half; ++s)
            counts[s] += counts[s - i];
    }
    return counts;
}

// The number of choices of `chosen` of the pooled values (tie groups of the
// given sizes, in ascending order) with each 2U of the chosen values, for 2U =
// 0 .. 2 chosen (total - chosen). The groups join one at a time; j chosen
// values of a group of t, above `below` others and tied with t - j, add j (2
// below + t - j) to 2U, in C(t, j) ways.
std::vector<double> TwiceUCounts(std::size_t chosen, std::size_t total,
                                 const std::vector<std::size_t>& groups) {
    const std::size_t others = total - chosen;
    const std::size_t maxTwiceU = 2 * chosen * others;
    // ways[k][s]: choices of k of the values seen so far whose 2U is s.
    std::vector<std::vector<double>> ways(chosen + 1, std::vector<double>(maxTwiceU + 1, 0.0));
    ways[0][0] = 1;
    std::size_t seen = 0;
    for (const std::size_t t : groups) {
        std::vector<double> binomial(t + 1, 1.0); // C(t, j)
        for (std::size_t j = 1; j <= t; ++j)
            binomial[j] = binomial[j - 1] * static_cast<double>(t - j + 1) / static_cast<double>(j);
        // k falls, so ways[k - j] still holds the choices before this group.
        for (std::size_t k = std::min(chosen, seen + t); k > 0; --k) {
            for (std::size_t j = 1; j <= std::min(t, k); ++j) {
                const std::size_t before = k - j; // chosen values below the group
                if (before > seen || seen - before + (t - j) > others)
                    continue;
                const std::size_t below = seen - before;
                const std::size_t add = j * (2 * below + t - j);
                const std::vector<double>& from = ways[before];
                std::vector<double>& to = ways[k];
                const std::size_t top = std::min(maxTwiceU - add, 2 * before * below);
                for (std::size_t s = 0; s <= top; ++s)
                    to[s + add] += binomial[j] * from[s];
            }
        }
        seen += t;
    }
    return std::move(ways[chosen]);
}

// P(|2U - n m| >= k) for k = 0 .. n m from counts by distance |2U - n m|.
std::vector<double> TailFromDistanceCounts(std::vector<double> counts) {
    const double total = std::accumulate(counts.begin(), counts.end(), 0.0);
    // Summed from the far end: the small tail counts first.
    for (std::size_t k = counts.size() - 1; k > 0; --k)
        counts[k - 1] += counts[k];
    for (double& c : counts)
        c /= total;
    counts[0] = 1;
    return counts;
}

} // namespace

RankSumNull::RankSumNull(std::size_t n, std::size_t m, const std::vector<std::size_t>& tieGroups)
    : n_(n), m_(m) {
    const std::size_t total = n + m;
    if (n == 0 || m == 0)
        return;
    const std::size_t nm = n * m;
    const std::size_t chosen = std::min(n, m); // |2U - n m| is the same for either set's U
    const bool ties = tieGroups.size() < total;
    if (total <= kExactRankTestLimit) {
        std::vector<double> byDistance(nm + 1, 0.0);
        if (!ties) {
            // The distribution is symmetric: U = s and U = n m - s lie at distance n m - 2 s.
            const std::vector<double> counts = LowerHalfCounts(chosen, total);
            for (std::size_t s = 0; s < counts.size(); ++s)
                byDistance[nm - 2 * s] += (2 * s == nm ? 1 : 2) * counts[s];
        } else {
            const std::vector<double> counts = TwiceUCounts(chosen, total, tieGroups);
            for (std::size_t s = 0; s < counts.size(); ++s)
                byDistance[s > nm ? s - nm : nm - s] += counts[s];
        }
        tail_ = TailFromDistanceCounts(std::move(byDistance));
        return;
    }
    double tieTerm = 0;
    for (const std::size_t t : tieGroups)
        tieTerm += std::pow(static_cast<double>(t), 3) - static_cast<double>(t);
    const double N = static_cast<double>(total);
    sigma_ = std::sqrt(static_cast<double>(nm) / 12 * (N + 1 - tieTerm / (N * (N - 1))));
}

double RankSumNull::TwoSidedP(double u) const {
    if (n_ == 0 || m_ == 0 || std::isnan(u))
        return kNaN;
    const double nm = static_cast<double>(n_ * m_);
    const double distance = std::abs(2 * u - nm); // in halves
    if (!tail_.empty()) {
        const double k = std::ceil(distance);
        return k < static_cast<double>(tail_.size()) ? tail_[static_cast<std::size_t>(k)] : 0.0;
    }
    if (!(sigma_ > 0))
        return 1.0; // every value the same
    // erfc is monotone up to its rounding, far finer than the steps of 1/2
    // between the distances of two values of U, so p still falls with the
    // distance, as the interval needs.
    return std::min(1.0, 2 * NormalUpperTail(std::max(0.0, distance / 2 - 0.5) / sigma_));
}

ShiftTest::ShiftTest(const std::vector<double>& a, const std::vector<double>& b)
    : null_(0, 0, {}), u_(kNaN), p_(kNaN), shift_(kNaN) {
    if (a.empty() || b.empty() || ContainsNaN(a) || ContainsNaN(b))
        return;
    std::vector<double> pooled = a;
    pooled.insert(pooled.end(), b.begin(), b.end());
    std::sort(pooled.begin(), pooled.end());
    std::vector<std::size_t> groups;
    for (std::size_t first = 0; first < pooled.size();) {
        const std::size_t end = static_cast<std::size_t>(
            std::upper_bound(pooled.begin() + first, pooled.end(), pooled[first]) - pooled.begin());
        groups.push_back(end - first);
        first = end;
    }
    null_ = RankSumNull(a.size(), b.size(), groups);

    differences_.reserve(a.size() * b.size());
    for (const double y : b)
        for (const double x : a)
            differences_.push_back(y - x); // 0 exactly when y == x, of the sign of y - x
    std::sort(differences_.begin(), differences_.end());
    const auto zeros = std::equal_range(differences_.begin(), differences_.end(), 0.0);
    u_ = static_cast<double>(differences_.end() - zeros.second) +
         static_cast<double>(zeros.second - zeros.first) / 2;
    p_ = null_.TwoSidedP(u_);
    shift_ = Median(differences_);
}

ShiftTest::Interval ShiftTest::ConfidenceInterval(double level) const {
    if (differences_.empty())
        return {kNaN, kNaN};
    const auto accepted = [&](double u) { return null_.TwoSidedP(u) >= level; };
    const std::size_t count = differences_.size();
    Interval interval{kNaN, kNaN};
    // Upwards through the distinct differences v: below v, U(d) counts the
    // differences from v up; at v, those above v and half of those equal; just
    // above v, those above v. The first accepted one is the lower end.
    if (accepted(static_cast<double>(count))) {
        interval.low = -kInfinity;
    } else {
        for (auto first = differences_.begin(); first != differences_.end();) {
            const auto end = std::upper_bound(first, differences_.end(), *first);
            const double above = static_cast<double>(differences_.end() - end);
            if (accepted(above + static_cast<double>(end - first) / 2)) {
                interval.low = *first;
                break;
            }
            if (accepted(above)) {
                interval.low = std::nextafter(*first, kInfinity);
                break;
            }
            first = end;
        }
    }
    // Downwards in the same way for the upper end.
    if (accepted(0)) {
        interval.high = kInfinity;
    } else {
        for (auto end = differences_.end(); end != differences_.begin();) {
            const auto first = std::lower_bound(differences_.begin(), end, *(end - 1));
            const double above = static_cast<double>(differences_.end() - end);
            const double equal = static_cast<double>(end - first);
            if (accepted(above + equal / 2)) {
                interval.high = *first;
                break;
            }
            if (accepted(above + equal)) {
                interval.high = std::nextafter(*first, -kInfinity);
                break;
            }
            end = first;
        }
    }
    return interval;
}

double SmallestP(std::size_t n, std::size_t m) {
    double choices = 1; // C(n + m, n)
    for (std::size_t i = 1; i <= std::min(n, m); ++i)
        choices = choices * static_cast<double>(std::max(n, m) + i) / static_cast<double>(i);
    return std::min(1.0, 2 / choices);
}

std::size_t RunsPerSideForVerdict(double level) {
    if (!(level > 0))
        return 0;
    std::size_t runs = 1;
    while (!(SmallestP(runs, runs) < level))
        ++runs;
    return runs;
}

std::vector<double> HolmLevels(const std::vector<double>& p, double alpha) {
    std::vector<std::size_t> order(p.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        return std::isnan(p[y]) ? !std::isnan(p[x]) : p[x] < p[y];
    });
    std::vector<double> levels(p.size());
    double stoppingLevel = kNaN;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (std::isnan(stoppingLevel)) {
            const double level = alpha / static_cast<double>(order.size() - i);
            if (!(p[order[i]] < level))
                stoppingLevel = level;
            levels[order[i]] = level;
        } else {
            levels[order[i]] = stoppingLevel;
        }
    }
    return levels;
}

namespace {

constexpr double kInvSqrt2Pi = 0.3989422804014327;

// The integral of f over [-8, 8] by Simpson's rule; the integrands here are
// normal densities times probabilities, whose rest beyond is below 1e-14.
template <typename F> double IntegralOverNormalRange(F f) {
    constexpr int kSteps = 160;
    constexpr double kWidth = 16.0 / kSteps;
    double sum = 0;
    for (int i = 0; i <= kSteps; ++i) {
        const double weight = i == 0 || i == kSteps ? 1 : (i % 2 == 1 ? 4 : 2);
        sum += weight * f(-8 + i * kWidth);
    }
    return sum * kWidth / 3;
}

double NormalDensity(double z) {
    return kInvSqrt2Pi * std::exp(-z * z / 2);
}

// P(Y > X, Y > X') for independent standard normal X, X' and Y shifted by
// `shift`: the integral of phi(z) Phi(z + shift)^2.
double BothBelowProbability(double shift) {
    return IntegralOverNormalRange([&](double z) {
        const double below = 1 - NormalUpperTail(z + shift);
        return NormalDensity(z) * below * below;
    });
}

// P(every one of m values Y lies above every one of n values X), standard
// normal X and Y shifted by `shift`: the integral over the largest X, of
// density n phi(x) Phi(x)^(n - 1), of P(Y > x)^m.
double SeparationProbability(std::size_t n, std::size_t m, double shift) {
    return IntegralOverNormalRange([&](double x) {
        return static_cast<double>(n) * NormalDensity(x) * std::pow(1 - NormalUpperTail(x), n - 1.0) *
               std::pow(NormalUpperTail(x - shift), static_cast<double>(m));
    });
}

} // namespace

double DetectableShift(std::size_t n, std::size_t m, double level) {
    if (n == 0 || m == 0)
        return kNaN;
    // Without ties U takes whole values; the test rejects from `critical`
    // upwards (and from n m - critical downwards).
    std::vector<std::size_t> singles(n + m, 1);
    const RankSumNull null(n, m, singles);
    const std::size_t nm = n * m;
    std::size_t critical = (nm + 1) / 2;
    while (critical <= nm && !(null.TwoSidedP(static_cast<double>(critical)) < level))
        ++critical;
    if (critical > nm)
        return kInfinity;
    const double pairs = static_cast<double>(nm);
    const double crossTerms = static_cast<double>(n + m - 2);
    const auto power = [&](double shift) {
        // Only complete separation rejects: its probability is exact (the
        // normal approximation overstates it by up to a tenth of the power).
        if (critical == nm)
            return SeparationProbability(n, m, shift) + SeparationProbability(m, n, -shift);
        const double p1 = 1 - NormalUpperTail(shift / std::sqrt(2.0));
        const double p2 = BothBelowProbability(shift);
        const double sd = std::sqrt(pairs * (p1 * (1 - p1) + crossTerms * std::max(0.0, p2 - p1 * p1)));
        const double mean = pairs * p1;
        const double distance = static_cast<double>(critical) - 0.5;
        if (!(sd > 0))
            return mean >= distance ? 1.0 : 0.0;
        return NormalUpperTail((distance - mean) / sd) +
               (1 - NormalUpperTail((pairs - distance - mean) / sd));
    };
    double low = 0, high = 1;
    while (power(high) < kPower)
        high *= 2;
    while (high - low > 1e-6 * high) {
        const double middle = (low + high) / 2;
        (power(middle) < kPower ? low : high) = middle;
    }
    return high;
}
