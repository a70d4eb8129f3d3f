#pragma once
// Writing the result files that the command line asked for (-json, -csv).
#include <string>

#include "driver/run_settings.h"
#include "errors/win32_error.h"
#include "results/run_record.h"

// Writes the result files the command line asked for, the JSON document first;
// logs a failure (category "Result") and returns its code. The CSV row's
// result is the exit code: series.result, or when that is 0, the code of a
// JSON document that could not be written, which then becomes series.result.
Win32Error WriteResultFiles(const RunSettings& settings, RunSeries& series);

// Writes `text` as the whole content of the JSON document at `path` (whole or
// not at all); logs a failure, naming where a finished document was kept, and
// returns its code.
Win32Error WriteJsonFile(const std::wstring& path, const std::string& text);
