// Create/delete loop: the cost of creating a small file, writing one line to
// it and deleting it again, once per iteration.
#include "driver/decimal_text.h"
#include "driver/file_io_tests.h"
#include "driver/stop_request.h"
#include "driver/stopwatch.h"
#include "driver/text_file.h"
#include "fsutil/delete_file.h"
#include "fsutil/file_tree.h"
#include "logging/logger.h"

namespace {

enum Phase : std::size_t { kCreate, kWrite, kClose, kDelete };

// The timed passes: pass i creates base + i, writes one line, closes and
// deletes it.
template <class Phases>
Win32Error CreateAndDelete(const std::wstring& base, std::uint32_t iterations, TextFile& file,
                           std::wstring& name, std::wstring& line, Phases& phases,
                           std::atomic<std::uint32_t>& passesDone) {
    phases.Start();
    for (std::uint32_t i = 0; i < iterations; ++i) {
        if (StopRequested())
            return win32::kCancelled;
        name.assign(base);
        AppendDecimal(name, i);
        if (const Win32Error code = file.SetPath(name))
            return code;
        line.assign(L"Dummy data ");
        AppendDecimal(line, i);
        Win32Error code = file.Open(TextFileMode::Write);
        phases.End(kCreate, i);
        if (code == 0)
            code = file.WriteLine(line);
        phases.End(kWrite, i);
        if (code == 0)
            code = file.Close();
        phases.End(kClose, i);
        if (code != 0) {
            // A failed pass must not leave its file behind: a full disk can
            // fail the open after it made the file, or the write-out after
            // it. Something else standing at the name (a directory) is not
            // the pass's to delete.
            file.Close();
            if (FileExists(name))
                DeleteAnyFile(true, true, false, name);
            return code;
        }
        if (const Win32Error deleted = DeleteAnyFile(true, true, false, name))
            return deleted;
        phases.End(kDelete, i);
        passesDone.store(i + 1, std::memory_order_relaxed);
    }
    return 0;
}

} // namespace

Win32Error FileIoTests::CreateDeleteLoop() {
    LogProgress(L"CreateDeleteLoop", L"Starting create/delete test...");
    const std::wstring& base = settings.testFilePath;
    std::wstring name;
    name.reserve(base.size() + 10);
    std::wstring line;
    line.reserve(32);
    TextFile file;
    PhaseTimes& phases = phaseTimes.createDeleteLoop;
    if (settings.latency && !phases.Reserve(kCreateDeletePhases.size(), settings.iterations))
        return win32::kOutOfMemory;
    NoPhaseTimes wholeLoopOnly;
    WaitForStart();
    Stopwatch stopwatch;
    stopwatch.Start();
    if (const Win32Error code =
            settings.latency
                ? CreateAndDelete(base, settings.iterations, file, name, line, phases, passesDone)
                : CreateAndDelete(base, settings.iterations, file, name, line, wholeLoopOnly, passesDone))
        return code;
    stopwatch.Stop();
    durations.createDeleteLoop = static_cast<std::uint64_t>(stopwatch.ElapsedMicroseconds());
    LogProgress(L"CreateDeleteLoop", L"...done.");
    return 0;
}
