#include "results/sweep_summary.h"

#include <cmath>
#include <new>

#include "results/comparison_stats.h"
#include "results/result_columns.h"

namespace {

// The steps of `series` with their runs alone, nothing summed up yet.
std::vector<SweepStep> StepsOfRuns(const RunSeries& series) {
    std::vector<SweepStep> steps;
    for (std::size_t r = 0; r < series.runs.size(); ++r) {
        const std::uint32_t clients = static_cast<std::uint32_t>(series.runs[r].clients.size());
        if (steps.empty() || steps.back().clients != clients)
            steps.push_back({clients, r, 0});
        ++steps.back().runCount;
    }
    return steps;
}

} // namespace

std::vector<SweepStep> SweepSteps(const RunSeries& series, std::uint32_t iterations, bool latency) {
    std::vector<SweepStep> steps = StepsOfRuns(series);
    for (SweepStep& step : steps) {
        const RunRecord* runs = series.runs.data() + step.firstRun;
        for (std::size_t t = 0; t < std::size(kTests); ++t) {
            const std::vector<double> seconds = RunSeconds(runs, step.runCount, t);
            step.medianSeconds[t] = seconds.empty() ? NAN : Median(seconds);
            step.operationsPerSecond[t] = step.medianSeconds[t] > 0 ? static_cast<double>(iterations) *
                                                                          step.clients / step.medianSeconds[t]
                                                                    : NAN;
            if (latency)
                step.pass[t] = LatencyOf(runs, step.runCount, t, series.counterFrequency).pass;
        }
    }
    return steps;
}

Win32Error SumUpSweep(RunSeries& series, std::uint32_t iterations, bool latency) try {
    series.sweep = SweepSteps(series, iterations, latency);
    return 0;
} catch (const std::bad_alloc&) {
    return win32::kOutOfMemory;
}

std::vector<std::size_t> RunNumbers(const RunSeries& series) {
    std::vector<std::size_t> numbers;
    for (const SweepStep& step : StepsOfRuns(series)) {
        for (std::size_t r = 1; r <= step.runCount; ++r)
            numbers.push_back(r);
    }
    return numbers;
}
