#include "driver/result_report.h"

#include <iomanip>
#include <locale>
#include <sstream>

#include "logging/logger.h"

std::wstring FormatSeconds(double seconds) {
    return FormatFixed(seconds, 6);
}

std::wstring FormatFixed(double value, int decimals) {
    std::wostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

void LogResultLines(const TestDurations& durations) {
    // Each label is 32 characters, so the numbers line up in one column.
    const struct {
        const wchar_t* label;
        std::uint64_t microseconds;
    } results[] = {
        {L"\nWrite with custom function (s): ", durations.writeCustomFunction},
        {L"ReadPrivateProfileString (s):   ", durations.readPrivateProfileString},
        {L"Read with custom function (s):  ", durations.readCustomFunction},
        {L"Create/delete loop (s):         ", durations.createDeleteLoop},
    };
    for (const auto& result : results)
        LogMessage(LogLevel::INFO, L"Result",
                   result.label + FormatSeconds(static_cast<double>(result.microseconds) / 1000000.0));
}
