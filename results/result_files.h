#pragma once
// Checking and writing the result files that the command line asked for
// (-json, -csv, -html).
#include <string>

#include "core/run_settings.h"
#include "errors/win32_error.h"
#include "results/html_report.h"
#include "core/run_record.h"

// Checks, before any test, that the result file at `path` (a full path) can be
// written and lies outside `targetFolder` (none: no target), whose files the
// run creates and deletes. A JSON document or a page is replaced whole
// (`replacedWhole`), a CSV sheet appended to. 0, or 87 with `error` saying why.
Win32Error CheckResultFile(const std::wstring& path, bool replacedWhole, const std::wstring& targetFolder,
                           std::wstring& error);

// A CSV sheet gets rows under this version's header only: rows appended under
// another header (an older version's, another program's) would not match its
// columns. 0 for a sheet that is new, empty or of this version; else 87 with
// `error` saying why.
Win32Error CheckCsvHeader(const std::wstring& path, std::wstring& error);

// Writes the result files the command line asked for, the JSON document first,
// then the report page, then the CSV rows; logs a failure (category "Result")
// and returns its code. The page's and the rows' result is the exit code:
// series.result, or when that is 0, the code of a file written before them
// that could not be written.
Win32Error WriteResultFiles(const RunSettings& settings, const RunSeries& series);

// Writes `text` as the whole content of the document (JSON or a report page)
// at `path`, whole or not at all; logs a failure, naming where a finished
// document was kept, and returns its code.
Win32Error WriteWholeFile(const std::wstring& path, const std::string& text);

// Writes `page` with the assets embedded in the executable to `path` as
// WriteWholeFile does; logs a failure and returns its code.
Win32Error WriteReportPage(const std::wstring& path, const ReportPage& page);
