#pragma once
// Comparing one result document with the baseline: what differs between them,
// on which basis a verdict rests, and a row per test and phase with its
// change. Computed here; drawn by comparison_tables.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "results/comparison_stats.h"
#include "results/result_documents.h"

enum class Basis { Runs, Passes, Totals };

inline constexpr std::size_t kNoPhase = static_cast<std::size_t>(-1);

// One row: a test's (phase kNoPhase) or a test's phase.
struct ComparisonRow {
    std::size_t test = 0;
    std::size_t phase = kNoPhase;
    bool judged = false; // false: a test compared on its totals alone, no verdict
    Change change{};
    // A test's median seconds of the runs, baseline then other.
    double baselineSeconds = 0, otherSeconds = 0;
    // A phase's p50 of each, then its p99 of each (microseconds).
    std::array<double, 4> percentiles{};
};

struct Comparison {
    const ResultDocument* baseline = nullptr;
    const ResultDocument* other = nullptr;
    std::vector<std::wstring> differences; // how the other document's run differs, in words
    Basis basis = Basis::Totals;
    std::vector<ComparisonRow> rows; // the tests in order, then the phases
};

// Compares `other` with `baseline` (large per-pass sets on every core).
Comparison CompareWithBaseline(const ResultDocument& baseline, const ResultDocument& other);
