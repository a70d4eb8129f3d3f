#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The most clients a run may have (-clients).
inline constexpr std::uint32_t kMaxClients = 256;

// The most runs an invocation may repeat (-runs).
inline constexpr std::uint32_t kMaxRuns = 1000;

// What the command line decided for this run.
struct RunSettings {
    std::wstring target;       // directory as typed after -target
    std::wstring testFilePath; // target + "\" + UUID; empty until the command line was accepted
    std::uint32_t iterations = 1000;
    std::uint32_t clients = 1; // -clients: how many clients run the tests at once, each on its own file
    // -clients with a list ("1,2,4,8"): a sweep, the whole sequence once per
    // count (ascending); empty for a single count. `clients` is then the
    // count of the sweep's step in progress.
    std::vector<std::uint32_t> clientSweep;
    std::uint32_t runs = 1; // -runs: how many times the four tests run, each time on fresh files
    std::wstring label;     // -label: a name for the run, or empty
    bool latency = false;   // -latency: keep and report the time of every phase of every pass
    std::wstring jsonPath;  // -json: full path of the run's JSON document, or empty
    std::wstring csvPath;   // -csv: full path of the sheet that gets a row per run, or empty
    std::wstring htmlPath;  // -html: full path of the report page, or empty
    // -compare: the result documents to compare, the baseline first (at least
    // two); empty for a run of the tests.
    std::vector<std::wstring> compareFiles;
};

// Elapsed time of each timed test in microseconds; a slot is written once, when
// its test's loop has completed without error.
struct TestDurations {
    std::uint64_t writeCustomFunction = 0;
    std::uint64_t readPrivateProfileString = 0;
    std::uint64_t readCustomFunction = 0;
    std::uint64_t createDeleteLoop = 0;
};
