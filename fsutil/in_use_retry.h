#pragma once
// Another process may hold a file for a moment: a share's client just after a
// close, a virus scanner or an indexer that opens every newly closed file.
// Calls on such a file are retried for a bounded time rather than failing the
// run at once.
#include <chrono>
#include <thread>

#include "errors/win32_error.h"

inline constexpr std::chrono::seconds kInUseWait{5};
inline constexpr std::chrono::milliseconds kInUseRetry{100};

// Calls `attempt` (returning a Win32Error) until it returns a code for which
// `inUse` is false, or until kInUseWait has passed; returns the last code.
template <class Attempt, class InUse> Win32Error RetryWhileInUse(Attempt attempt, InUse inUse) {
    const auto deadline = std::chrono::steady_clock::now() + kInUseWait;
    Win32Error code = attempt();
    while (code != 0 && inUse(code) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kInUseRetry);
        code = attempt();
    }
    return code;
}
