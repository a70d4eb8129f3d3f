// Create/delete loop: the cost of creating a small file, writing one line to
// it and deleting it again, once per iteration.
#include "driver/decimal_text.h"
#include "driver/file_io_tests.h"
#include "driver/stopwatch.h"
#include "driver/text_file.h"
#include "fsutil/delete_file.h"
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
        name.assign(base);
        AppendDecimal(name, i);
        if (const Win32Error code = file.SetPath(name))
            return code;
        if (const Win32Error code = file.Open(TextFileMode::Write))
            return code;
        line.assign(L"Dummy data ");
        AppendDecimal(line, i);
        if (const Win32Error code = file.WriteLine(line))
            return code;
        file.Close();
        if (const Win32Error code = DeleteAnyFile(true, true, false, name))
            return code;
    }
    stopwatch.Stop();
    durations.createDeleteLoop = static_cast<std::uint64_t>(stopwatch.ElapsedMicroseconds());
    LogMessage(LogLevel::INFO, L"CreateDeleteLoop", L"...done.");
    return 0;
}
