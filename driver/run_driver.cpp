#include "driver/run_driver.h"

#include <clocale>

#include "driver/build_info.h"
#include "driver/command_line.h"
#include "driver/result_report.h"
#include "driver/run_clients.h"
#include "driver/stop_request.h"
#include "driver/uuid_text.h"
#include "driver/version_info.h"
#include "errors/error_text.h"
#include "results/comparison.h"
#include "results/console_tables.h"
#include "results/result_files.h"
#include "logging/logger.h"
#include "logging/logger_lifecycle.h"

namespace {

// Runs the four tests settings.runs times, each time on fresh test files,
// logging each run's result lines (headed "Run k of R" when there are more),
// then the summary over the runs and the latency table. A failure or a stop
// request ends the series. Returns its code.
Win32Error RunSeriesOfTests(const RunSettings& settings, RunSeries& series) {
    const bool many = settings.runs > 1;
    const std::wstring folder = settings.testFilePath.substr(0, settings.testFilePath.rfind(L'\\') + 1);
    Win32Error result = 0;
    for (std::uint32_t r = 0; r < settings.runs && result == 0; ++r) {
        if (StopRequested()) {
            result = win32::kCancelled;
            break;
        }
        RunSettings run = settings;
        if (r > 0)
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
        if (settings.clients > 1)
            LogClientsTable(record, settings.iterations);
    }
    if (settings.latency) {
        if (const Win32Error computed = ComputeLatency(series); result == 0)
            result = computed;
    }
    if (result == 0 && many)
        LogRunsSummary(series);
    if (result == 0 && settings.latency)
        LogLatencyTable(series);
    return result;
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
        result = CompareDocuments(settings.compareFiles, settings.jsonPath);
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
