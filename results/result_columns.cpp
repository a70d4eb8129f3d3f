#include "results/result_columns.h"

#include <windows.h>

#include <cmath>

#include "driver/result_report.h"
#include "errors/error_text.h"
#include "errors/string_conversion.h"
#include "logging/log_time.h"

const TestColumns kTests[4] = {
    {L"Write with custom function", "write", &TestDurations::writeCustomFunction,
     &TestPhaseTimes::writeCustomFunction, kWritePhases.data(), kWritePhases.size()},
    {L"ReadPrivateProfileString", "profile_read", &TestDurations::readPrivateProfileString,
     &TestPhaseTimes::readPrivateProfileString, kProfileReadPhases.data(), kProfileReadPhases.size()},
    {L"Read with custom function", "custom_read", &TestDurations::readCustomFunction,
     &TestPhaseTimes::readCustomFunction, kCustomReadPhases.data(), kCustomReadPhases.size()},
    {L"Create/delete loop", "create_delete", &TestDurations::createDeleteLoop,
     &TestPhaseTimes::createDeleteLoop, kCreateDeletePhases.data(), kCreateDeletePhases.size()},
};

std::vector<double> RunSeconds(const RunSeries& series, std::size_t test) {
    return RunSeconds(series.runs.data(), series.runs.size(), test);
}

std::vector<double> RunSeconds(const RunRecord* runs, std::size_t count, std::size_t test) {
    std::vector<double> seconds;
    for (const RunRecord* run = runs; run != runs + count; ++run) {
        if (static_cast<int>(test) < run->completedTests)
            seconds.push_back(Seconds(run->durations.*kTests[test].duration));
    }
    return seconds;
}

double Tenths(double microseconds) {
    return std::round(microseconds * 10.0) / 10.0;
}

std::wstring Microseconds(double value) {
    return FormatFixed(Tenths(value), 1);
}

std::string IsoUtc(std::uint64_t fileTime) {
    std::wstring text;
    if (FormatSystemTime(fileTime, false, L':', L'.', text) != 0)
        return {};
    text[10] = L'T';
    return Utf16ToUtf8(text) + "Z";
}

std::wstring ResultText(Win32Error code) {
    SetLastError(code); // GetErrorText takes 0 for the last error
    std::wstring text = GetErrorText(code);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    return text;
}

std::wstring LeftAligned(const std::wstring& text, std::size_t width) {
    return text.size() >= width ? text : text + std::wstring(width - text.size(), L' ');
}

std::wstring RightAligned(const std::wstring& text, std::size_t width) {
    return text.size() >= width ? text : std::wstring(width - text.size(), L' ') + text;
}
