// A small program that the logging tests start as a child process, for what a
// test cannot see from inside its own process: the time zone (Wine takes it
// from the process's TZ variable at start), what reaches the console streams,
// and how the process ends while the writer thread is stuck.
//
//   logging_probe time <FILETIME> <log stamp> <local time>
//                                        checks FormatLogTime and FormatSystemTime
//   logging_probe console [no-level]     logs one entry per level to the console
//   logging_probe console-many <count>   logs <count> entries, then stops at once
//   logging_probe unconvertible          logs text the console code page cannot show
//   logging_probe stuck-exit             StopLogger with the writer stuck in a sink
#include <windows.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "logging/log_time.h"
#include "logging/log_writer.h"
#include "logging/logger.h"
#include "logging/logger_lifecycle.h"

namespace {

// Probe failures use exit codes of their own, well away from what a scenario returns.
constexpr int kBadArguments = 200;
constexpr int kNoEventSource = 201;
constexpr int kWriterNeverBlocked = 202;

// Compares FormatLogTime and FormatSystemTime (converted to local time) of one
// FILETIME with the expected texts; exit code 0 when both match.
int CheckTimes(const wchar_t* fileTimeText, const std::wstring& expectedLog,
               const std::wstring& expectedLocal) {
    const std::uint64_t fileTime = std::wcstoull(fileTimeText, nullptr, 10);
    const std::wstring log = FormatLogTime(fileTime);
    std::wstring local;
    const Win32Error code = FormatSystemTime(fileTime, true, L':', L'.', local);
    std::printf("FormatLogTime:    '%ls' (expected '%ls')\n", log.c_str(), expectedLog.c_str());
    std::printf("FormatSystemTime: '%ls' (expected '%ls'), result %u\n", local.c_str(), expectedLocal.c_str(),
                code);
    return log == expectedLog && local == expectedLocal && code == 0 ? 0 : 1;
}

void StartConsoleLogger() {
    std::setlocale(LC_ALL, ""); // as the tool does: the console sink converts by this locale
    StartLogger();
    SetMinLogLevel(static_cast<LogLevel>(-1));
    SetDefaultSinks(LogSinks::Console);
}

int LogEveryLevel(bool keepLevelField) {
    StartConsoleLogger();
    if (!keepLevelField) {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        GetLogger().fieldMask &= ~LogFields::Level;
    }
    for (int level = -1; level <= 6; ++level)
        LogMessage(static_cast<LogLevel>(level), L"Probe", L"level " + std::to_wstring(level));
    LogMessage(LogLevel::INFO, L"Probe", L"\nbanner\n");
    StopLogger();
    return 0;
}

int LogMany(const wchar_t* countText) {
    const int count = std::wcstol(countText, nullptr, 10);
    StartConsoleLogger();
    for (int i = 0; i < count; ++i)
        LogMessage(i % 2 ? LogLevel::ERROR : LogLevel::INFO, L"Probe", L"entry " + std::to_wstring(i));
    StopLogger();
    return 0;
}

int LogUnconvertible() {
    StartConsoleLogger();
    LogMessage(LogLevel::INFO, L"Probe", L"caf\u00e9 \u4e2d\u6587 end");
    LogMessage(LogLevel::INFO, L"Probe", L"next line");
    StopLogger();
    return 0;
}

// The stuck writer: the first event blocks the writer inside the sink, holding
// the logger's lock, until the process is already exiting.
constexpr int kStuckEntries = 50;
HANDLE g_release = nullptr;
std::atomic<int> g_reported{0};

void BlockingReporter(void*, std::uint16_t, std::uint32_t, const std::wstring&) {
    if (g_reported.fetch_add(1) == 0)
        WaitForSingleObject(g_release, INFINITE);
}

// Registered before anything else, so it runs late in the teardown. The writer
// then pops the remaining entries and takes the logger's lock while the process
// is going down.
void ReleaseWriterDuringExit() {
    SetEvent(g_release);
    for (int i = 0; i < 500 && g_reported.load() < kStuckEntries; ++i)
        Sleep(10);
    std::printf("reported during exit: %d of %d\n", g_reported.load(), kStuckEntries);
    std::fflush(stdout);
}

int StuckExit() {
    g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atexit(&ReleaseWriterDuringExit);
    StartLogger();
    Logger& logger = GetLogger();
    {
        std::lock_guard<LoggerLock> guard(logger.lock);
        if (logger.eventSource == nullptr)
            return kNoEventSource;
        logger.defaultSinks = LogSinks::EventLog;
    }
    SetEventReporter(&BlockingReporter);
    // Straight into the queue: LogMessage would wait for the lock that the stuck writer holds.
    for (int i = 0; i < kStuckEntries; ++i) {
        LogEntry entry;
        entry.level = LogLevel::INFO;
        entry.message = L"entry " + std::to_wstring(i);
        logger.queue.Push(std::move(entry));
    }
    for (int i = 0; i < 1000 && g_reported.load() == 0; ++i)
        Sleep(10);
    if (g_reported.load() == 0)
        return kWriterNeverBlocked;

    const auto start = std::chrono::steady_clock::now();
    StopLogger();
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::printf("StopLogger returned after %lld ms\n", static_cast<long long>(waited.count()));
    std::fflush(stdout);
    return 42;
}

} // namespace

int wmain(int argc, wchar_t* argv[]) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"time" && argc == 5)
        return CheckTimes(argv[2], argv[3], argv[4]);
    if (mode == L"console" && argc == 2)
        return LogEveryLevel(true);
    if (mode == L"console" && argc == 3 && std::wstring(argv[2]) == L"no-level")
        return LogEveryLevel(false);
    if (mode == L"console-many" && argc == 3)
        return LogMany(argv[2]);
    if (mode == L"unconvertible")
        return LogUnconvertible();
    if (mode == L"stuck-exit")
        return StuckExit();
    return kBadArguments;
}
