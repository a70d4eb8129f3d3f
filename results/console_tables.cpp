#include "results/console_tables.h"

#include <algorithm>

#include "driver/result_report.h"
#include "logging/logger.h"
#include "results/comparison_stats.h"
#include "results/result_columns.h"

namespace {

constexpr std::size_t kNameWidth = 28, kNumberWidth = 11;

// A header line: the table's name in the first column, then the columns.
std::wstring Header(const wchar_t* name, const wchar_t* firstColumn,
                    std::initializer_list<const wchar_t*> columns, std::size_t width) {
    std::wstring header = L"\n" + LeftAligned(name, kNameWidth) + firstColumn;
    for (const wchar_t* column : columns)
        header += RightAligned(column, width);
    return header;
}

} // namespace

void LogClientsTable(const RunRecord& record, std::uint32_t iterations) {
    constexpr std::size_t kWidth = 13;
    LogMessage(LogLevel::INFO, L"Result",
               Header(L"Clients", L"", {L"clients", L"operations", L"ops/s", L"fastest (s)", L"slowest (s)"},
                      kWidth));
    const std::size_t clients = record.clients.size();
    const std::uint64_t operations = static_cast<std::uint64_t>(clients) * iterations;
    for (std::size_t t = 0; t < std::size(kTests) && static_cast<int>(t) < record.completedTests; ++t) {
        const auto [fastest, slowest] = std::minmax_element(
            record.clients.begin(), record.clients.end(), [&](const ClientRecord& a, const ClientRecord& b) {
                return a.durations.*kTests[t].duration < b.durations.*kTests[t].duration;
            });
        const double wall = Seconds(record.durations.*kTests[t].duration);
        LogMessage(LogLevel::INFO, L"Result",
                   LeftAligned(kTests[t].name, kNameWidth) + RightAligned(std::to_wstring(clients), kWidth) +
                       RightAligned(std::to_wstring(operations), kWidth) +
                       RightAligned(wall > 0 ? FormatFixed(operations / wall, 1) : L"-", kWidth) +
                       RightAligned(FormatSeconds(Seconds(fastest->durations.*kTests[t].duration)), kWidth) +
                       RightAligned(FormatSeconds(Seconds(slowest->durations.*kTests[t].duration)), kWidth));
    }
}

void LogRunsSummary(const RunSeries& series) {
    LogMessage(LogLevel::INFO, L"Result",
               Header((L"Summary of " + std::to_wstring(series.runs.size()) + L" runs (s)").c_str(), L"",
                      {L"median", L"min", L"max", L"MAD"}, kNumberWidth));
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        const std::vector<double> seconds = RunSeconds(series, t);
        if (seconds.empty())
            continue;
        const auto [min, max] = std::minmax_element(seconds.begin(), seconds.end());
        std::wstring line = LeftAligned(kTests[t].name, kNameWidth);
        for (const double value : {Median(seconds), *min, *max, MedianAbsoluteDeviation(seconds)})
            line += RightAligned(FormatSeconds(value), kNumberWidth);
        LogMessage(LogLevel::INFO, L"Result", line);
    }
}

void LogLatencyTable(const RunSeries& series) {
    constexpr std::size_t kPhaseWidth = 11;
    LogMessage(LogLevel::INFO, L"Result",
               Header(L"Latency (us)", LeftAligned(L"phase", kPhaseWidth).c_str(),
                      {L"count", L"min", L"mean", L"p50", L"p90", L"p99", L"p99.9", L"max"}, kNumberWidth));
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
            const LatencyStats& stats = series.latency[t].phases[phase];
            std::wstring line = LeftAligned(phase == 0 ? kTests[t].name : L"", kNameWidth) +
                                LeftAligned(kTests[t].phaseNames[phase], kPhaseWidth) +
                                RightAligned(std::to_wstring(stats.count), kNumberWidth);
            for (const double value :
                 {stats.min, stats.mean, stats.p50, stats.p90, stats.p99, stats.p999, stats.max})
                line += RightAligned(Microseconds(value), kNumberWidth);
            LogMessage(LogLevel::INFO, L"Result", line);
        }
    }
}

void LogScalingTable(const RunSeries& series, bool latency) {
    constexpr std::size_t kWidth = 13;
    const std::vector<SweepStep>& steps = series.sweep;
    LogMessage(LogLevel::INFO, L"Result",
               latency ? Header(L"Scaling", L"", {L"clients", L"ops/s", L"p50 (us)", L"p99 (us)"}, kWidth)
                       : Header(L"Scaling", L"", {L"clients", L"ops/s"}, kWidth));
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        for (std::size_t s = 0; s < steps.size(); ++s) {
            const SweepStep& step = steps[s];
            if (!(step.medianSeconds[t] > 0))
                continue;
            std::wstring line = LeftAligned(s == 0 ? kTests[t].name : L"", kNameWidth) +
                                RightAligned(std::to_wstring(step.clients), kWidth) +
                                RightAligned(FormatFixed(step.operationsPerSecond[t], 1), kWidth);
            if (latency)
                line += RightAligned(Microseconds(step.pass[t].p50), kWidth) +
                        RightAligned(Microseconds(step.pass[t].p99), kWidth);
            LogMessage(LogLevel::INFO, L"Result", line);
        }
    }
}
