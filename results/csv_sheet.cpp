#include "results/csv_sheet.h"

#include <vector>

#include "results/result_report.h"
#include "errors/string_conversion.h"
#include "core/test_table.h"
#include "core/text_format.h"
#include "results/result_text.h"
#include "results/run_summary.h"

namespace {

// One CSV field, quoted when it holds a comma, a quote or a line break, with
// its quotes doubled (RFC 4180).
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += CsvField(fields[i]);
    }
    return line + "\r\n";
}

bool Completed(const RunRecord& record, std::size_t test) {
    return static_cast<int>(test) < record.completedTests;
}

} // namespace

std::string CsvHeader() {
    std::vector<std::string> fields = {"time", "computer", "target", "iterations"};
    for (const TestInfo& test : kTests)
        fields.push_back(std::string(test.csvName) + "_s");
    for (const TestInfo& test : kTests) {
        for (const char* statistic : {"_p50_us", "_p99_us", "_max_us"})
            fields.push_back(test.csvName + std::string(statistic));
    }
    for (const char* field : {"result", "clients", "label", "run"})
        fields.push_back(field);
    return CsvLine(fields);
}

std::string CsvRows(const RunSettings& settings, const RunSeries& series, Win32Error exitCode) {
    std::string rows;
    const std::vector<std::size_t> numbers = RunNumbers(series);
    for (std::size_t r = 0; r < series.runs.size(); ++r) {
        const RunRecord& record = series.runs[r];
        std::vector<std::string> fields = {IsoUtc(record.startTime), Utf16ToUtf8(series.computer),
                                           Utf16ToUtf8(settings.target), std::to_string(settings.iterations)};
        for (std::size_t t = 0; t < std::size(kTests); ++t)
            fields.push_back(Completed(record, t)
                                 ? Utf16ToUtf8(FormatSeconds(Seconds(record.durations.*kTests[t].duration)))
                                 : "");
        for (std::size_t t = 0; t < std::size(kTests); ++t) {
            const bool known = settings.latency && Completed(record, t);
            const LatencyStats pass =
                known ? LatencyOf(&record, 1, t, series.counterFrequency).pass : LatencyStats{};
            for (const double value : {pass.p50, pass.p99, pass.max})
                fields.push_back(known ? Utf16ToUtf8(Microseconds(value)) : "");
        }
        fields.push_back(std::to_string(exitCode));
        fields.push_back(std::to_string(record.clients.size()));
        fields.push_back(Utf16ToUtf8(settings.label));
        fields.push_back(std::to_string(numbers[r]));
        rows += CsvLine(fields);
    }
    return rows;
}
