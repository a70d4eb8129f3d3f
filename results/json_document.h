#pragma once
#include <string>

#include "core/run_settings.h"
#include "core/run_record.h"

// The version of the document's layout. 2: runs (runResults), labels and
// per-pass samples.
inline constexpr int kDocumentVersion = 2;

// The JSON document of an invocation (UTF-8): tool, document version and
// version, label, start, computer and account, target and test files,
// iterations, clients and runs; per test its seconds (of the one run, or the
// median over the runs with their min, max and median absolute deviation),
// operations per second of all clients, each client's seconds and with
// -latency the statistics of the pass and of each phase over everything; every
// run with its own tests (with -latency each phase's per-pass times per
// client, in microseconds to the tenth); and the result code with its text.
std::string JsonDocument(const RunSettings& settings, const RunSeries& series);
