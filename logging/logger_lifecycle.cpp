#include "logging/logger_lifecycle.h"

#include <windows.h>
#include <process.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>

#include "errors/errno_to_win32.h"
#include "logging/log_file.h"
#include "logging/log_writer.h"
#include "logging/logger.h"

namespace {

constexpr std::uint64_t kQueueBudget = 10485760;
constexpr std::chrono::milliseconds kStopWait{15000};
// How long a stop that timed out still tries to take the lock to release the handles.
constexpr std::chrono::milliseconds kReleaseGrace{1000};

} // namespace

Win32Error StartLogger() {
    Logger& logger = GetLogger();
    std::lock_guard<LoggerLock> guard(logger.lock);
    if (logger.writerThread != nullptr)
        return 0;
    SetDefaultLogFilePath();
    logger.queue.SetCostLimit(kQueueBudget);

    logger.eventSource = RegisterEventSourceW(nullptr, EventSourceNameFor(GetModulePath()).c_str());

    const uintptr_t thread = _beginthreadex(nullptr, 0, &StartLoggerThreadProc, &logger, 0, nullptr);
    if (thread == 0)
        return ErrnoToWin32Error(errno);
    logger.writerThread = reinterpret_cast<void*>(thread);
    logger.stopQueued = false;
    logger.accepting = true;
    return 0;
}

void StopLogger() {
    Logger& logger = GetLogger();
    const auto deadline = std::chrono::steady_clock::now() + kStopWait;
    std::unique_lock<LoggerLock> guard(logger.lock, std::defer_lock);
    // A writer stuck inside a sink holds the lock; past the deadline it is left
    // running rather than hang the process. The logger it uses is never
    // destroyed, so process exit cannot pull its queue or lock away.
    if (!guard.try_lock_until(deadline))
        return;
    // A handle of this call's own to wait on: a StopLogger running at the same
    // time may close the logger's handle while this one still waits.
    HANDLE thread = nullptr;
    if (logger.writerThread != nullptr) {
        // One stop entry per writer: a spare one would stay in the queue and
        // end the next writer as soon as it started.
        if (!logger.stopQueued) {
            LogEntry stop;
            stop.level = LogLevel::NONE;
            stop.sinks = 0;
            stop.stop = true;
            logger.queue.Push(std::move(stop)); // never refused, even by a full budget
            logger.stopQueued = true;
        }
        DuplicateHandle(GetCurrentProcess(), logger.writerThread, GetCurrentProcess(), &thread, SYNCHRONIZE,
                        FALSE, 0);
    }
    guard.unlock();

    // Not under the lock: the writer needs it to finish the queued entries.
    bool writerEnded = true;
    if (thread != nullptr) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        writerEnded = WaitForSingleObject(thread, static_cast<DWORD>(std::max<long long>(left.count(), 0))) ==
                      WAIT_OBJECT_0;
        CloseHandle(thread);
    }
    if (writerEnded)
        guard.lock();
    else if (!guard.try_lock_for(kReleaseGrace))
        return; // the writer is inside a sink, using the handles
    if (logger.writerThread != nullptr) {
        CloseHandle(logger.writerThread);
        logger.writerThread = nullptr;
    }
    if (logger.eventSource != nullptr) {
        DeregisterEventSource(logger.eventSource);
        logger.eventSource = nullptr;
    }
}

void DrainLogger() {
    Logger& logger = GetLogger();
    const auto deadline = std::chrono::steady_clock::now() + kStopWait;
    std::unique_lock<LoggerLock> guard(logger.lock, std::defer_lock);
    if (!guard.try_lock_until(deadline))
        return; // the writer is stuck inside a sink
    const bool running = logger.writerThread != nullptr;
    guard.unlock();
    if (running)
        logger.queue.WaitUntilHandled(deadline);
}
