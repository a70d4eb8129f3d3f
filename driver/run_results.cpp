#include "driver/run_results.h"

#include <windows.h>

#include <cmath>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include <nlohmann/json.hpp>

#include "driver/result_report.h"
#include "driver/version_info.h"
#include "errors/error_text.h"
#include "errors/string_conversion.h"
#include "fsutil/result_file.h"
#include "logging/log_time.h"
#include "logging/logger.h"

namespace {

// The four tests as the result files name them, in the order they run.
struct TestColumns {
    const wchar_t* name;
    const char* csvName;
    std::uint64_t TestDurations::*duration;
    PhaseTimes TestPhaseTimes::*phaseTimes;
    const wchar_t* const* phaseNames;
    std::size_t phaseCount;
};

const TestColumns kTests[] = {
    {L"Write with custom function", "write", &TestDurations::writeCustomFunction,
     &TestPhaseTimes::writeCustomFunction, kWritePhases.data(), kWritePhases.size()},
    {L"ReadPrivateProfileString", "profile_read", &TestDurations::readPrivateProfileString,
     &TestPhaseTimes::readPrivateProfileString, kProfileReadPhases.data(), kProfileReadPhases.size()},
    {L"Read with custom function", "custom_read", &TestDurations::readCustomFunction,
     &TestPhaseTimes::readCustomFunction, kCustomReadPhases.data(), kCustomReadPhases.size()},
    {L"Create/delete loop", "create_delete", &TestDurations::createDeleteLoop,
     &TestPhaseTimes::createDeleteLoop, kCreateDeletePhases.data(), kCreateDeletePhases.size()},
};

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

// "2026-12-10T09:30:15.042Z"
std::string IsoUtc(std::uint64_t fileTime) {
    std::wstring text;
    if (FormatSystemTime(fileTime, false, L':', L'.', text) != 0)
        return {};
    text[10] = L'T';
    return Utf16ToUtf8(text) + "Z";
}

double Seconds(std::uint64_t microseconds) {
    return static_cast<double>(microseconds) / 1000000.0;
}

// Microseconds to the counter's tenth: what the console table shows too.
double Tenths(double microseconds) {
    return std::round(microseconds * 10.0) / 10.0;
}

// The system's text for a run result, without its line end.
std::wstring ResultText(Win32Error result) {
    SetLastError(result); // GetErrorText takes 0 for the last error
    std::wstring text = GetErrorText(result);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    return text;
}

// As the console and the CSV show it.
std::wstring Microseconds(double value) {
    return FormatFixed(Tenths(value), 1);
}

bool Completed(const RunRecord& record, std::size_t test) {
    return static_cast<int>(test) < record.completedTests;
}

nlohmann::ordered_json StatsJson(const LatencyStats& stats) {
    return {{"count", stats.count},         {"minUs", Tenths(stats.min)}, {"meanUs", Tenths(stats.mean)},
            {"p50Us", Tenths(stats.p50)},   {"p90Us", Tenths(stats.p90)}, {"p99Us", Tenths(stats.p99)},
            {"p999Us", Tenths(stats.p999)}, {"maxUs", Tenths(stats.max)}};
}

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

std::wstring RightAligned(const std::wstring& text, std::size_t width) {
    return text.size() >= width ? text : std::wstring(width - text.size(), L' ') + text;
}

std::wstring LeftAligned(const std::wstring& text, std::size_t width) {
    return text.size() >= width ? text : text + std::wstring(width - text.size(), L' ');
}

} // namespace

RunRecord StartRunRecord() {
    RunRecord record;
    record.startTime = CurrentFileTime();
    record.version = GetVersionInfoString(L"FileVersion");
    record.computer = ComputerName();
    GetCurrentUserName(record.account);
    record.counterFrequency = Stopwatch::Frequency();
    return record;
}

void ComputeLatency(FileIoTests& tests, RunRecord& record) {
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        PhaseTimes& times = tests.phaseTimes.*kTests[t].phaseTimes;
        if (!tests.settings.latency || !Completed(record, t) || times.Passes() == 0)
            continue;
        TestLatency& latency = record.latency[t];
        // Whole passes first: the phase samples are still in pass order.
        const std::uint32_t passes = times.Passes();
        std::unique_ptr<std::int64_t[]> totals(new (std::nothrow) std::int64_t[passes]());
        if (totals) {
            for (std::size_t phase = 0; phase < times.Phases(); ++phase) {
                const std::int64_t* samples = times.Phase(phase);
                for (std::uint32_t pass = 0; pass < passes; ++pass)
                    totals[pass] += samples[pass];
            }
            latency.pass = ComputeLatencyStats(totals.get(), passes, record.counterFrequency);
        }
        for (std::size_t phase = 0; phase < times.Phases(); ++phase)
            latency.phases[phase] = ComputeLatencyStats(times.Phase(phase), passes, record.counterFrequency);
    }
}

void LogLatencyTable(const RunRecord& record) {
    constexpr std::size_t kNameWidth = 28, kPhaseWidth = 11, kNumberWidth = 11;
    const wchar_t* const columns[] = {L"count", L"min", L"mean", L"p50", L"p90", L"p99", L"p99.9", L"max"};
    std::wstring header =
        L"\n" + LeftAligned(L"Latency (us)", kNameWidth) + LeftAligned(L"phase", kPhaseWidth);
    for (const wchar_t* column : columns)
        header += RightAligned(column, kNumberWidth);
    LogMessage(LogLevel::INFO, L"Result", header);
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
            const LatencyStats& stats = record.latency[t].phases[phase];
            std::wstring line = LeftAligned(phase == 0 ? kTests[t].name : L"", kNameWidth) +
                                LeftAligned(kTests[t].phaseNames[phase], kPhaseWidth) +
                                RightAligned(std::to_wstring(stats.count), kNumberWidth);
            for (const double value :
                 {stats.min, stats.mean, stats.p50, stats.p90, stats.p99, stats.p999, stats.max})
                line += RightAligned(Microseconds(value), kNumberWidth);
            LogMessage(LogLevel::INFO, L"Result", line);
        }
    }
}

std::string JsonDocument(const RunSettings& settings, const TestDurations& durations,
                         const RunRecord& record) {
    nlohmann::ordered_json tests = nlohmann::ordered_json::array();
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        if (!Completed(record, t))
            break;
        const double seconds = Seconds(durations.*kTests[t].duration);
        nlohmann::ordered_json test = {{"name", Utf16ToUtf8(kTests[t].name)}, {"seconds", seconds}};
        test["operationsPerSecond"] = seconds > 0 ? nlohmann::ordered_json(settings.iterations / seconds)
                                                  : nlohmann::ordered_json(nullptr);
        if (settings.latency) {
            test["pass"] = StatsJson(record.latency[t].pass);
            nlohmann::ordered_json phases = nlohmann::ordered_json::array();
            for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
                nlohmann::ordered_json entry = {{"phase", Utf16ToUtf8(kTests[t].phaseNames[phase])}};
                entry.update(StatsJson(record.latency[t].phases[phase]));
                phases.push_back(entry);
            }
            test["phases"] = phases;
        }
        tests.push_back(test);
    }
    const nlohmann::ordered_json document = {
        {"tool", "Quillmarsh"},
        {"version", Utf16ToUtf8(record.version)},
        {"start", IsoUtc(record.startTime)},
        {"computer", Utf16ToUtf8(record.computer)},
        {"account", Utf16ToUtf8(record.account)},
        {"target", Utf16ToUtf8(settings.target)},
        {"testFile", Utf16ToUtf8(settings.testFilePath)},
        {"iterations", settings.iterations},
        {"latency", settings.latency},
        {"counterFrequency", record.counterFrequency},
        {"tests", tests},
        {"result", {{"code", record.result}, {"text", Utf16ToUtf8(ResultText(record.result))}}},
    };
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string CsvHeader() {
    std::vector<std::string> fields = {"time", "computer", "target", "iterations"};
    for (const TestColumns& test : kTests)
        fields.push_back(std::string(test.csvName) + "_s");
    for (const TestColumns& test : kTests) {
        for (const char* statistic : {"_p50_us", "_p99_us", "_max_us"})
            fields.push_back(test.csvName + std::string(statistic));
    }
    fields.push_back("result");
    return CsvLine(fields);
}

std::string CsvRow(const RunSettings& settings, const TestDurations& durations, const RunRecord& record) {
    std::vector<std::string> fields = {IsoUtc(record.startTime), Utf16ToUtf8(record.computer),
                                       Utf16ToUtf8(settings.target), std::to_string(settings.iterations)};
    for (std::size_t t = 0; t < std::size(kTests); ++t)
        fields.push_back(
            Completed(record, t) ? Utf16ToUtf8(FormatSeconds(Seconds(durations.*kTests[t].duration))) : "");
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        const LatencyStats& pass = record.latency[t].pass;
        const bool known = settings.latency && Completed(record, t);
        for (const double value : {pass.p50, pass.p99, pass.max})
            fields.push_back(known ? Utf16ToUtf8(Microseconds(value)) : "");
    }
    fields.push_back(std::to_string(record.result));
    return CsvLine(fields);
}

Win32Error WriteResultFiles(const RunSettings& settings, const TestDurations& durations, RunRecord record) {
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
        return ReplaceFileContent(settings.jsonPath, JsonDocument(settings, durations, record), keptAt);
    });
    if (record.result == 0)
        record.result = json;
    const Win32Error csv = write(settings.csvPath, [&](std::wstring&) {
        return AppendRow(settings.csvPath, CsvHeader(), CsvRow(settings, durations, record));
    });
    return json != 0 ? json : csv;
}
