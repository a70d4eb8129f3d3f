// Read tests: every key of the test file read back, once through the system's
// profile function and once with the tool's own line reader. Neither looks at
// what it reads; they measure the reading.
#include "driver/decimal_text.h"
#include "driver/file_io_tests.h"
#include "driver/ini_string.h"
#include "driver/stop_request.h"
#include "driver/stopwatch.h"
#include "driver/text_file.h"
#include "logging/logger.h"

namespace {

enum ProfilePhase : std::size_t { kCall };
enum CustomReadPhase : std::size_t { kOpen, kReadLines, kClose };

// The timed passes of the profile read: one GetIniString per key.
template <class Phases>
Win32Error ReadEveryKey(const std::wstring& profilePath, const std::wstring& section,
                        std::uint32_t iterations, std::wstring& key, std::wstring& value, Phases& phases,
                        std::atomic<std::uint32_t>& passesDone) {
    phases.Start();
    for (std::uint32_t i = 0; i < iterations; ++i) {
        if (StopRequested())
            return win32::kCancelled;
        key.assign(L"Key");
        AppendDecimal(key, i);
        if (const Win32Error code = GetIniString(profilePath, section, key, &value))
            return code;
        phases.End(kCall, i);
        passesDone.store(i + 1, std::memory_order_relaxed);
    }
    return 0;
}

// The timed passes of the custom read: pass i opens the file, reads the header
// and the first i key lines, and closes it.
template <class Phases>
Win32Error ReadGrowingTops(TextFile& file, std::uint32_t iterations, std::wstring& line, Phases& phases,
                           std::atomic<std::uint32_t>& passesDone) {
    phases.Start();
    for (std::uint32_t i = 0; i < iterations; ++i) {
        if (StopRequested())
            return win32::kCancelled;
        if (const Win32Error code = file.Open(TextFileMode::Read))
            return code;
        phases.End(kOpen, i);
        for (std::uint64_t read = 0; read <= i; ++read) {
            if (!file.ReadLine(line))
                return win32::kInvalidFunction;
        }
        phases.End(kReadLines, i);
        file.Close();
        phases.End(kClose, i);
        passesDone.store(i + 1, std::memory_order_relaxed);
    }
    return 0;
}

} // namespace

Win32Error FileIoTests::ReadPrivateProfileString() {
    LogProgress(L"ReadPrivateProfileString", L"Starting GetPrivateProfileString read loop...");
    const std::wstring profilePath = ProfilePathFor(settings.testFilePath);
    const std::wstring section = L"Section1";
    std::wstring key;
    key.reserve(16);
    std::wstring value;
    value.reserve(32);
    PhaseTimes& phases = phaseTimes.readPrivateProfileString;
    if (settings.latency && !phases.Reserve(kProfileReadPhases.size(), settings.iterations))
        return win32::kOutOfMemory;
    NoPhaseTimes wholeLoopOnly;
    WaitForStart();
    Stopwatch stopwatch;
    stopwatch.Start();
    if (const Win32Error code = settings.latency ? ReadEveryKey(profilePath, section, settings.iterations,
                                                                key, value, phases, passesDone)
                                                 : ReadEveryKey(profilePath, section, settings.iterations,
                                                                key, value, wholeLoopOnly, passesDone))
        return code;
    stopwatch.Stop();
    durations.readPrivateProfileString = static_cast<std::uint64_t>(stopwatch.ElapsedMicroseconds());
    LogProgress(L"ReadPrivateProfileString", L"...done.");
    return 0;
}

Win32Error FileIoTests::ReadCustomFunction() {
    TextFile file;
    if (const Win32Error code = file.SetPath(settings.testFilePath))
        return code;
    LogProgress(L"ReadCustomFunction", L"Starting custom read loop...");
    std::wstring line;
    line.reserve(32);
    PhaseTimes& phases = phaseTimes.readCustomFunction;
    if (settings.latency && !phases.Reserve(kCustomReadPhases.size(), settings.iterations))
        return win32::kOutOfMemory;
    NoPhaseTimes wholeLoopOnly;
    WaitForStart();
    Stopwatch stopwatch;
    stopwatch.Start();
    if (const Win32Error code =
            settings.latency ? ReadGrowingTops(file, settings.iterations, line, phases, passesDone)
                             : ReadGrowingTops(file, settings.iterations, line, wholeLoopOnly, passesDone))
        return code;
    stopwatch.Stop();
    durations.readCustomFunction = static_cast<std::uint64_t>(stopwatch.ElapsedMicroseconds());
    LogProgress(L"ReadCustomFunction", L"...done.");
    return 0;
}
