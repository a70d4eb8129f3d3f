// Measures what the tool itself adds to its four timed tests: each test is run
// through the tool's own code and, against the same directory, as a raw loop
// of exactly the same Windows and runtime calls written by hand (the floor).
// Prints, per test, both times per iteration and their ratio.
//
//   timed_tests_bench.exe <directory> [iterations=1000] [rounds=15]
//
// Each pair runs `rounds` times, tool and floor back to back and taking turns
// at going first. Under Wine one round's time varies by several per cent, so
// the figures are medians over the rounds, and the ratio is the median of the
// rounds' own tool/floor ratios (each pair ran at nearly the same moment).
#include <windows.h>
#include <share.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/file_io_tests.h"
#include "driver/stopwatch.h"
#include "driver/uuid_text.h"
#include "fsutil/delete_file.h"
#include "fsutil/long_path.h"

namespace {

std::wstring LongPath(std::wstring path) {
    MakeLongPath(&path);
    return path;
}

// Closes as the tool's text file does: written out first, then closed.
void WriteOutAndClose(FILE* f) {
    SetLastError(ERROR_SUCCESS);
    std::fflush(f);
    std::fclose(f);
}

// The write test by hand: attribute query, append open, one formatted line, close.
bool RawWrite(const std::wstring& path, std::uint32_t iterations, std::int64_t& micros) {
    FILE* f = _wfsopen(path.c_str(), L"wt, ccs=UNICODE", _SH_DENYWR);
    if (!f)
        return false;
    std::fwprintf(f, L"%ls\n", L"[Section1]");
    std::fclose(f);
    const std::wstring longPath = LongPath(path);
    Stopwatch watch;
    watch.Start();
    for (std::uint32_t i = 0; i < iterations; ++i) {
        GetFileAttributesW(longPath.c_str());
        f = _wfsopen(longPath.c_str(), L"at, ccs=UNICODE", _SH_DENYWR);
        if (!f)
            return false;
        std::fwprintf(f, L"Key%u=Value%u\n", i, i);
        WriteOutAndClose(f);
    }
    watch.Stop();
    micros = watch.ElapsedMicroseconds();
    return true;
}

// The profile read by hand: attribute query, one GetPrivateProfileStringW.
bool RawProfileRead(const std::wstring& path, std::uint32_t iterations, std::int64_t& micros) {
    const std::wstring longPath = LongPath(path);
    wchar_t key[32];
    static wchar_t value[4096];
    Stopwatch watch;
    watch.Start();
    for (std::uint32_t i = 0; i < iterations; ++i) {
        GetFileAttributesW(longPath.c_str());
        std::swprintf(key, 32, L"Key%u", i);
        if (GetPrivateProfileStringW(L"Section1", key, nullptr, value, 4096, path.c_str()) == 0)
            return false;
    }
    watch.Stop();
    micros = watch.ElapsedMicroseconds();
    return true;
}

// The custom read by hand: open, read i + 1 lines with fgetwc, close.
bool RawCustomRead(const std::wstring& path, std::uint32_t iterations, std::int64_t& micros) {
    Stopwatch watch;
    watch.Start();
    const std::wstring longPath = LongPath(path);
    for (std::uint32_t i = 0; i < iterations; ++i) {
        FILE* f = _wfsopen(longPath.c_str(), L"rt, ccs=UNICODE", _SH_DENYWR);
        if (!f)
            return false;
        for (std::uint32_t lines = 0; lines <= i;) {
            const wint_t c = std::fgetwc(f);
            if (c == WEOF)
                return false;
            if (c == L'\n')
                ++lines;
        }
        WriteOutAndClose(f);
    }
    watch.Stop();
    micros = watch.ElapsedMicroseconds();
    return true;
}

// The create/delete loop by hand: create, one formatted line, close, delete.
bool RawCreateDelete(const std::wstring& base, std::uint32_t iterations, std::int64_t& micros) {
    wchar_t name[1024];
    wchar_t longName[1024];
    const std::wstring longBase = LongPath(base);
    Stopwatch watch;
    watch.Start();
    for (std::uint32_t i = 0; i < iterations; ++i) {
        std::swprintf(name, 1024, L"%ls%u", base.c_str(), i);
        std::swprintf(longName, 1024, L"%ls%u", longBase.c_str(), i);
        FILE* f = _wfsopen(longName, L"wt, ccs=UNICODE", _SH_DENYWR);
        if (!f)
            return false;
        std::fwprintf(f, L"Dummy data %u\n", i);
        WriteOutAndClose(f);
        if (!DeleteFileW(longName))
            return false;
    }
    watch.Stop();
    micros = watch.ElapsedMicroseconds();
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace

int wmain(int argc, wchar_t* argv[]) {
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: timed_tests_bench <directory> [iterations=1000] [rounds=15]\n");
        return 87;
    }
    std::wstring directory = argv[1];
    if (directory.back() != L'\\')
        directory += L'\\';
    std::int32_t iterations = 1000;
    std::int32_t rounds = 15;
    if ((argc > 2 && (!ParseInt32(argv[2], iterations) || iterations <= 0)) ||
        (argc > 3 && (!ParseInt32(argv[3], rounds) || rounds <= 0))) {
        std::fwprintf(stderr, L"iterations and rounds must be positive numbers\n");
        return 87;
    }

    FileIoTests tool;
    tool.settings.iterations = static_cast<std::uint32_t>(iterations);
    tool.settings.testFilePath = directory + GetUuidString(CreateUuid());
    const std::wstring rawFile = directory + GetUuidString(CreateUuid());

    constexpr int kTests = 4;
    const wchar_t* const names[kTests] = {L"Write with custom function", L"ReadPrivateProfileString",
                                          L"Read with custom function", L"Create/delete loop"};
    std::vector<double> toolTimes[kTests], floorTimes[kTests], ratios[kTests];
    // The write test makes the file that the read tests read, so the tests run
    // in order; within each pair, tool and floor take turns at going first.
    const std::uint32_t n = tool.settings.iterations;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        const bool toolFirst = round % 2 == 0;
        std::int64_t raw[kTests] = {};
        const auto pair = [&](auto runTool, auto runFloor) {
            return toolFirst ? runTool() == 0 && runFloor() : runFloor() && runTool() == 0;
        };
        ok = pair([&] { return tool.WriteCustomFunction(); }, [&] { return RawWrite(rawFile, n, raw[0]); }) &&
             pair([&] { return tool.ReadPrivateProfileString(); },
                  [&] { return RawProfileRead(rawFile, n, raw[1]); }) &&
             pair([&] { return tool.ReadCustomFunction(); },
                  [&] { return RawCustomRead(rawFile, n, raw[2]); }) &&
             pair([&] { return tool.CreateDeleteLoop(); },
                  [&] { return RawCreateDelete(rawFile, n, raw[3]); });
        const std::uint64_t measured[kTests] = {
            tool.durations.writeCustomFunction, tool.durations.readPrivateProfileString,
            tool.durations.readCustomFunction, tool.durations.createDeleteLoop};
        for (int t = 0; t < kTests && ok; ++t) {
            toolTimes[t].push_back(static_cast<double>(measured[t]) / n);
            floorTimes[t].push_back(static_cast<double>(raw[t]) / n);
            ratios[t].push_back(raw[t] > 0 ? static_cast<double>(measured[t]) / static_cast<double>(raw[t])
                                           : 0.0);
        }
    }
    DeleteAnyFile(true, false, false, tool.settings.testFilePath);
    DeleteAnyFile(true, false, false, rawFile);
    if (!ok) {
        std::fwprintf(stderr, L"a loop failed against %ls\n", directory.c_str());
        return 1;
    }

    std::wprintf(L"%d iterations, median of %d rounds, microseconds per iteration\n", iterations, rounds);
    std::wprintf(L"%-28ls %12ls %12ls %8ls\n", L"test", L"tool", L"floor", L"ratio");
    for (int t = 0; t < kTests; ++t)
        std::wprintf(L"%-28ls %12.2f %12.2f %8.3f\n", names[t], Median(toolTimes[t]), Median(floorTimes[t]),
                     Median(ratios[t]));
    return 0;
}
