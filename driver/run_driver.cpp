#include "driver/run_driver.h"

#include <clocale>

#include "driver/build_info.h"
#include "driver/command_line.h"
#include "driver/file_io_tests.h"
#include "driver/result_report.h"
#include "driver/run_results.h"
#include "driver/stop_request.h"
#include "errors/error_text.h"
#include "fsutil/delete_file.h"
#include "fsutil/in_use_retry.h"
#include "logging/logger.h"
#include "logging/logger_lifecycle.h"

namespace {

// Removes the run's test file (nothing to do when it was never named). Another
// process may hold it open for a moment without delete sharing, as virus
// scanners and indexers do: that is waited for, and a file that still cannot
// go is named in a warning. Other failures are logged by DeleteAnyFile. Never
// changes the run's result.
void RemoveTestFile(const std::wstring& path) {
    const Win32Error code = RetryWhileInUse([&] { return DeleteAnyFile(true, false, false, path); },
                                            [](Win32Error c) { return c == win32::kSharingViolation; });
    if (code == win32::kSharingViolation)
        LogMessage(LogLevel::WARN, L"Result",
                   L"The test file <" + path + L"> is in use by another process and was left behind: " +
                       GetErrorText(code));
    else if (code != 0)
        DeleteAnyFile(true, true, false, path); // once more, with its failure logged
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

    FileIoTests tests;
    bool runTests = false;
    Win32Error result = ProcessCmdLine(argc, argv, tests.settings, runTests);
    RunRecord record;
    if (runTests) {
        record = StartRunRecord();
        // In order; the first failure ends the chain. A stop request ends the
        // test in progress and keeps the next from starting.
        for (Win32Error (FileIoTests::*test)() :
             {&FileIoTests::WriteCustomFunction, &FileIoTests::ReadPrivateProfileString,
              &FileIoTests::ReadCustomFunction, &FileIoTests::CreateDeleteLoop}) {
            result = StopRequested() ? win32::kCancelled : (tests.*test)();
            if (result != 0)
                break;
            ++record.completedTests;
        }
        if (result == 0 && StopRequested())
            result = win32::kCancelled;
        ComputeLatency(tests, record);
        if (result == 0) {
            LogResultLines(tests.durations);
            if (tests.settings.latency)
                LogLatencyTable(record);
        }
    }

    // On every path: the test file must not stay behind on the share.
    RemoveTestFile(tests.settings.testFilePath);

    if (runTests) {
        // Results that were asked for but cannot be written fail the run.
        record.result = result;
        const Win32Error written = WriteResultFiles(tests.settings, tests.durations, record);
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
