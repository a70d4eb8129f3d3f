#include "logging/log_queue.h"

#include <utility>

std::uint64_t EntryCost(const LogEntry& entry) {
    return entry.message.capacity() + entry.user.capacity() + entry.domain.capacity() +
           entry.category.capacity() + 21;
}

void LogQueue::SetCostLimit(std::uint64_t limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    costLimit_ = limit;
}

Win32Error LogQueue::Push(LogEntry entry) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // The one overflow policy: refuse new entries once the budget is
        // reached. The test comes first, so the last accepted entry may take
        // the total past the limit. A stop request is never refused: without
        // it a writer behind a full queue would never end.
        if (!entry.stop && costLimit_ != 0 && queuedCost_ >= costLimit_)
            return win32::kNoBufferSpace;
        entries_.push_back(std::move(entry));
        queuedCost_ += EntryCost(entries_.back());
        ++pushed_;
    }
    notEmpty_.notify_one();
    return 0;
}

LogEntry LogQueue::Pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    notEmpty_.wait(lock, [this] { return !entries_.empty(); });
    LogEntry entry = std::move(entries_.front());
    entries_.pop_front();
    const std::uint64_t cost = EntryCost(entry);
    queuedCost_ = queuedCost_ >= cost ? queuedCost_ - cost : 0;
    return entry;
}

void LogQueue::MarkHandled() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++handled_;
    }
    handledMore_.notify_all();
}

bool LogQueue::WaitUntilHandled(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t ticket = pushed_;
    return handledMore_.wait_until(lock, deadline, [&] { return handled_ >= ticket; });
}

std::uint64_t LogQueue::QueuedCost() {
    std::lock_guard<std::mutex> lock(mutex_);
    return queuedCost_;
}
