#include "results/run_summary.h"

#include <algorithm>
#include <new>

#include "core/text_format.h"
#include "results/comparison_stats.h"
#include "results/latency_stats.h"

namespace {

// Test `test` over the `count` runs at `runs`.
TestSummary SummarizeTest(const RunRecord* runs, std::size_t count, std::size_t test,
                          std::uint32_t iterations) {
    TestSummary summary;
    const std::vector<double> seconds = RunSeconds(runs, count, test);
    summary.runs = seconds.size();
    if (seconds.empty())
        return summary;
    const auto [min, max] = std::minmax_element(seconds.begin(), seconds.end());
    summary.medianSeconds = Median(seconds);
    summary.minSeconds = *min;
    summary.maxSeconds = *max;
    summary.madSeconds = MedianAbsoluteDeviation(seconds);
    summary.operationsPerSecond =
        OperationsPerSecond(iterations, runs->clients.size(), summary.medianSeconds);
    return summary;
}

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

std::vector<double> RunSeconds(const RunRecord* runs, std::size_t count, std::size_t test) {
    std::vector<double> seconds;
    for (const RunRecord* run = runs; run != runs + count; ++run) {
        if (static_cast<int>(test) < run->completedTests)
            seconds.push_back(Seconds(run->durations.*kTests[test].duration));
    }
    return seconds;
}

double OperationsPerSecond(std::uint32_t iterations, std::size_t clients, double seconds) {
    return seconds > 0 ? static_cast<double>(iterations) * static_cast<double>(clients) / seconds : NAN;
}

TestLatency LatencyOf(const RunRecord* runs, std::size_t count, std::size_t test, std::int64_t frequency) {
    const std::size_t phases = kTests[test].phaseCount;
    // Every pass of every client of every run that completed the test: whole
    // passes (each pass's own phases added in pass order) and each phase on its
    // own.
    std::vector<std::int64_t> passes;
    std::array<std::vector<std::int64_t>, kMaxPhases> byPhase;
    for (const RunRecord* run = runs; run != runs + count; ++run) {
        for (const ClientRecord& client : run->clients) {
            const std::vector<std::int64_t>& ticks = client.phaseTicks[test];
            const std::size_t passCount = ticks.size() / phases;
            for (std::size_t pass = 0; pass < passCount; ++pass) {
                std::int64_t total = 0;
                for (std::size_t phase = 0; phase < phases; ++phase)
                    total += ticks[phase * passCount + pass];
                passes.push_back(total);
            }
            for (std::size_t phase = 0; phase < phases; ++phase)
                byPhase[phase].insert(byPhase[phase].end(), ticks.begin() + phase * passCount,
                                      ticks.begin() + (phase + 1) * passCount);
        }
    }
    TestLatency latency;
    if (passes.empty())
        return latency;
    latency.pass = ComputeLatencyStats(passes.data(), passes.size(), frequency);
    for (std::size_t phase = 0; phase < phases; ++phase)
        latency.phases[phase] = ComputeLatencyStats(byPhase[phase].data(), byPhase[phase].size(), frequency);
    return latency;
}

std::vector<SweepStep> SweepSteps(const RunSeries& series, std::uint32_t iterations, bool latency) {
    std::vector<SweepStep> steps = StepsOfRuns(series);
    for (SweepStep& step : steps) {
        const RunRecord* runs = series.runs.data() + step.firstRun;
        for (std::size_t t = 0; t < kTestCount; ++t) {
            step.tests[t] = SummarizeTest(runs, step.runCount, t, iterations);
            if (latency)
                step.pass[t] = LatencyOf(runs, step.runCount, t, series.counterFrequency).pass;
        }
    }
    return steps;
}

Win32Error SumUpSeries(RunSeries& series, std::uint32_t iterations, bool latency, bool sweep) try {
    if (series.runs.empty())
        return 0;
    if (sweep) {
        series.sweep = SweepSteps(series, iterations, latency);
        return 0;
    }
    for (std::size_t t = 0; t < kTestCount; ++t) {
        series.summary[t] = SummarizeTest(series.runs.data(), series.runs.size(), t, iterations);
        if (latency)
            series.latency[t] = LatencyOf(series.runs.data(), series.runs.size(), t, series.counterFrequency);
    }
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
