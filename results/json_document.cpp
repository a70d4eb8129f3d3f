#include "results/json_document.h"

#include <algorithm>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "errors/string_conversion.h"
#include "results/comparison_stats.h"
#include "core/test_table.h"
#include "core/text_format.h"
#include "results/result_text.h"
#include "results/run_summary.h"

namespace {

using Json = nlohmann::ordered_json;

Json StatsJson(const LatencyStats& stats) {
    return {{"count", stats.count},         {"minUs", Tenths(stats.min)}, {"meanUs", Tenths(stats.mean)},
            {"p50Us", Tenths(stats.p50)},   {"p90Us", Tenths(stats.p90)}, {"p99Us", Tenths(stats.p99)},
            {"p999Us", Tenths(stats.p999)}, {"maxUs", Tenths(stats.max)}};
}

Json ResultJson(Win32Error code) {
    return {{"code", code}, {"text", Utf16ToUtf8(ResultText(code))}};
}

// Per-pass samples are many (11 numbers a pass): each phase's arrays are
// written on one line rather than a number a line. The document holds a
// placeholder for each, a string that no other text of the document holds (a
// control character, which paths, names and labels cannot hold), replaced by
// the compact arrays after the dump.
class CompactArrays {
public:
    Json Placeholder(const Json& arrays) {
        texts_.push_back(arrays.dump());
        return Json(std::string(1, '\x01') + std::to_string(texts_.size() - 1));
    }
    std::string Fill(const std::string& dumped) const {
        static const std::string kMark = "\"\\u0001";
        std::string text;
        text.reserve(dumped.size());
        std::size_t from = 0;
        for (std::size_t at = dumped.find(kMark); at != std::string::npos; at = dumped.find(kMark, from)) {
            const std::size_t digits = at + kMark.size();
            const std::size_t end = dumped.find('"', digits);
            const std::string number = dumped.substr(digits, end - digits);
            text.append(dumped, from, at - from);
            if (!number.empty() && number.size() <= 18 &&
                number.find_first_not_of("0123456789") == std::string::npos &&
                std::stoull(number) < texts_.size())
                text += texts_[std::stoull(number)];
            else
                text.append(dumped, at, end + 1 - at); // not a placeholder
            from = end + 1;
        }
        text.append(dumped, from, std::string::npos);
        return text;
    }

private:
    std::vector<std::string> texts_;
};

// Every phase's per-pass times of one test, per client: {"open": [[...], ...]}.
Json SamplesJson(const RunRecord& run, std::size_t t, std::int64_t frequency, CompactArrays& compact) {
    const double microsecondsPerTick = 1e6 / static_cast<double>(frequency);
    Json samples = Json::object();
    for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
        Json clients = Json::array();
        for (const ClientRecord& client : run.clients) {
            const std::vector<std::int64_t>& ticks = client.phaseTicks[t];
            const std::size_t passes = ticks.size() / kTests[t].phaseCount;
            Json values = Json::array();
            for (std::size_t pass = 0; pass < passes; ++pass)
                values.push_back(
                    Tenths(static_cast<double>(ticks[phase * passes + pass]) * microsecondsPerTick));
            clients.push_back(std::move(values));
        }
        samples[Utf16ToUtf8(kTests[t].phaseNames[phase])] = compact.Placeholder(clients);
    }
    return samples;
}

Json RunJson(const RunSettings& settings, const RunSeries& series, std::size_t index, std::size_t number,
             CompactArrays& compact) {
    const RunRecord& run = series.runs[index];
    Json tests = Json::array();
    for (std::size_t t = 0; t < kTestCount && static_cast<int>(t) < run.completedTests; ++t) {
        const double seconds = Seconds(run.durations.*kTests[t].duration);
        Json test = {
            {"name", Utf16ToUtf8(kTests[t].name)},
            {"seconds", seconds},
            {"operationsPerSecond", OperationsPerSecond(settings.iterations, run.clients.size(), seconds)}};
        Json clientSeconds = Json::array();
        for (const ClientRecord& client : run.clients)
            clientSeconds.push_back(Seconds(client.durations.*kTests[t].duration));
        test["clientSeconds"] = std::move(clientSeconds);
        if (settings.latency)
            test["samplesUs"] = SamplesJson(run, t, series.counterFrequency, compact);
        tests.push_back(std::move(test));
    }
    Json testFiles = Json::array();
    for (const ClientRecord& client : run.clients)
        testFiles.push_back(Utf16ToUtf8(client.testFile));
    return {{"run", number},
            {"clients", run.clients.size()},
            {"start", IsoUtc(run.startTime)},
            {"testFiles", std::move(testFiles)},
            {"tests", std::move(tests)},
            {"result", ResultJson(run.result)}};
}

// A client sweep's steps: per client count its runs and per test the median
// seconds, the operations per second of all clients and, with -latency, the
// statistics of a pass.
Json SweepJson(const RunSettings& settings, const RunSeries& series) {
    Json steps = Json::array();
    for (const SweepStep& step : series.sweep) {
        Json tests = Json::array();
        for (std::size_t t = 0; t < kTestCount; ++t) {
            if (!(step.tests[t].medianSeconds > 0))
                continue;
            Json test = {{"name", Utf16ToUtf8(kTests[t].name)},
                         {"seconds", step.tests[t].medianSeconds},
                         {"operationsPerSecond", step.tests[t].operationsPerSecond}};
            if (settings.latency)
                test["pass"] = StatsJson(step.pass[t]);
            tests.push_back(std::move(test));
        }
        steps.push_back({{"clients", step.clients}, {"runs", step.runCount}, {"tests", std::move(tests)}});
    }
    return steps;
}

} // namespace

std::string JsonDocument(const RunSettings& settings, const RunSeries& series) {
    const bool one = series.runs.size() == 1;
    const bool sweep = !settings.clientSweep.empty();
    Json tests = Json::array();
    for (std::size_t t = 0; t < kTestCount && !sweep; ++t) {
        const TestSummary& summary = series.summary[t];
        if (summary.runs == 0)
            break;
        Json test = {{"name", Utf16ToUtf8(kTests[t].name)},
                     {"seconds", summary.medianSeconds},
                     {"operationsPerSecond", summary.operationsPerSecond}};
        if (one) {
            Json clientSeconds = Json::array();
            for (const ClientRecord& client : series.runs[0].clients)
                clientSeconds.push_back(Seconds(client.durations.*kTests[t].duration));
            test["clientSeconds"] = std::move(clientSeconds);
        } else {
            test["runs"] = summary.runs;
            test["minSeconds"] = summary.minSeconds;
            test["maxSeconds"] = summary.maxSeconds;
            test["madSeconds"] = summary.madSeconds;
        }
        if (settings.latency) {
            test["pass"] = StatsJson(series.latency[t].pass);
            Json phases = Json::array();
            for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
                Json entry = {{"phase", Utf16ToUtf8(kTests[t].phaseNames[phase])}};
                entry.update(StatsJson(series.latency[t].phases[phase]));
                phases.push_back(std::move(entry));
            }
            test["phases"] = std::move(phases);
        }
        tests.push_back(std::move(test));
    }
    CompactArrays compact;
    Json runs = Json::array();
    const std::vector<std::size_t> numbers = RunNumbers(series);
    for (std::size_t r = 0; r < series.runs.size(); ++r)
        runs.push_back(RunJson(settings, series, r, numbers[r], compact));
    Json testFiles = Json::array();
    if (!series.runs.empty())
        testFiles = runs[0]["testFiles"];
    const Json document = {
        {"tool", "Quillmarsh"},
        {"documentVersion", kDocumentVersion},
        {"version", Utf16ToUtf8(series.version)},
        {"label", settings.label.empty() ? Json(nullptr) : Json(Utf16ToUtf8(settings.label))},
        {"start", series.runs.empty() ? std::string() : IsoUtc(series.runs[0].startTime)},
        {"computer", Utf16ToUtf8(series.computer)},
        {"account", Utf16ToUtf8(series.account)},
        {"target", Utf16ToUtf8(settings.target)},
        {"testFile", Utf16ToUtf8(settings.testFilePath)},
        {"iterations", settings.iterations},
        {"clients", sweep ? Json(settings.clientSweep) : Json(settings.clients)},
        {"testFiles", std::move(testFiles)},
        {"runs", settings.runs},
        {"latency", settings.latency},
        {"counterFrequency", series.counterFrequency},
        {"tests", std::move(tests)},
        {"sweep", sweep ? SweepJson(settings, series) : Json(nullptr)},
        {"runResults", std::move(runs)},
        {"result", ResultJson(series.result)},
    };
    return compact.Fill(document.dump(2, ' ', false, Json::error_handler_t::replace)) + "\n";
}
