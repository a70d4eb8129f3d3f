#include "results/result_files.h"

#include <exception>

#include "fsutil/result_file.h"
#include "logging/logger.h"
#include "results/csv_sheet.h"
#include "results/json_document.h"
#include "results/result_columns.h"

Win32Error WriteResultFiles(const RunSettings& settings, RunSeries& series) {
    const auto write = [&](const std::wstring& path, auto writeFile) -> Win32Error {
        if (path.empty())
            return 0;
        Win32Error code = 0;
        std::wstring keptAt;
        try {
            code = writeFile(keptAt);
        } catch (const std::exception&) {
            code = win32::kOutOfMemory; // what building the text can run out of
        }
        if (code != 0)
            LogMessage(LogLevel::ERROR, L"Result",
                       L"Writing the result file <" + path + L"> failed with: " + ResultText(code) +
                           (keptAt.empty() ? L"" : L" (the results are in <" + keptAt + L">)"));
        return code;
    };
    // The document first, so that the row's result is the run's exit code, a
    // document that could not be written included.
    const Win32Error json = write(settings.jsonPath, [&](std::wstring& keptAt) {
        return ReplaceFileContent(settings.jsonPath, JsonDocument(settings, series), keptAt);
    });
    if (series.result == 0)
        series.result = json;
    const Win32Error csv = write(settings.csvPath, [&](std::wstring&) {
        return AppendRow(settings.csvPath, CsvHeader(), CsvRows(settings, series));
    });
    return json != 0 ? json : csv;
}
