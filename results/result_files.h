#pragma once
// Writing the result files that the command line asked for (-json, -csv).
#include <string>

#include "driver/run_settings.h"
#include "errors/win32_error.h"
#include "results/html_report.h"
#include "results/run_record.h"

// Writes the result files the command line asked for, the JSON document first,
// then the report page;
// logs a failure (category "Result") and returns its code. The CSV row's
// result is the exit code: series.result, or when that is 0, the code of a
// JSON document that could not be written, which then becomes series.result.
Win32Error WriteResultFiles(const RunSettings& settings, RunSeries& series);

// Writes `text` as the whole content of the document (JSON or a report page)
// at `path`, whole or not at all; logs a failure, naming where a finished
// document was kept, and returns its code.
Win32Error WriteWholeFile(const std::wstring& path, const std::string& text);

// Writes `page` with the assets embedded in the executable to `path` as
// WriteWholeFile does; logs a failure and returns its code.
Win32Error WriteReportPage(const std::wstring& path, const ReportPage& page);
