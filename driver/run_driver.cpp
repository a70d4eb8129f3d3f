#include "driver/run_driver.h"

#include <clocale>

#include "driver/build_info.h"
#include "driver/command_line.h"
#include "driver/result_report.h"
#include "driver/run_clients.h"
#include "driver/stop_request.h"
#include "driver/version_info.h"
#include "errors/error_text.h"
#include "results/console_tables.h"
#include "results/result_files.h"
#include "logging/logger.h"
#include "logging/logger_lifecycle.h"

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
    if (runTests) {
        RunRecord record = StartRunRecord();
        record.version = GetVersionInfoString(L"FileVersion");
        // Every client's test file is gone when this returns, on every path.
        result = RunClients(settings, record);
        if (result == 0) {
            LogResultLines(record.durations);
            if (settings.clients > 1)
                LogClientsTable(record, settings.iterations);
            if (settings.latency)
                LogLatencyTable(record);
        }
        // Results that were asked for but cannot be written fail the run.
        record.result = result;
        const Win32Error written = WriteResultFiles(settings, record);
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
