#pragma once
// The report page of an invocation that ran the tests: a run, repeated runs
// or a client sweep (-html).
#include <string>

#include "core/run_settings.h"
#include "results/html_report.h"
#include "core/run_record.h"

// The page's tables and charts: the run's facts, each test's seconds (per
// run, or per client count of a sweep), a latency distribution per test and
// phase with a curve per run (per client count of a sweep) where there are
// samples, and for a sweep operations per second and p99 against clients.
// Its result is the invocation's exit code `exitCode`. Throws std::bad_alloc
// when there is no memory for it.
ReportPage RunReport(const RunSettings& settings, const RunSeries& series, Win32Error exitCode);
