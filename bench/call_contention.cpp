// Benchmark (not a test): one system or runtime call that the timed tests
// make, in a loop on a file of each thread's own, by several threads of one
// process at once. Run with 1 thread by several processes at the same time, it
// shows what the same calls cost when nothing is shared within a process, so
// that the two together tell whether threads of one process contend where
// processes would not, below the tool (in the system or the runtime).
//
//   call_contention <folder> <threads> <iterations> attributes|open|runtime-open|profile
//
// attributes: GetFileAttributesW; open: CreateFileW for appending and
// CloseHandle; runtime-open: _wfsopen for appending and fclose; profile:
// GetPrivateProfileStringW of a key. Prints the slowest thread's seconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <share.h>
#include <string>
#include <thread>
#include <vector>

#include "measure/stopwatch.h"

namespace {

enum class Call { Attributes, Open, RuntimeOpen, Profile };

double Loop(const std::wstring& file, Call call, unsigned iterations) {
    const std::int64_t start = Stopwatch::Now();
    wchar_t value[64];
    for (unsigned i = 0; i < iterations; ++i) {
        switch (call) {
        case Call::Attributes:
            GetFileAttributesW(file.c_str());
            break;
        case Call::Open: {
            const HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE)
                CloseHandle(h);
            break;
        }
        case Call::RuntimeOpen:
            if (FILE* f = _wfsopen(file.c_str(), L"at, ccs=UNICODE", _SH_DENYWR))
                std::fclose(f);
            break;
        case Call::Profile:
            GetPrivateProfileStringW(L"Section", L"Key1", L"", value, 64, file.c_str());
            break;
        }
    }
    return static_cast<double>(Stopwatch::Now() - start) / Stopwatch::Frequency();
}

} // namespace

int wmain(int argc, wchar_t* argv[]) {
    if (argc != 5)
        return 87;
    const std::wstring folder = argv[1];
    const unsigned threads = std::max(1ul, std::wcstoul(argv[2], nullptr, 10));
    const unsigned iterations = std::wcstoul(argv[3], nullptr, 10);
    const std::wstring name = argv[4];
    const Call call = name == L"attributes" ? Call::Attributes
                      : name == L"open"     ? Call::Open
                      : name == L"profile"  ? Call::Profile
                                            : Call::RuntimeOpen;
    std::vector<std::wstring> files;
    for (unsigned t = 0; t < threads; ++t) {
        files.push_back(folder + L"\\contention-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(t) + L".ini");
        WritePrivateProfileStringW(L"Section", L"Key1", L"Value1", files.back().c_str());
    }
    std::vector<double> seconds(threads);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([&, t] { seconds[t] = Loop(files[t], call, iterations); });
    for (std::thread& worker : workers)
        worker.join();
    for (const std::wstring& file : files)
        DeleteFileW(file.c_str());
    std::printf("%.6f\n", *std::max_element(seconds.begin(), seconds.end()));
    return 0;
}
