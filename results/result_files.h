#pragma once
// Writing the result files that the command line asked for (-json, -csv).
#include "driver/run_settings.h"
#include "errors/win32_error.h"
#include "results/run_record.h"

// Writes the result files the command line asked for, the JSON document first;
// logs a failure (category "Result") and returns its code. The CSV row's
// result is the exit code: series.result, or when that is 0, the code of a
// JSON document that could not be written, which then becomes series.result.
Win32Error WriteResultFiles(const RunSettings& settings, RunSeries& series);
