#include "driver/run_driver.h"

#include <clocale>

#include "driver/build_info.h"
#include "driver/command_line.h"
#include "driver/file_io_tests.h"
#include "driver/result_report.h"
#include "errors/error_text.h"
#include "fsutil/delete_file.h"
#include "logging/logger.h"
#include "logging/logger_lifecycle.h"

Win32Error RunQuillmarsh(int argc, const wchar_t* const* argv) {
    // The console sink converts wide text by this locale; the C++ global locale
    // stays classic.
    std::setlocale(LC_ALL, "");
    StartLogger();
    SetMinLogLevel(LogLevel::INFO);
    SetDefaultSinks(LogSinks::Console);
    LogMessage(LogLevel::INFO, L"Start", std::wstring(L"\nQuillmarsh by ") + kAuthor + L"\n");

    FileIoTests tests;
    bool runTests = false;
    Win32Error result = ProcessCmdLine(argc, argv, tests.settings, runTests);
    if (runTests) {
        result = tests.WriteCustomFunction();
        if (result == 0)
            result = tests.ReadPrivateProfileString();
        if (result == 0)
            result = tests.ReadCustomFunction();
        if (result == 0)
            result = tests.CreateDeleteLoop();
        if (result == 0)
            LogResultLines(tests.durations);
    }

    // On every path: the test file must not stay behind on the share.
    DeleteAnyFile(true, true, false, tests.settings.testFilePath);

    if (result == 0)
        LogMessage(LogLevel::INFO, L"Result", L"\nQuillmarsh finished successfully");
    else
        LogMessage(LogLevel::ERROR, L"Result", L"\nQuillmarsh finished with error: " + GetErrorText(result));
    StopLogger();
    return result;
}
