#pragma once
// The four timed tests of a run. Each reads the run settings, times its loop
// with a Stopwatch, stores the duration in its slot and returns a Win32 code.
// With settings.latency each also keeps the time of every phase of every pass.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "core/run_settings.h"
#include "core/test_table.h"
#include "errors/win32_error.h"
#include "measure/phase_times.h"
#include "measure/stop_request.h"
#include "measure/stopwatch.h"

// Where a client that runs together with others waits for all of them, right
// before a test's stopwatch starts.
class StartGate {
public:
    virtual void WaitForStart() = 0;

protected:
    ~StartGate() = default;
};

// One client's four tests on its own test file.
class FileIoTests {
public:
    RunSettings settings;
    TestDurations durations;
    // Per test (kTests order): the phase times, kept when settings.latency is set.
    std::array<PhaseTimes, kTestCount> phaseTimes;
    // With other clients: where this one waits for them; none on its own.
    StartGate* gate = nullptr;
    // Whether the tests log their progress lines; with many clients the run
    // logs them once for all.
    bool logProgress = true;
    // Passes done of the test in progress, for a live progress display: one
    // relaxed store a pass, read by another thread.
    std::atomic<std::uint32_t> passesDone{0};

    // Creates the test file with its section header, then (timed) appends one
    // "Key<i>=Value<i>" line per iteration, opening and closing it each time.
    // Phases: the open (with its existence test), the write, the close (which
    // writes the line out).
    Win32Error WriteCustomFunction();
    // (timed) Reads every key back through GetPrivateProfileStringW. Phase: the
    // call.
    Win32Error ReadPrivateProfileString();
    // (timed) Per iteration i opens the file and reads its top i + 1 lines.
    // Phases: the open, the lines, the close.
    Win32Error ReadCustomFunction();
    // (timed) Per iteration creates testFilePath + i, writes a line, closes and
    // deletes it. Phases: the create, the write, the close (which writes the
    // line out), the delete.
    Win32Error CreateDeleteLoop();

private:
    // The scaffold every test's loop runs in: room for the phase times, the
    // wait for the other clients, the stopwatch around `settings.iterations`
    // calls of pass(i, phases), the duration into the test's slot and its
    // "...done." line. Inside the loop only the stop flag, the pass and the
    // pass count's store; a pass's failure ends the loop with its code.
    template <class Pass> Win32Error TimeLoop(std::size_t test, Pass pass);
    template <class Pass, class Phases> Win32Error RunPasses(Pass& pass, Phases& phases);
    void LogProgress(std::size_t test, const std::wstring& text) const;
};

template <class Pass, class Phases> Win32Error FileIoTests::RunPasses(Pass& pass, Phases& phases) {
    const std::uint32_t iterations = settings.iterations;
    phases.Start();
    for (std::uint32_t i = 0; i < iterations; ++i) {
        if (StopRequested())
            return win32::kCancelled;
        if (const Win32Error code = pass(i, phases))
            return code;
        passesDone.store(i + 1, std::memory_order_relaxed);
    }
    return 0;
}

template <class Pass> Win32Error FileIoTests::TimeLoop(std::size_t test, Pass pass) {
    PhaseTimes& phases = phaseTimes[test];
    if (settings.latency && !phases.Reserve(kTests[test].phaseCount, settings.iterations))
        return win32::kOutOfMemory;
    NoPhaseTimes wholeLoopOnly;
    passesDone.store(0, std::memory_order_relaxed);
    if (gate != nullptr)
        gate->WaitForStart();
    Stopwatch stopwatch;
    stopwatch.Start();
    if (const Win32Error code = settings.latency ? RunPasses(pass, phases) : RunPasses(pass, wholeLoopOnly))
        return code;
    stopwatch.Stop();
    durations.*kTests[test].duration = static_cast<std::uint64_t>(stopwatch.ElapsedMicroseconds());
    LogProgress(test, L"...done.");
    return 0;
}
