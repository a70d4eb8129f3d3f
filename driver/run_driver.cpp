#include "driver/run_driver.h"

#include <clocale>

#include "driver/build_info.h"
#include "driver/command_line.h"
#include "results/result_report.h"
#include "measure/run_clients.h"
#include "measure/stop_request.h"
#include "measure/run_start.h"
#include "measure/uuid_text.h"
#include "driver/version_info.h"
#include "errors/error_text.h"
#include "results/comparison.h"
#include "results/console_tables.h"
#include "results/result_files.h"
#include "results/run_summary.h"
#include "logging/logger.h"
#include "logging/logger_lifecycle.h"

namespace {

// Runs the four tests settings.runs times, each time on fresh test files,
// logging each run's result lines (headed "Run k of R" when there are more),
// then the summary over the runs and the latency table. With a client sweep
// the same once per client count (headed "Sweep step k of K: N clients"),
// then the scaling table. A failure or a stop request ends the series.
// Returns its code.
Win32Error RunSeriesOfTests(const RunSettings& settings, RunSeries& series) {
    const bool many = settings.runs > 1;
    const bool sweep = !settings.clientSweep.empty();
    const std::vector<std::uint32_t> counts = sweep ? settings.clientSweep : std::vector{settings.clients};
    const std::wstring folder = settings.testFilePath.substr(0, settings.testFilePath.rfind(L'\\') + 1);
    Win32Error result = 0;
    for (std::size_t step = 0; step < counts.size() && result == 0; ++step) {
        if (sweep)
            LogMessage(LogLevel::INFO, L"Run",
                       L"\nSweep step " + std::to_wstring(step + 1) + L" of " +
                           std::to_wstring(counts.size()) + L": " + std::to_wstring(counts[step]) +
                           (counts[step] == 1 ? L" client" : L" clients"));
        for (std::uint32_t r = 0; r < settings.runs && result == 0; ++r) {
            if (StopRequested()) {
                result = win32::kCancelled;
                break;
            }
            RunSettings run = settings;
            run.clients = counts[step];
            if (step > 0 || r > 0)
                run.testFilePath = folder + GetUuidString(CreateUuid());
            if (many)
                LogMessage(LogLevel::INFO, L"Run",
                           L"\nRun " + std::to_wstring(r + 1) + L" of " + std::to_wstring(settings.runs));
            series.runs.push_back(StartRunRecord());
            RunRecord& record = series.runs.back();
            // Every client's test file is gone when this returns, on every path.
            result = RunClients(run, record);
            record.result = result;
            if (result != 0)
                break;
            if (!settings.label.empty())
                LogMessage(LogLevel::INFO, L"Result", L"\nLabel: " + settings.label);
            LogResultLines(record.durations);
            if (run.clients > 1)
                LogClientsTable(record, settings.iterations);
        }
    }
    // What the tables and the result files show, also of a series that
    // failed or stopped.
    const Win32Error summed = SumUpSeries(series, settings.iterations, settings.latency, sweep);
    if (result == 0)
        result = summed;
    if (result != 0)
        return result;
    if (sweep) {
        LogScalingTable(series, settings.latency);
        return 0;
    }
    if (many)
        LogRunsSummary(series);
    if (settings.latency)
        LogLatencyTable(series);
    return 0;
}

} // namespace

Win32Error RunQuillmarsh(int argc, const wchar_t* const* argv) {
    // The console sink converts wide text by this locale; the C++ global locale
    // stays classic.
    std::setlocale(LC_ALL, "");
    StartLogger();
    SetMinLogLevel(LogLevel::INFO);
    SetDefaultSinks(LogSinks::Console);
    InstallStopHandler();
    LogMessage(LogLevel::INFO, L"Start", std::wstring(L"\nQuillmarsh by ") + kAuthor + L"\n");

    RunSettings settings;
    bool runTests = false;
    Win32Error result = ProcessCmdLine(argc, argv, settings, runTests);
    if (result == 0 && !settings.compareFiles.empty())
        result = CompareDocuments(settings.compareFiles, settings.jsonPath, settings.htmlPath);
    if (runTests) {
        RunSeries series = StartRunSeries();
        series.version = GetVersionInfoString(L"FileVersion");
        result = RunSeriesOfTests(settings, series);
        // Results that were asked for but cannot be written fail the run.
        series.result = result;
        const Win32Error written = WriteResultFiles(settings, series);
        if (result == 0)
            result = written;
    }

    if (result == 0)
        LogMessage(LogLevel::INFO, L"Result", L"\nQuillmarsh finished successfully");
    else
        LogMessage(LogLevel::ERROR, L"Result", L"\nQuillmarsh finished with error: " + GetErrorText(result));
    StopLogger();
    return result;
}
