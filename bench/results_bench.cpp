// Time to write a JSON document with per-pass samples, and to compare two such
// documents (-compare), for runs of many iterations; the size of the report
// pages (-html) of the two runs and of their comparison, which are kept
// (results_bench_runs.html, results_bench_compare.html) for a browser to time. The runs are made up (a
// run of the custom read test grows with the square of its iterations, so
// 100,000 real iterations would take days): samples with the spread of a real
// local run, a second document 10 % slower.
//
//   results_bench [iterations, default 100000] [folder for the documents, default the current one]
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/run_settings.h"
#include "measure/stopwatch.h"
#include "fsutil/result_file.h"
#include "logging/logger.h"
#include "logging/logger_lifecycle.h"
#include "results/comparison.h"
#include "results/json_document.h"
#include "core/test_table.h"
#include "core/text_format.h"
#include "results/result_text.h"
#include "results/result_files.h"
#include "results/run_summary.h"
#include "results/run_report.h"

namespace {

// A series of one run of one client whose passes take about `base` ticks
// per phase, spread by a fixed-seed generator.
RunSeries MadeUpSeries(std::uint32_t iterations, double scale) {
    RunSeries series;
    series.version = L"1.0.1.0";
    series.counterFrequency = Stopwatch::Frequency();
    RunRecord run;
    run.completedTests = 4;
    run.clients.resize(1);
    std::uint64_t state = 42;
    for (std::size_t t = 0; t < 4; ++t) {
        std::vector<std::int64_t>& ticks = run.clients[0].phaseTicks[t];
        for (std::size_t i = 0; i < kTests[t].phaseCount * iterations; ++i) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            ticks.push_back(static_cast<std::int64_t>((500 + (state >> 33) % 3000) * scale));
        }
        run.durations.*kTests[t].duration = iterations * 300;
    }
    run.clients[0].durations = run.durations;
    series.runs.push_back(run);
    SumUpSeries(series, iterations, true, false);
    return series;
}

double Seconds(std::int64_t start) {
    return static_cast<double>(Stopwatch::Now() - start) / Stopwatch::Frequency();
}

} // namespace

int wmain(int argc, wchar_t* argv[]) {
    const std::uint32_t iterations =
        argc > 1 ? static_cast<std::uint32_t>(std::wcstoul(argv[1], nullptr, 10)) : 100000;
    const std::wstring folder = argc > 2 ? std::wstring(argv[2]) + L"\\" : L"";
    StartLogger();
    SetDefaultSinks(LogSinks::Console);
    SetMinLogLevel(LogLevel::ERROR); // the comparison's own table is not what is timed here
    RunSettings settings;
    settings.target = L"Z:\\tmp\\bench";
    settings.iterations = iterations;
    settings.latency = true;
    const std::wstring files[] = {folder + L"results_bench_a.json", folder + L"results_bench_b.json"};
    double writeSeconds[2] = {};
    std::size_t bytes = 0;
    RunSeries both; // the two runs as one series of two runs, for its report page
    for (int d = 0; d < 2; ++d) {
        const RunSeries series = MadeUpSeries(iterations, d == 0 ? 1.0 : 1.1);
        both.counterFrequency = series.counterFrequency;
        both.runs.push_back(series.runs[0]);
        const std::int64_t start = Stopwatch::Now();
        const std::string text = JsonDocument(settings, series);
        std::wstring keptAt, leftBehind;
        Win32Error leftCode = 0;
        if (ReplaceFileContent(files[d], text, keptAt, leftBehind, leftCode) != 0)
            return 1;
        writeSeconds[d] = Seconds(start);
        bytes = text.size();
    }
    const std::int64_t start = Stopwatch::Now();
    const Win32Error compared = CompareDocuments({files[0], files[1]}, L"", L"");
    const double compareSeconds = Seconds(start);
    const std::wstring pages[] = {folder + L"results_bench_runs.html",
                                  folder + L"results_bench_compare.html"};
    settings.runs = 2;
    std::int64_t pageStart = Stopwatch::Now();
    const Win32Error runsPage = WriteReportPage(pages[0], RunReport(settings, both, both.result));
    const double runsPageSeconds = Seconds(pageStart);
    pageStart = Stopwatch::Now();
    const Win32Error comparePage = CompareDocuments({files[0], files[1]}, L"", pages[1]);
    const double comparePageSeconds = Seconds(pageStart);
    StopLogger();
    std::printf(
        "%u iterations: document %zu bytes (%.0f bytes per 1,000 iterations), written in %.3f s and %.3f s; "
        "-compare of the two in %.3f s (code %u)\n",
        iterations, bytes, bytes * 1000.0 / iterations, writeSeconds[0], writeSeconds[1], compareSeconds,
        compared);
    for (int p = 0; p < 2; ++p) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(pages[p].c_str(), GetFileExInfoStandard, &data);
        std::printf("report page of %s: %lu bytes, written in %.3f s%s (code %u)\n",
                    p == 0 ? "the two runs" : "their comparison", data.nFileSizeLow,
                    p == 0 ? runsPageSeconds : comparePageSeconds, p == 0 ? "" : " with the comparison",
                    p == 0 ? runsPage : comparePage);
    }
    for (const std::wstring& file : files)
        DeleteFileW(file.c_str());
    return 0;
}
