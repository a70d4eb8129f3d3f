// Measures what the tool itself adds to its four timed tests: each test is run
// through the tool's own code and, against the same directory, as a raw loop
// of exactly the same Windows and runtime calls written by hand (the floor).
// Prints, per test, the times per iteration and their ratios.
//
//   timed_tests_bench.exe <directory> [iterations=1000] [rounds=15] [-latency]
//
// Without -latency: the tool against the floor. With -latency: the tool with
// phase timing against the floor with the same counter reads (the same phase
// recorder) and against the tool without phase timing.
//
// Each round runs every variant once, back to back, the first place taken in
// turn. Under Wine one round's time varies by several per cent, so the figures
// are medians over the rounds, and a ratio is the median of the rounds' own
// ratios (each round's variants ran at nearly the same moment).
#include <windows.h>
#include <share.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "core/test_table.h"
#include "measure/file_io_tests.h"
#include "measure/phase_times.h"
#include "measure/stopwatch.h"
#include "measure/uuid_text.h"
#include "fsutil/delete_file.h"
#include "fsutil/long_path.h"

namespace {

// Closes as the tool's text file does: written out first, then closed.
void WriteOutAndClose(FILE* f) {
    SetLastError(ERROR_SUCCESS);
    std::fflush(f);
    std::fclose(f);
}

// Times `loop` as the tool times its tests; false when the loop failed.
template <class Loop> bool Timed(std::int64_t& micros, Loop loop) {
    Stopwatch watch;
    watch.Start();
    if (!loop())
        return false;
    watch.Stop();
    micros = watch.ElapsedMicroseconds();
    return true;
}

// The write test by hand: attribute query, append open, one formatted line, close.
template <class Phases>
bool RawWrite(const std::wstring& path, std::uint32_t iterations, std::int64_t& micros, Phases& phases) {
    FILE* f = _wfsopen(path.c_str(), L"wt, ccs=UNICODE", _SH_DENYWR);
    if (!f)
        return false;
    std::fwprintf(f, L"%ls\n", L"[Section1]");
    std::fclose(f);
    const std::wstring longPath = LongPathOf(path);
    return Timed(micros, [&] {
        phases.Start();
        for (std::uint32_t i = 0; i < iterations; ++i) {
            GetFileAttributesW(longPath.c_str());
            f = _wfsopen(longPath.c_str(), L"at, ccs=UNICODE", _SH_DENYWR);
            if (!f)
                return false;
            phases.End(0, i);
            std::fwprintf(f, L"Key%u=Value%u\n", i, i);
            phases.End(1, i);
            WriteOutAndClose(f);
            phases.End(2, i);
        }
        return true;
    });
}

// The profile read by hand: attribute query, one GetPrivateProfileStringW.
template <class Phases>
bool RawProfileRead(const std::wstring& path, std::uint32_t iterations, std::int64_t& micros,
                    Phases& phases) {
    const std::wstring longPath = LongPathOf(path);
    wchar_t key[32];
    static wchar_t value[4096];
    return Timed(micros, [&] {
        phases.Start();
        for (std::uint32_t i = 0; i < iterations; ++i) {
            GetFileAttributesW(longPath.c_str());
            std::swprintf(key, 32, L"Key%u", i);
            if (GetPrivateProfileStringW(L"Section1", key, nullptr, value, 4096, path.c_str()) == 0)
                return false;
            phases.End(0, i);
        }
        return true;
    });
}

// The custom read by hand: open, read i + 1 lines with fgetwc, close.
template <class Phases>
bool RawCustomRead(const std::wstring& path, std::uint32_t iterations, std::int64_t& micros, Phases& phases) {
    const std::wstring longPath = LongPathOf(path);
    return Timed(micros, [&] {
        phases.Start();
        for (std::uint32_t i = 0; i < iterations; ++i) {
            FILE* f = _wfsopen(longPath.c_str(), L"rt, ccs=UNICODE", _SH_DENYWR);
            if (!f)
                return false;
            phases.End(0, i);
            for (std::uint32_t lines = 0; lines <= i;) {
                const wint_t c = std::fgetwc(f);
                if (c == WEOF)
                    return false;
                if (c == L'\n')
                    ++lines;
            }
            phases.End(1, i);
            WriteOutAndClose(f);
            phases.End(2, i);
        }
        return true;
    });
}

// The create/delete loop by hand: create, one formatted line, close, delete.
template <class Phases>
bool RawCreateDelete(const std::wstring& base, std::uint32_t iterations, std::int64_t& micros,
                     Phases& phases) {
    wchar_t name[1024];
    wchar_t longName[1024];
    const std::wstring longBase = LongPathOf(base);
    return Timed(micros, [&] {
        phases.Start();
        for (std::uint32_t i = 0; i < iterations; ++i) {
            std::swprintf(name, 1024, L"%ls%u", base.c_str(), i);
            std::swprintf(longName, 1024, L"%ls%u", longBase.c_str(), i);
            FILE* f = _wfsopen(longName, L"wt, ccs=UNICODE", _SH_DENYWR);
            if (!f)
                return false;
            phases.End(0, i);
            std::fwprintf(f, L"Dummy data %u\n", i);
            phases.End(1, i);
            WriteOutAndClose(f);
            phases.End(2, i);
            if (!DeleteFileW(longName))
                return false;
            phases.End(3, i);
        }
        return true;
    });
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

constexpr int kTestCount_ = static_cast<int>(kTestCount);

// One way of running the four tests; each returns its microseconds, or a
// negative value when it failed.
using Variant = std::function<std::int64_t(int test)>;

std::int64_t RunTool(FileIoTests& tool, int test) {
    Win32Error (FileIoTests::*const runs[kTestCount_])() = {
        &FileIoTests::WriteCustomFunction, &FileIoTests::ReadPrivateProfileString,
        &FileIoTests::ReadCustomFunction, &FileIoTests::CreateDeleteLoop};
    if ((tool.*runs[test])() != 0)
        return -1;
    return static_cast<std::int64_t>(tool.durations.*kTests[test].duration);
}

template <class Phases>
std::int64_t RunFloor(const std::wstring& file, std::uint32_t n, Phases& phases, int test) {
    std::int64_t micros = -1;
    const bool ok = test == 0   ? RawWrite(file, n, micros, phases)
                    : test == 1 ? RawProfileRead(file, n, micros, phases)
                    : test == 2 ? RawCustomRead(file, n, micros, phases)
                                : RawCreateDelete(file, n, micros, phases);
    return ok ? micros : -1;
}

} // namespace

int wmain(int argc, wchar_t* argv[]) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    const auto latencyFlag = std::find(args.begin(), args.end(), L"-latency");
    const bool latency = latencyFlag != args.end();
    if (latency)
        args.erase(latencyFlag);
    if (args.empty()) {
        std::fwprintf(stderr,
                      L"usage: timed_tests_bench <directory> [iterations=1000] [rounds=15] [-latency]\n");
        return 87;
    }
    std::wstring directory = args[0];
    if (directory.back() != L'\\')
        directory += L'\\';
    std::int32_t iterations = 1000;
    std::int32_t rounds = 15;
    if ((args.size() > 1 && (!ParseInt32(args[1], iterations) || iterations <= 0)) ||
        (args.size() > 2 && (!ParseInt32(args[2], rounds) || rounds <= 0))) {
        std::fwprintf(stderr, L"iterations and rounds must be positive numbers\n");
        return 87;
    }
    const std::uint32_t n = static_cast<std::uint32_t>(iterations);

    // Each variant works on a test file of its own; the write test makes the
    // file that the read tests read, so the tests run in order.
    FileIoTests tool;
    tool.settings.iterations = n;
    tool.settings.testFilePath = directory + GetUuidString(CreateUuid());
    tool.settings.latency = latency;
    FileIoTests plainTool;
    plainTool.settings.iterations = n;
    plainTool.settings.testFilePath = directory + GetUuidString(CreateUuid());
    const std::wstring rawFile = directory + GetUuidString(CreateUuid());
    PhaseTimes floorPhases;
    NoPhaseTimes noPhases;
    if (latency && !floorPhases.Reserve(4, n)) {
        std::fwprintf(stderr, L"no memory for the phase times\n");
        return 14;
    }

    std::vector<Variant> variants = {
        [&](int test) { return RunTool(tool, test); },
        latency ? Variant([&](int test) { return RunFloor(rawFile, n, floorPhases, test); })
                : Variant([&](int test) { return RunFloor(rawFile, n, noPhases, test); }),
    };
    if (latency)
        variants.push_back([&](int test) { return RunTool(plainTool, test); });

    std::vector<double> times[kTestCount_][3], ratios[kTestCount_][2];
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        for (int test = 0; test < kTestCount_ && ok; ++test) {
            std::int64_t micros[3] = {};
            for (std::size_t k = 0; k < variants.size() && ok; ++k) {
                const std::size_t v = (round + k) % variants.size();
                micros[v] = variants[v](test);
                ok = micros[v] > 0;
            }
            for (std::size_t v = 0; v < variants.size() && ok; ++v)
                times[test][v].push_back(static_cast<double>(micros[v]) / n);
            for (std::size_t v = 1; v < variants.size() && ok; ++v)
                ratios[test][v - 1].push_back(static_cast<double>(micros[0]) /
                                              static_cast<double>(micros[v]));
        }
    }
    for (const FileIoTests* t : {&tool, &plainTool})
        DeleteAnyFile(true, false, false, t->settings.testFilePath);
    DeleteAnyFile(true, false, false, rawFile);
    if (!ok) {
        std::fwprintf(stderr, L"a loop failed against %ls\n", directory.c_str());
        return 1;
    }

    std::wprintf(L"%d iterations, median of %d rounds, microseconds per iteration%ls\n", iterations, rounds,
                 latency ? L", tool with -latency" : L"");
    if (latency)
        std::wprintf(L"%-28ls %12ls %12ls %12ls %10ls %10ls\n", L"test", L"tool", L"floor", L"tool plain",
                     L"/floor", L"/plain");
    else
        std::wprintf(L"%-28ls %12ls %12ls %8ls\n", L"test", L"tool", L"floor", L"ratio");
    for (int t = 0; t < kTestCount_; ++t) {
        if (latency)
            std::wprintf(L"%-28ls %12.2f %12.2f %12.2f %10.3f %10.3f\n", kTests[t].name, Median(times[t][0]),
                         Median(times[t][1]), Median(times[t][2]), Median(ratios[t][0]),
                         Median(ratios[t][1]));
        else
            std::wprintf(L"%-28ls %12.2f %12.2f %8.3f\n", kTests[t].name, Median(times[t][0]),
                         Median(times[t][1]), Median(ratios[t][0]));
    }
    return 0;
}
