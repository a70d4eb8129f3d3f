// Write test: the cost of opening a file, appending one line and closing it
// again, once per line.
#include "driver/decimal_text.h"
#include "driver/file_io_tests.h"
#include "driver/stop_request.h"
#include "driver/stopwatch.h"
#include "driver/text_file.h"
#include "fsutil/delete_file.h"
#include "logging/logger.h"

namespace {

enum Phase : std::size_t { kOpen, kWrite, kClose };

// The timed passes: open for appending, one key line, close.
template <class Phases>
Win32Error AppendKeyLines(TextFile& file, std::uint32_t iterations, std::wstring& line, Phases& phases) {
    phases.Start();
    for (std::uint32_t i = 0; i < iterations; ++i) {
        if (StopRequested())
            return win32::kCancelled;
        if (const Win32Error code = file.Open(TextFileMode::Append))
            return code;
        phases.End(kOpen, i);
        line.assign(L"Key");
        AppendDecimal(line, i);
        line.append(L"=Value");
        AppendDecimal(line, i);
        if (const Win32Error code = file.WriteLine(line))
            return code;
        phases.End(kWrite, i);
        // The line is written out here: a full disk shows in this pass.
        if (const Win32Error code = file.Close())
            return code;
        phases.End(kClose, i);
    }
    return 0;
}

} // namespace

Win32Error FileIoTests::WriteCustomFunction() {
    const std::wstring& path = settings.testFilePath;
    LogMessage(LogLevel::INFO, L"WriteCustomFunction", L"Creating test file <" + path + L">...");
    if (const Win32Error code = DeleteAnyFile(true, true, false, path))
        return code;
    TextFile file;
    if (const Win32Error code = file.SetPath(path))
        return code;
    if (const Win32Error code = file.Open(TextFileMode::Write))
        return code;
    if (const Win32Error code = file.WriteLine(L"[Section1]"))
        return code;
    if (const Win32Error code = file.Close())
        return code;

    std::wstring line;
    line.reserve(32); // "Key4294967295=Value4294967295" fits: no allocation in the loop
    PhaseTimes& phases = phaseTimes.writeCustomFunction;
    if (settings.latency && !phases.Reserve(kWritePhases.size(), settings.iterations))
        return win32::kOutOfMemory;
    NoPhaseTimes wholeLoopOnly;
    Stopwatch stopwatch;
    stopwatch.Start();
    if (const Win32Error code = settings.latency
                                    ? AppendKeyLines(file, settings.iterations, line, phases)
                                    : AppendKeyLines(file, settings.iterations, line, wholeLoopOnly))
        return code;
    stopwatch.Stop();
    durations.writeCustomFunction = static_cast<std::uint64_t>(stopwatch.ElapsedMicroseconds());
    LogMessage(LogLevel::INFO, L"WriteCustomFunction", L"...done.");
    return 0;
}
