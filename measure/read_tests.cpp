// Read tests: every key of the test file read back, once through the system's
// profile function and once with the tool's own line reader. Neither looks at
// what it reads; they measure the reading.
#include "logging/logger.h"
#include "measure/decimal_text.h"
#include "measure/file_io_tests.h"
#include "measure/ini_string.h"
#include "measure/text_file.h"

namespace {

enum ProfilePhase : std::size_t { kCall };
enum CustomReadPhase : std::size_t { kOpen, kReadLines, kClose };

} // namespace

Win32Error FileIoTests::ReadPrivateProfileString() {
    LogProgress(kProfileReadTest, kTests[kProfileReadTest].startLine);
    const std::wstring profilePath = ProfilePathFor(settings.testFilePath);
    const std::wstring section = L"Section1";
    std::wstring key;
    key.reserve(16);
    std::wstring value;
    value.reserve(32);
    // One pass: one GetIniString per key.
    return TimeLoop(kProfileReadTest, [&](std::uint32_t i, auto& phases) -> Win32Error {
        key.assign(L"Key");
        AppendDecimal(key, i);
        if (const Win32Error code = GetIniString(profilePath, section, key, &value))
            return code;
        phases.End(kCall, i);
        return 0;
    });
}

Win32Error FileIoTests::ReadCustomFunction() {
    TextFile file;
    if (const Win32Error code = file.SetPath(settings.testFilePath))
        return code;
    LogProgress(kCustomReadTest, kTests[kCustomReadTest].startLine);
    std::wstring line;
    line.reserve(32);
    // Pass i opens the file, reads the header and the first i key lines, and
    // closes it.
    return TimeLoop(kCustomReadTest, [&](std::uint32_t i, auto& phases) -> Win32Error {
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
        return 0;
    });
}
