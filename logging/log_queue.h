#pragma once
// First-in-first-out hand-over from LogMessage to the writer thread. Pushing
// never blocks: once the summed cost of the queued entries has reached the
// budget, further entries are refused (10055) until the writer catches up.
// The writer's stop request is the exception: it is always queued.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "errors/win32_error.h"
#include "logging/log_types.h"

// What an entry counts against the budget: the capacities of its four strings
// (in characters) plus 21.
std::uint64_t EntryCost(const LogEntry& entry);

class LogQueue {
public:
    // 0 means unlimited. Set before the writer thread starts.
    void SetCostLimit(std::uint64_t limit);

    // 0, or 10055 when the budget is spent (the entry is dropped).
    Win32Error Push(LogEntry entry);

    // The oldest entry; waits while the queue is empty.
    LogEntry Pop();

    // Called by the writer when it is done with the entry it popped last.
    void MarkHandled();

    // Waits until every entry pushed before the call has been popped and
    // handled, or until `deadline`; false when the deadline came first.
    bool WaitUntilHandled(std::chrono::steady_clock::time_point deadline);

    std::uint64_t QueuedCost();

private:
    std::deque<LogEntry> entries_;
    std::mutex mutex_;
    std::condition_variable notEmpty_;
    std::condition_variable handledMore_;
    std::uint64_t queuedCost_ = 0;
    std::uint64_t costLimit_ = 0;
    std::uint64_t pushed_ = 0;  // entries accepted so far
    std::uint64_t handled_ = 0; // entries the writer is done with
};
