#include "results/console_tables.h"

#include <algorithm>

#include "core/test_table.h"
#include "core/text_format.h"
#include "logging/logger.h"
#include "results/text_table.h"

namespace {

constexpr std::size_t kNameWidth = 28, kNumberWidth = 11;

void LogRow(const std::vector<std::wstring>& cells, const std::vector<std::size_t>& widths,
            std::size_t leftColumns = 1) {
    LogMessage(LogLevel::INFO, L"Result", TableRow(cells, widths, leftColumns));
}

// A header line: the table's name in the first column, then the columns.
void LogHeader(std::vector<std::wstring> cells, const std::vector<std::size_t>& widths,
               std::size_t leftColumns = 1) {
    cells.front().insert(0, L"\n");
    std::vector<std::size_t> headerWidths = widths;
    headerWidths.front() += 1; // the line feed takes no room on the line
    LogRow(cells, headerWidths, leftColumns);
}

} // namespace

void LogClientsTable(const RunRecord& record, std::uint32_t iterations) {
    const std::vector<std::size_t> widths = {kNameWidth, 13, 13, 13, 13, 13};
    LogHeader({L"Clients", L"clients", L"operations", L"ops/s", L"fastest (s)", L"slowest (s)"}, widths);
    const std::size_t clients = record.clients.size();
    const std::uint64_t operations = static_cast<std::uint64_t>(clients) * iterations;
    for (std::size_t t = 0; t < kTestCount && static_cast<int>(t) < record.completedTests; ++t) {
        const auto [fastest, slowest] = std::minmax_element(
            record.clients.begin(), record.clients.end(), [&](const ClientRecord& a, const ClientRecord& b) {
                return a.durations.*kTests[t].duration < b.durations.*kTests[t].duration;
            });
        const double wall = Seconds(record.durations.*kTests[t].duration);
        LogRow({kTests[t].name, std::to_wstring(clients), std::to_wstring(operations),
                wall > 0 ? FormatFixed(operations / wall, 1) : L"-",
                FormatSeconds(Seconds(fastest->durations.*kTests[t].duration)),
                FormatSeconds(Seconds(slowest->durations.*kTests[t].duration))},
               widths);
    }
}

void LogRunsSummary(const RunSeries& series) {
    const std::vector<std::size_t> widths = {kNameWidth, kNumberWidth, kNumberWidth, kNumberWidth,
                                             kNumberWidth};
    LogHeader({L"Summary of " + std::to_wstring(series.runs.size()) + L" runs (s)", L"median", L"min", L"max",
               L"MAD"},
              widths);
    for (std::size_t t = 0; t < kTestCount; ++t) {
        const TestSummary& test = series.summary[t];
        if (test.runs == 0)
            continue;
        LogRow({kTests[t].name, FormatSeconds(test.medianSeconds), FormatSeconds(test.minSeconds),
                FormatSeconds(test.maxSeconds), FormatSeconds(test.madSeconds)},
               widths);
    }
}

void LogLatencyTable(const RunSeries& series) {
    std::vector<std::size_t> widths = {kNameWidth, 11};
    widths.resize(10, kNumberWidth);
    LogHeader(
        {L"Latency (us)", L"phase", L"count", L"min", L"mean", L"p50", L"p90", L"p99", L"p99.9", L"max"},
        widths, 2);
    for (std::size_t t = 0; t < kTestCount; ++t) {
        for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
            const LatencyStats& stats = series.latency[t].phases[phase];
            std::vector<std::wstring> cells = {phase == 0 ? kTests[t].name : L"", kTests[t].phaseNames[phase],
                                               std::to_wstring(stats.count)};
            for (const double value :
                 {stats.min, stats.mean, stats.p50, stats.p90, stats.p99, stats.p999, stats.max})
                cells.push_back(Microseconds(value));
            LogRow(cells, widths, 2);
        }
    }
}

void LogScalingTable(const RunSeries& series, bool latency) {
    const std::vector<std::size_t> widths = {kNameWidth, 13, 13, 13, 13};
    LogHeader(latency ? std::vector<std::wstring>{L"Scaling", L"clients", L"ops/s", L"p50 (us)", L"p99 (us)"}
                      : std::vector<std::wstring>{L"Scaling", L"clients", L"ops/s"},
              widths);
    for (std::size_t t = 0; t < kTestCount; ++t) {
        for (std::size_t s = 0; s < series.sweep.size(); ++s) {
            const SweepStep& step = series.sweep[s];
            if (!(step.tests[t].medianSeconds > 0))
                continue;
            std::vector<std::wstring> cells = {s == 0 ? kTests[t].name : L"", std::to_wstring(step.clients),
                                               FormatFixed(step.tests[t].operationsPerSecond, 1)};
            if (latency) {
                cells.push_back(Microseconds(step.pass[t].p50));
                cells.push_back(Microseconds(step.pass[t].p99));
            }
            LogRow(cells, widths);
        }
    }
}
