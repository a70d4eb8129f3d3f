#pragma once
// Ctrl+C, Ctrl+Break, closing the console, logoff and shutdown ask the run to
// stop. The timed loops look at the flag at every iteration boundary and end
// with 1223 (ERROR_CANCELLED); the run then cleans up as after any failure.
#include <atomic>

extern std::atomic<bool> g_stopRequested;

// True once a stop was asked for. One relaxed load, cheap enough for a timed
// loop.
inline bool StopRequested() {
    return g_stopRequested.load(std::memory_order_relaxed);
}

// Asks the run to stop, as Ctrl+C does: a failing client stops the others.
inline void RequestStop() {
    g_stopRequested.store(true);
}

// Installs the console control handler that sets the flag, for the rest of the
// process. For closing the console, logoff and shutdown, after which the system
// ends the process as soon as the handler returns, the handler holds the
// process until the run has cleaned up and ended by itself (or the system's
// time-out has run out).
void InstallStopHandler();
