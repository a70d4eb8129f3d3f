#pragma once
// The process-wide logger and its one call, LogMessage. The call filters by
// level, captures time, thread id and account under the logger's lock, and
// queues the entry; the writer thread does all output.
#include <cstdint>
#include <mutex>
#include <string>

#include "errors/win32_error.h"
#include "logging/log_queue.h"
#include "logging/log_types.h"

using LoggerLock = std::recursive_timed_mutex;

struct Logger {
    void* eventSource = nullptr;  // event-log handle; owned, released by StopLogger
    void* writerThread = nullptr; // writer thread handle; owned, closed by StopLogger
    std::uint32_t fieldMask = 0xFFFFFFFFu;
    LogLevel minLevel = LogLevel::INFO;
    std::uint32_t defaultSinks = LogSinks::File | LogSinks::EventLog;
    std::wstring logFilePath;
    std::uint32_t maxLogFileSize = 10485760;
    bool accepting = false;
    bool stopQueued = false; // the running writer's stop entry is in the queue
    // Guards every field above; the writer holds it while it writes one entry.
    // Recursive, so code running under it on the writer thread may log.
    // LogMessage and the writer never hold it together with the queue's mutex
    // (so the writer's own pushes cannot deadlock); StartLogger and StopLogger
    // take the queue's mutex under it, always in that order, and nothing takes
    // the two the other way round.
    LoggerLock lock;
    LogQueue queue;
};

// The one logger. It is created on first use and never destroyed, so a writer
// thread still running at process exit can never find its queue, mutex or lock
// torn down.
Logger& GetLogger();

void LogMessage(LogLevel level, const std::wstring& category, const std::wstring& message);

void SetMinLogLevel(LogLevel level);
void SetDefaultSinks(std::uint32_t sinks);

// The caller's account as domain\user (NameSamCompatible); 0 or a Win32 code.
Win32Error GetCurrentUserName(std::wstring& name);

// Splits domain\user at every backslash; exactly two parts give domain and
// user, anything else leaves both empty.
void SplitAccountName(const std::wstring& name, std::wstring& domain, std::wstring& user);
