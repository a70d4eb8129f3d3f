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
Win32Error AppendKeyLines(TextFile& file, std::uint32_t iterations, std::wstring& line, Phases& phases,
                          std::atomic<std::uint32_t>& passesDone) {
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
        passesDone.store(i + 1, std::memory_order_relaxed);
    }
    return 0;
}

} // namespace

void FileIoTests::WaitForStart() {
    passesDone.store(0, std::memory_order_relaxed);
    if (gate != nullptr)
        gate->WaitForStart();
}

void FileIoTests::LogProgress(const wchar_t* category, const std::wstring& text) const {
    if (logProgress)
        LogMessage(LogLevel::INFO, category, text);
}

Win32Error FileIoTests::WriteCustomFunction() {
    const std::wstring& path = settings.testFilePath;
    LogProgress(L"WriteCustomFunction", L"Creating test file <" + path + L">...");
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
    WaitForStart();
    Stopwatch stopwatch;
    stopwatch.Start();
    if (const Win32Error code =
            settings.latency ? AppendKeyLines(file, settings.iterations, line, phases, passesDone)
                             : AppendKeyLines(file, settings.iterations, line, wholeLoopOnly, passesDone))
        return code;
    stopwatch.Stop();
    durations.writeCustomFunction = static_cast<std::uint64_t>(stopwatch.ElapsedMicroseconds());
    LogProgress(L"WriteCustomFunction", L"...done.");
    return 0;
}
