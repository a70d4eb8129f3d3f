#pragma once
// The four timed tests as every part of the tool names them: one row each, in
// the order they run.
#include <cstddef>
#include <cstdint>

#include "core/run_settings.h"

inline constexpr std::size_t kTestCount = 4;
// The most phases one pass of a test has.
inline constexpr std::size_t kMaxPhases = 4;

// Where each test stands in kTests (and in every per-test array).
enum TestIndex : std::size_t { kWriteTest, kProfileReadTest, kCustomReadTest, kCreateDeleteTest };

struct TestInfo {
    const wchar_t* name;        // in tables and result files: "Write with custom function"
    const wchar_t* resultLabel; // its result line up to the seconds, 32 characters so they line up
    const char* csvName;        // the stem of its CSV columns
    const wchar_t* category;    // the log category of its progress lines
    // The progress line at its start; none for the write test, whose line
    // names the files it creates.
    const wchar_t* startLine;
    std::uint64_t TestDurations::*duration; // its slot
    // Its phases, in the order they happen in one pass.
    const wchar_t* const* phaseNames;
    std::size_t phaseCount;
};

extern const TestInfo kTests[kTestCount];
