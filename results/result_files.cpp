#include "results/result_files.h"

#include <exception>

#include "fsutil/result_file.h"
#include "logging/logger.h"
#include "results/csv_sheet.h"
#include "results/json_document.h"
#include "results/report_assets.h"
#include "results/run_report.h"
#include "results/result_columns.h"

namespace {

void LogWriteFailure(const std::wstring& path, Win32Error code, const std::wstring& keptAt) {
    LogMessage(LogLevel::ERROR, L"Result",
               L"Writing the result file <" + path + L"> failed with: " + ResultText(code) +
                   (keptAt.empty() ? L"" : L" (the results are in <" + keptAt + L">)"));
}

} // namespace

Win32Error WriteWholeFile(const std::wstring& path, const std::string& text) {
    std::wstring keptAt;
    const Win32Error code = ReplaceFileContent(path, text, keptAt);
    if (code != 0)
        LogWriteFailure(path, code, keptAt);
    return code;
}

Win32Error WriteReportPage(const std::wstring& path, const ReportPage& page) {
    ReportAssets assets;
    if (const Win32Error code = LoadReportAssets(assets)) {
        LogWriteFailure(path, code, L"");
        return code;
    }
    return WriteWholeFile(path, ReportHtml(page, assets));
}

Win32Error WriteResultFiles(const RunSettings& settings, RunSeries& series) {
    // Builds the text (which can run out of memory) and writes it.
    const auto write = [&](const std::wstring& path, auto writeFile) -> Win32Error {
        if (path.empty())
            return 0;
        try {
            return writeFile();
        } catch (const std::exception&) {
            LogWriteFailure(path, win32::kOutOfMemory, L"");
            return win32::kOutOfMemory;
        }
    };
    // The document first, so that the row's result is the run's exit code, a
    // document that could not be written included.
    const Win32Error json = write(
        settings.jsonPath, [&] { return WriteWholeFile(settings.jsonPath, JsonDocument(settings, series)); });
    if (series.result == 0)
        series.result = json;
    const Win32Error html = write(
        settings.htmlPath, [&] { return WriteReportPage(settings.htmlPath, RunReport(settings, series)); });
    if (series.result == 0)
        series.result = html;
    const Win32Error csv = write(settings.csvPath, [&] {
        const Win32Error code = AppendRow(settings.csvPath, CsvHeader(), CsvRows(settings, series));
        if (code != 0)
            LogWriteFailure(settings.csvPath, code, L"");
        return code;
    });
    return json != 0 ? json : html != 0 ? html : csv;
}
