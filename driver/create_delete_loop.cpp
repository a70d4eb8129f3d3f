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

Win32Error FileIoTests::CreateDeleteLoop() {
    LogMessage(LogLevel::INFO, L"CreateDeleteLoop", L"Starting create/delete test...");
    const std::wstring& base = settings.testFilePath;
    std::wstring name;
    name.reserve(base.size() + 10);
    std::wstring line;
    line.reserve(32);
    TextFile file;
    Stopwatch stopwatch;
    stopwatch.Start();
    for (std::uint32_t i = 0; i < settings.iterations; ++i) {
        if (StopRequested())
            return win32::kCancelled;
        name.assign(base);
        AppendDecimal(name, i);
        if (const Win32Error code = file.SetPath(name))
            return code;
        line.assign(L"Dummy data ");
        AppendDecimal(line, i);
        Win32Error code = file.Open(TextFileMode::Write);
        if (code == 0)
            code = file.WriteLine(line);
        if (code == 0)
            code = file.Close();
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
    }
    stopwatch.Stop();
    durations.createDeleteLoop = static_cast<std::uint64_t>(stopwatch.ElapsedMicroseconds());
    LogMessage(LogLevel::INFO, L"CreateDeleteLoop", L"...done.");
    return 0;
}
