#include "results/run_record.h"

#include <windows.h>

#include <new>

#include "driver/stopwatch.h"
#include "logging/log_time.h"
#include "logging/logger.h"
#include "results/result_columns.h"

namespace {

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

} // namespace

RunSeries StartRunSeries() {
    RunSeries series;
    series.computer = ComputerName();
    GetCurrentUserName(series.account);
    series.counterFrequency = Stopwatch::Frequency();
    return series;
}

RunRecord StartRunRecord() {
    RunRecord record;
    record.startTime = CurrentFileTime();
    return record;
}

Win32Error KeepPhaseTimes(const TestPhaseTimes& times, int completedTests, ClientRecord& client) try {
    for (std::size_t t = 0; t < std::size(kTests) && static_cast<int>(t) < completedTests; ++t) {
        const PhaseTimes& phases = times.*kTests[t].phaseTimes;
        if (phases.Passes() == 0)
            continue;
        const std::int64_t* first = phases.Phase(0);
        client.phaseTicks[t].assign(first, first + phases.Phases() * phases.Passes());
    }
    return 0;
} catch (const std::bad_alloc&) {
    return win32::kOutOfMemory;
}

TestLatency LatencyOf(const RunRecord* runs, std::size_t count, std::size_t test, std::int64_t frequency) {
    const std::size_t phases = kTests[test].phaseCount;
    // Every pass of every client of every run that completed the test: whole
    // passes (each pass's own phases added in pass order) and each phase on its
    // own.
    std::vector<std::int64_t> passes;
    std::array<std::vector<std::int64_t>, 4> byPhase;
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

Win32Error ComputeLatency(RunSeries& series) try {
    for (std::size_t t = 0; t < std::size(kTests); ++t)
        series.latency[t] = LatencyOf(series.runs.data(), series.runs.size(), t, series.counterFrequency);
    return 0;
} catch (const std::bad_alloc&) {
    return win32::kOutOfMemory;
}
