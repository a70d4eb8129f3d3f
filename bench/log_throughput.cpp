// Throughput of the logger and latency of one LogMessage call, for the console
// sink (standard output sent to NUL) and the file sink, with 1 and 4 producer
// threads. First with every field captured, as in the tool's own runs, then
// without the account field, whose lookup LogMessage makes on every call.
//
//   log_throughput [entries per run, default 10000]
//
// entries/s counts from the first call until StopLogger has returned, so every
// entry has been written; call p50/p99 is the time one LogMessage call takes,
// over all calls of the run.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "logging/log_types.h"
#include "logging/logger.h"
#include "logging/logger_lifecycle.h"

namespace {

struct RunResult {
    double entriesPerSecond = 0;
    double p50Microseconds = 0;
    double p99Microseconds = 0;
    std::uint64_t written = 0; // lines in the log file (file sink only)
};

std::int64_t Now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double Frequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
}

std::uint64_t CountLines(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    std::uint64_t lines = 0;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        lines += static_cast<std::uint64_t>(std::count(buffer, buffer + got, '\n'));
    CloseHandle(file);
    return lines;
}

RunResult Run(std::uint32_t fields, std::uint32_t sink, int producers, int entries,
              const std::wstring& logFile) {
    DeleteFileW(logFile.c_str());
    {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        GetLogger().logFilePath = logFile;
        GetLogger().fieldMask = fields;
    }
    StartLogger();
    SetMinLogLevel(LogLevel::INFO);
    SetDefaultSinks(sink);

    const int perProducer = entries / producers;
    std::vector<std::vector<std::int64_t>> latencies(producers);
    const std::int64_t start = Now();
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([p, perProducer, &latencies] {
            std::vector<std::int64_t>& mine = latencies[p];
            mine.reserve(perProducer);
            const std::wstring text = L"Producer " + std::to_wstring(p) + L" wrote entry number ";
            for (int i = 0; i < perProducer; ++i) {
                const std::wstring message = text + std::to_wstring(i);
                const std::int64_t before = Now();
                LogMessage(LogLevel::INFO, L"LogThroughput", message);
                mine.push_back(Now() - before);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    StopLogger();
    const double seconds = static_cast<double>(Now() - start) / Frequency();

    std::vector<std::int64_t> all;
    for (const std::vector<std::int64_t>& mine : latencies)
        all.insert(all.end(), mine.begin(), mine.end());
    std::sort(all.begin(), all.end());
    const double toMicroseconds = 1e6 / Frequency();
    RunResult result;
    result.entriesPerSecond = static_cast<double>(all.size()) / seconds;
    result.p50Microseconds = static_cast<double>(all[all.size() / 2]) * toMicroseconds;
    result.p99Microseconds = static_cast<double>(all[all.size() * 99 / 100]) * toMicroseconds;
    if (sink == LogSinks::File)
        result.written = CountLines(logFile);
    return result;
}

} // namespace

int wmain(int argc, wchar_t* argv[]) {
    const int entries = argc > 1 ? std::max(4, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 10000;
    std::setlocale(LC_ALL, ""); // the console sink converts by this locale, as in the tool

    wchar_t temp[MAX_PATH + 1];
    const std::wstring directory = std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + L"log_throughput." +
                                   std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(directory.c_str(), nullptr);
    const std::wstring logFile = directory + L"\\bench.log";

    std::printf("%d entries per run\n", entries);
    const struct {
        const char* title;
        std::uint32_t fields;
    } fieldSets[] = {{"all fields", 0xFFFFFFFFu}, {"all fields but the account (User)", ~LogFields::User}};
    for (const auto& fieldSet : fieldSets) {
        std::printf("\n%s\n%-8s %9s %12s %13s %13s %9s\n", fieldSet.title, "sink", "producers", "entries/s",
                    "call p50 us", "call p99 us", "written");
        for (const std::uint32_t sink : {LogSinks::Console, LogSinks::File}) {
            for (const int producers : {1, 4}) {
                RunResult result;
                if (sink == LogSinks::Console) {
                    // The console sink writes to standard output; send it to NUL
                    // for the run and keep the real one for the table.
                    std::fflush(stdout);
                    const int saved = _dup(_fileno(stdout));
                    const int nul = _wopen(L"NUL", _O_WRONLY);
                    _dup2(nul, _fileno(stdout));
                    result = Run(fieldSet.fields, sink, producers, entries, logFile);
                    std::fflush(stdout);
                    _dup2(saved, _fileno(stdout));
                    _close(nul);
                    _close(saved);
                } else {
                    result = Run(fieldSet.fields, sink, producers, entries, logFile);
                }
                const std::string written = sink == LogSinks::File ? std::to_string(result.written) : "-";
                std::printf("%-8s %9d %12.0f %13.1f %13.1f %9s\n",
                            sink == LogSinks::Console ? "console" : "file", producers,
                            result.entriesPerSecond, result.p50Microseconds, result.p99Microseconds,
                            written.c_str());
                std::fflush(stdout);
            }
        }
    }
    DeleteFileW(logFile.c_str());
    RemoveDirectoryW(directory.c_str());
    return 0;
}
