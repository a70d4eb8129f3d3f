#include "results/run_report.h"

#include <algorithm>
#include <cmath>

#include "results/result_report.h"
#include "errors/string_conversion.h"
#include "results/comparison_stats.h"
#include "core/test_table.h"
#include "core/text_format.h"
#include "results/result_text.h"

namespace {

std::wstring Clients(std::uint32_t count) {
    return std::to_wstring(count) + (count == 1 ? L" client" : L" clients");
}

ReportTable FactsTable(const RunSettings& settings, const RunSeries& series, Win32Error exitCode) {
    std::wstring clients = std::to_wstring(settings.clients);
    if (!settings.clientSweep.empty()) {
        clients.clear();
        for (const std::uint32_t count : settings.clientSweep)
            clients += (clients.empty() ? L"" : L", ") + std::to_wstring(count);
    }
    const std::wstring start = series.runs.empty() ? L"" : Utf8ToUtf16(IsoUtc(series.runs[0].startTime));
    return {"qm-facts",
            L"The run",
            {L"", settings.label.empty() ? L"this run" : settings.label},
            {{L"label", settings.label.empty() ? L"-" : settings.label},
             {L"computer", series.computer},
             {L"target", settings.target},
             {L"start", start},
             {L"iterations", std::to_wstring(settings.iterations)},
             {L"clients", clients},
             {L"runs", std::to_wstring(settings.runs)},
             {L"version", series.version},
             {L"result", std::to_wstring(exitCode) + L" " + ResultText(exitCode)}}};
}

// Every pass's phase times of the `count` runs at `runs`, over all clients, in
// microseconds.
ReportCurve Curve(std::wstring name, const RunRecord* runs, std::size_t count, std::int64_t frequency) {
    ReportCurve curve{std::move(name), {}};
    const double microsecondsPerTick = 1e6 / static_cast<double>(frequency);
    for (const RunRecord* run = runs; run != runs + count; ++run) {
        for (const ClientRecord& client : run->clients) {
            for (std::size_t t = 0; t < kTestCount; ++t) {
                const std::vector<std::int64_t>& ticks = client.phaseTicks[t];
                const std::size_t passes = ticks.size() / kTests[t].phaseCount;
                for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
                    std::vector<double>& values = curve.phaseUs[t][phase];
                    for (std::size_t pass = 0; pass < passes; ++pass)
                        values.push_back(static_cast<double>(ticks[phase * passes + pass]) *
                                         microsecondsPerTick);
                }
            }
        }
    }
    return curve;
}

void AddRuns(const RunSettings& settings, const RunSeries& series, ReportPage& page) {
    ReportTable results{"qm-results", L"Seconds per test", {L"Test"}, {}};
    const bool many = series.runs.size() > 1;
    for (std::size_t r = 0; r < series.runs.size(); ++r)
        results.header.push_back(many ? L"run " + std::to_wstring(r + 1) : L"seconds");
    if (many)
        results.header.insert(results.header.end(), {L"median", L"min", L"max", L"MAD"});
    results.header.push_back(L"ops/s");
    for (std::size_t t = 0; t < kTestCount; ++t) {
        std::vector<std::wstring> row = {kTests[t].name};
        for (const RunRecord& run : series.runs)
            row.push_back(static_cast<int>(t) < run.completedTests
                              ? FormatSeconds(Seconds(run.durations.*kTests[t].duration))
                              : L"-");
        const TestSummary& summary = series.summary[t];
        if (many) {
            for (const double value :
                 {summary.medianSeconds, summary.minSeconds, summary.maxSeconds, summary.madSeconds})
                row.push_back(summary.runs == 0 ? L"-" : FormatSeconds(value));
        }
        row.push_back(summary.operationsPerSecond > 0 ? FormatFixed(summary.operationsPerSecond, 1) : L"-");
        results.rows.push_back(std::move(row));
    }
    page.tables.push_back(std::move(results));
    for (std::size_t r = 0; r < series.runs.size() && settings.latency; ++r)
        page.curves.push_back(Curve(many ? L"run " + std::to_wstring(r + 1)
                                         : (settings.label.empty() ? L"this run" : settings.label),
                                    &series.runs[r], 1, series.counterFrequency));
}

void AddSweep(const RunSettings& settings, const RunSeries& series, ReportPage& page) {
    const std::vector<SweepStep>& steps = series.sweep;
    ReportTable scaling{"qm-results",
                        L"Scaling: per test and client count (the median of the count's runs)",
                        {L"Test", L"clients", L"seconds", L"ops/s"},
                        {}};
    if (settings.latency)
        scaling.header.insert(scaling.header.end(), {L"p50 of a pass (us)", L"p99 of a pass (us)"});
    ReportSweepChart throughput{
        L"Operations per second against clients", L"operations per second, all clients", {}, {}};
    ReportSweepChart p99{L"p99 of a pass against clients", L"p99 of a pass (us)", {}, {}};
    for (const SweepStep& step : steps) {
        throughput.clients.push_back(step.clients);
        p99.clients.push_back(step.clients);
    }
    for (std::size_t t = 0; t < kTestCount; ++t) {
        std::vector<double> opsPerSecond, p99s;
        for (std::size_t s = 0; s < steps.size(); ++s) {
            const SweepStep& step = steps[s];
            const bool done = step.tests[t].medianSeconds > 0;
            opsPerSecond.push_back(done ? step.tests[t].operationsPerSecond : NAN);
            p99s.push_back(done && settings.latency ? step.pass[t].p99 : NAN);
            if (!done)
                continue;
            std::vector<std::wstring> row = {s == 0 ? kTests[t].name : L"", std::to_wstring(step.clients),
                                             FormatSeconds(step.tests[t].medianSeconds),
                                             FormatFixed(step.tests[t].operationsPerSecond, 1)};
            if (settings.latency) {
                row.push_back(Microseconds(step.pass[t].p50));
                row.push_back(Microseconds(step.pass[t].p99));
            }
            scaling.rows.push_back(std::move(row));
        }
        throughput.series.emplace_back(kTests[t].name, std::move(opsPerSecond));
        p99.series.emplace_back(kTests[t].name, std::move(p99s));
    }
    page.tables.push_back(std::move(scaling));
    page.sweepCharts.push_back(std::move(throughput));
    if (settings.latency)
        page.sweepCharts.push_back(std::move(p99));
    for (const SweepStep& step : steps) {
        if (settings.latency)
            page.curves.push_back(Curve(Clients(step.clients), &series.runs[step.firstRun], step.runCount,
                                        series.counterFrequency));
    }
}

} // namespace

ReportPage RunReport(const RunSettings& settings, const RunSeries& series, Win32Error exitCode) {
    ReportPage page;
    page.title = L"Quillmarsh: " + (settings.label.empty() ? settings.target : settings.label);
    page.tables.push_back(FactsTable(settings, series, exitCode));
    if (settings.clientSweep.empty())
        AddRuns(settings, series, page);
    else
        AddSweep(settings, series, page);
    return page;
}
