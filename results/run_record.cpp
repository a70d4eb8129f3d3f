#include "results/run_record.h"

#include <windows.h>

#include <memory>
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

// The statistics of the samples that `sample(client, pass)` gives for every
// pass of every client, gathered into one array.
template <class Sample>
LatencyStats Merged(std::size_t clients, std::uint32_t passes, std::int64_t frequency, Sample sample) {
    const std::size_t count = clients * passes;
    std::unique_ptr<std::int64_t[]> all(new (std::nothrow) std::int64_t[count]);
    if (!all)
        return {};
    for (std::size_t client = 0; client < clients; ++client) {
        for (std::uint32_t pass = 0; pass < passes; ++pass)
            all[client * passes + pass] = sample(client, pass);
    }
    return ComputeLatencyStats(all.get(), count, frequency);
}

} // namespace

RunRecord StartRunRecord() {
    RunRecord record;
    record.startTime = CurrentFileTime();
    record.computer = ComputerName();
    GetCurrentUserName(record.account);
    record.counterFrequency = Stopwatch::Frequency();
    return record;
}

void ComputeLatency(const std::vector<const TestPhaseTimes*>& clients, RunRecord& record) {
    if (clients.empty())
        return;
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        const PhaseTimes& first = clients[0]->*kTests[t].phaseTimes;
        const std::uint32_t passes = first.Passes();
        if (t >= static_cast<std::size_t>(record.completedTests) || passes == 0)
            continue;
        const auto times = [&](std::size_t client) -> const PhaseTimes& {
            return clients[client]->*kTests[t].phaseTimes;
        };
        TestLatency& latency = record.latency[t];
        latency.pass =
            Merged(clients.size(), passes, record.counterFrequency, [&](std::size_t c, std::uint32_t p) {
                std::int64_t total = 0;
                for (std::size_t phase = 0; phase < times(c).Phases(); ++phase)
                    total += times(c).Phase(phase)[p];
                return total;
            });
        for (std::size_t phase = 0; phase < first.Phases(); ++phase)
            latency.phases[phase] =
                Merged(clients.size(), passes, record.counterFrequency,
                       [&](std::size_t c, std::uint32_t p) { return times(c).Phase(phase)[p]; });
    }
}
