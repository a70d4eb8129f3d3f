#include "results/verdict.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <utility>

#include "results/comparison_stats.h"
#include "results/rank_stats.h"

namespace {

// 1 / Phi^-1(3/4): makes the median absolute deviation of normal values
// estimate their standard deviation.
constexpr double kMadToStandardDeviation = 1.4826;

std::vector<double> Logs(const std::vector<double>& values) {
    std::vector<double> logs;
    for (const double x : values)
        if (x > 0 && std::isfinite(x))
            logs.push_back(std::log(x));
    return logs;
}

// The deviations of each side's values from that side's median.
void AddDeviations(const std::vector<double>& values, std::vector<double>& deviations) {
    const double median = Median(values);
    for (const double x : values)
        deviations.push_back(std::abs(x - median));
}

// The spread of the runs of both sides (of the logs): see the header. The
// deviations are taken from the two sides' own medians, which makes them
// smaller than from the true centre: for normal runs the median of the
// pooled estimate is about (N - 2.5) / N of the standard deviation (N values
// in all; simulated from 6 to 100 runs per side), which the last factor
// undoes (to within 3 % from 6 runs per side up).
double PooledSpread(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> deviations;
    AddDeviations(a, deviations);
    AddDeviations(b, deviations);
    const double count = static_cast<double>(deviations.size());
    const double correction = count / (count - 2.5);
    const double mad = Median(deviations);
    if (mad > 0)
        return correction * kMadToStandardDeviation * mad;
    double squares = 0;
    for (const double d : deviations)
        squares += d * d;
    return correction * std::sqrt(squares / count);
}

double AsPercent(double logShift) {
    return std::expm1(logShift) * 100; // keeps the sign of the shift, even for the smallest one
}

} // namespace

std::vector<Verdict> JudgeFamily(const std::vector<RowSamples>& rows, double alpha) {
    std::vector<Verdict> verdicts(rows.size());
    const double strictestLevel = alpha / static_cast<double>(rows.size());

    struct Judged {
        std::size_t row;
        std::vector<double> a, b; // logs
        ShiftTest test;
    };
    std::vector<Judged> family;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<double> a = Logs(rows[r].baseline);
        std::vector<double> b = Logs(rows[r].other);
        if (!(SmallestP(a.size(), b.size()) < strictestLevel)) {
            verdicts[r].runsNeeded = RunsPerSideForVerdict(strictestLevel);
            continue;
        }
        ShiftTest test(a, b);
        family.push_back({r, std::move(a), std::move(b), std::move(test)});
    }

    std::vector<double> p;
    for (const Judged& j : family)
        p.push_back(j.test.P());
    const std::vector<double> levels = HolmLevels(p, alpha);

    // In standard deviations; rows of the same sizes and level share it.
    std::map<std::tuple<std::size_t, std::size_t, double>, double> detectableShifts;
    for (std::size_t i = 0; i < family.size(); ++i) {
        const Judged& j = family[i];
        Verdict& v = verdicts[j.row];
        v.judged = true;
        v.level = levels[i];
        v.p = j.test.P();
        v.exact = j.test.Exact();
        v.percent = AsPercent(j.test.Shift());
        const ShiftTest::Interval interval = j.test.ConfidenceInterval(v.level);
        v.lowPercent = AsPercent(interval.low);
        v.highPercent = AsPercent(interval.high);
        v.significant = v.p < v.level;
        if (!v.significant) {
            const auto key = std::make_tuple(j.a.size(), j.b.size(), v.level);
            auto found = detectableShifts.find(key);
            if (found == detectableShifts.end())
                found = detectableShifts.emplace(key, DetectableShift(j.a.size(), j.b.size(), v.level)).first;
            v.detectablePercent = AsPercent(found->second * PooledSpread(j.a, j.b));
        }
    }
    return verdicts;
}
