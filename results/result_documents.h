#pragma once
// Reading the tool's own result documents back, for -compare: their facts,
// each run's seconds per test and, where they hold per-pass samples, every
// pass and each run's own median pass of every phase.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "core/test_table.h"
#include "errors/win32_error.h"

struct ResultDocument {
    std::wstring file;
    std::wstring name; // the label, or else the file name
    std::wstring label, computer, target, start;
    std::string version;
    long long iterations = 0;
    long long clients = 1;
    std::size_t runs = 0;
    // Per test: the seconds of every run that completed it, in run order.
    std::array<std::vector<double>, kTestCount> runSeconds;
    bool hasSamples = false;
    // Per test: every pass of every client and run (microseconds), the pass
    // being its phases added up.
    std::array<std::vector<double>, kTestCount> passUs;
    // Per test and phase: every pass of every client and run.
    std::array<std::array<std::vector<double>, kMaxPhases>, kTestCount> phaseUs;
    // Per test and phase: each run's median pass over all its clients, in run
    // order (the runs that completed the test with samples).
    std::array<std::array<std::vector<double>, kMaxPhases>, kTestCount> runPhaseMedianUs;
};

// Reads the result document at `file`; 0, or 87 with a message naming the file
// logged (category "Compare") for a document that is missing, not JSON, not
// this tool's, of a newer document version, or of a client sweep.
Win32Error ReadResultDocument(const std::wstring& file, ResultDocument& document);
