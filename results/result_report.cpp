#include "results/result_report.h"

#include "core/test_table.h"
#include "core/text_format.h"
#include "logging/logger.h"

void LogResultLines(const TestDurations& durations) {
    for (const TestInfo& test : kTests)
        LogMessage(LogLevel::INFO, L"Result",
                   (&test == kTests ? L"\n" : L"") + std::wstring(test.resultLabel) +
                       FormatSeconds(Seconds(durations.*test.duration)));
}
