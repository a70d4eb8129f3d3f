#pragma once
// What the console tables and the result files share: the four tests with
// their names and phases, and how times and codes are written.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/file_io_tests.h"
#include "errors/win32_error.h"
#include "results/run_record.h"

// One of the four tests as the results name it.
struct TestColumns {
    const wchar_t* name;
    const char* csvName;
    std::uint64_t TestDurations::*duration;
    PhaseTimes TestPhaseTimes::*phaseTimes;
    const wchar_t* const* phaseNames;
    std::size_t phaseCount;
};

// The four tests, in the order they run.
extern const TestColumns kTests[4];

// The seconds of test `test` in every run of `series` that completed it, in
// run order.
std::vector<double> RunSeconds(const RunSeries& series, std::size_t test);
// The same over the `count` runs at `runs`.
std::vector<double> RunSeconds(const RunRecord* runs, std::size_t count, std::size_t test);

inline double Seconds(std::uint64_t microseconds) {
    return static_cast<double>(microseconds) / 1000000.0;
}

// Microseconds to the counter's tenth, as every table and file shows them.
double Tenths(double microseconds);

// `value` microseconds as text with one decimal ("240.5").
std::wstring Microseconds(double value);

// A FILETIME (UTC) as ISO 8601 text: "2026-12-10T09:30:15.042Z".
std::string IsoUtc(std::uint64_t fileTime);

// The system's text for a code, without its line end.
std::wstring ResultText(Win32Error code);

// `text` padded with blanks to `width` characters, after it or before it.
std::wstring LeftAligned(const std::wstring& text, std::size_t width);
std::wstring RightAligned(const std::wstring& text, std::size_t width);
