#include "results/result_files.h"

#include <exception>

#include "errors/error_text.h"
#include "fsutil/full_path.h"
#include "fsutil/result_file.h"
#include "logging/logger.h"
#include "results/csv_sheet.h"
#include "results/json_document.h"
#include "results/report_assets.h"
#include "results/run_report.h"
#include "results/result_text.h"

namespace {

void LogWriteFailure(const std::wstring& path, Win32Error code, const std::wstring& keptAt) {
    LogMessage(LogLevel::ERROR, L"Result",
               L"Writing the result file <" + path + L"> failed with: " + ResultText(code) +
                   (keptAt.empty() ? L"" : L" (the results are in <" + keptAt + L">)"));
}

} // namespace

Win32Error CheckResultFile(const std::wstring& path, bool replacedWhole, const std::wstring& targetFolder,
                           std::wstring& error) {
    if (!targetFolder.empty() && IsInFolder(path, targetFolder))
        error = L"The result file <" + path + L"> lies in the target <" + targetFolder +
                L">: results are never written there";
    else if (const Win32Error code = CheckWritable(path, replacedWhole); code == win32::kPathNotFound)
        error = L"The folder of the result file <" + path + L"> does not exist";
    else if (code != 0)
        error = L"The result file <" + path + L"> cannot be written: " + GetErrorText(code);
    return error.empty() ? 0 : win32::kInvalidParameter;
}

Win32Error CheckCsvHeader(const std::wstring& path, std::wstring& error) {
    const std::string header = CsvHeader();
    std::string start;
    if (const Win32Error code = ReadFileStart(path, header.size(), start))
        error = L"The result file <" + path + L"> cannot be read: " + GetErrorText(code);
    else if (!start.empty() && start != header)
        error = L"The CSV sheet <" + path +
                L"> has a header other than this version's: its rows would not match it (start a new sheet)";
    return error.empty() ? 0 : win32::kInvalidParameter;
}

Win32Error WriteWholeFile(const std::wstring& path, const std::string& text) {
    std::wstring keptAt, leftBehind;
    Win32Error leftCode = 0;
    const Win32Error code = ReplaceFileContent(path, text, keptAt, leftBehind, leftCode);
    if (code != 0)
        LogWriteFailure(path, code, keptAt);
    if (!leftBehind.empty())
        LogMessage(LogLevel::WARN, L"Result",
                   L"The temporary file <" + leftBehind + L"> could not be deleted and was left behind: " +
                       ResultText(leftCode));
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

Win32Error WriteResultFiles(const RunSettings& settings, const RunSeries& series) {
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
    Win32Error exitCode = series.result != 0 ? series.result : json;
    const Win32Error html = write(settings.htmlPath, [&] {
        return WriteReportPage(settings.htmlPath, RunReport(settings, series, exitCode));
    });
    if (exitCode == 0)
        exitCode = html;
    const Win32Error csv = write(settings.csvPath, [&] {
        const Win32Error code = AppendRow(settings.csvPath, CsvHeader(), CsvRows(settings, series, exitCode));
        if (code != 0)
            LogWriteFailure(settings.csvPath, code, L"");
        return code;
    });
    return json != 0 ? json : html != 0 ? html : csv;
}
