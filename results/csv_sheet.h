#pragma once
// The CSV sheet that collects a row per run: fields quoted as RFC 4180 says,
// each line ending in CR LF.
#include <string>

#include "driver/run_settings.h"
#include "results/run_record.h"

// The header row this version writes.
std::string CsvHeader();

// The run's row. The latency fields stay empty without -latency, and a test
// that did not complete leaves its fields empty.
std::string CsvRow(const RunSettings& settings, const RunRecord& record);
