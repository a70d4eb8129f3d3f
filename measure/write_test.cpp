// Write test: the cost of opening a file, appending one line and closing it
// again, once per line.
#include "fsutil/delete_file.h"
#include "logging/logger.h"
#include "measure/decimal_text.h"
#include "measure/file_io_tests.h"
#include "measure/text_file.h"

namespace {

enum Phase : std::size_t { kOpen, kWrite, kClose };

} // namespace

void FileIoTests::LogProgress(std::size_t test, const std::wstring& text) const {
    if (logProgress)
        LogMessage(LogLevel::INFO, kTests[test].category, text);
}

Win32Error FileIoTests::WriteCustomFunction() {
    const std::wstring& path = settings.testFilePath;
    LogProgress(kWriteTest, L"Creating test file <" + path + L">...");
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
    // One pass: open for appending, one key line, close.
    return TimeLoop(kWriteTest, [&](std::uint32_t i, auto& phases) -> Win32Error {
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
        return 0;
    });
}
