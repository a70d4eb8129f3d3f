#pragma once
// The CSV sheet that collects a row per run: fields quoted as RFC 4180 says,
// each line ending in CR LF.
#include <string>

#include "core/run_settings.h"
#include "core/run_record.h"

// The header row this version writes.
std::string CsvHeader();

// A row per run of the series. The latency fields (of the run's own passes)
// stay empty without -latency, and a test that did not complete leaves its
// fields empty. The result is the invocation's exit code `exitCode`, on every
// row.
std::string CsvRows(const RunSettings& settings, const RunSeries& series, Win32Error exitCode);
