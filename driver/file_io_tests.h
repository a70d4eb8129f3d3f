#pragma once
// The four timed tests of a run. Each reads the run settings, times its loop
// with a Stopwatch, stores the duration in its slot and returns a Win32 code.
// With settings.latency each also keeps the time of every phase of every pass.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "driver/phase_times.h"
#include "driver/run_settings.h"
#include "errors/win32_error.h"

// The phases of one pass of each test, in the order they happen.
inline constexpr std::array<const wchar_t*, 3> kWritePhases{L"open", L"write", L"close"};
inline constexpr std::array<const wchar_t*, 1> kProfileReadPhases{L"call"};
inline constexpr std::array<const wchar_t*, 3> kCustomReadPhases{L"open", L"read lines", L"close"};
inline constexpr std::array<const wchar_t*, 4> kCreateDeletePhases{L"create", L"write", L"close", L"delete"};

// The phase times of each test, kept when settings.latency is set.
struct TestPhaseTimes {
    PhaseTimes writeCustomFunction;
    PhaseTimes readPrivateProfileString;
    PhaseTimes readCustomFunction;
    PhaseTimes createDeleteLoop;
};

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
    TestPhaseTimes phaseTimes;
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
    // Right before a test's stopwatch starts: no pass done yet, and the wait
    // for the other clients.
    void WaitForStart();
    void LogProgress(const wchar_t* category, const std::wstring& text) const;
};
