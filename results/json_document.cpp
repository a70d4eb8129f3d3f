#include "results/json_document.h"

#include <nlohmann/json.hpp>

#include "errors/string_conversion.h"
#include "results/result_columns.h"

namespace {

using Json = nlohmann::ordered_json;

Json StatsJson(const LatencyStats& stats) {
    return {{"count", stats.count},         {"minUs", Tenths(stats.min)}, {"meanUs", Tenths(stats.mean)},
            {"p50Us", Tenths(stats.p50)},   {"p90Us", Tenths(stats.p90)}, {"p99Us", Tenths(stats.p99)},
            {"p999Us", Tenths(stats.p999)}, {"maxUs", Tenths(stats.max)}};
}

} // namespace

std::string JsonDocument(const RunSettings& settings, const RunRecord& record) {
    const double operations = static_cast<double>(settings.iterations) * record.clients.size();
    Json tests = Json::array();
    for (std::size_t t = 0; t < std::size(kTests) && static_cast<int>(t) < record.completedTests; ++t) {
        const double seconds = Seconds(record.durations.*kTests[t].duration);
        Json test = {{"name", Utf16ToUtf8(kTests[t].name)}, {"seconds", seconds}};
        test["operationsPerSecond"] = seconds > 0 ? Json(operations / seconds) : Json(nullptr);
        Json clientSeconds = Json::array();
        for (const ClientRecord& client : record.clients)
            clientSeconds.push_back(Seconds(client.durations.*kTests[t].duration));
        test["clientSeconds"] = clientSeconds;
        if (settings.latency) {
            test["pass"] = StatsJson(record.latency[t].pass);
            Json phases = Json::array();
            for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
                Json entry = {{"phase", Utf16ToUtf8(kTests[t].phaseNames[phase])}};
                entry.update(StatsJson(record.latency[t].phases[phase]));
                phases.push_back(entry);
            }
            test["phases"] = phases;
        }
        tests.push_back(test);
    }
    Json testFiles = Json::array();
    for (const ClientRecord& client : record.clients)
        testFiles.push_back(Utf16ToUtf8(client.testFile));
    const Json document = {
        {"tool", "Quillmarsh"},
        {"version", Utf16ToUtf8(record.version)},
        {"start", IsoUtc(record.startTime)},
        {"computer", Utf16ToUtf8(record.computer)},
        {"account", Utf16ToUtf8(record.account)},
        {"target", Utf16ToUtf8(settings.target)},
        {"testFile", Utf16ToUtf8(settings.testFilePath)},
        {"iterations", settings.iterations},
        {"clients", record.clients.size()},
        {"testFiles", testFiles},
        {"latency", settings.latency},
        {"counterFrequency", record.counterFrequency},
        {"tests", tests},
        {"result", {{"code", record.result}, {"text", Utf16ToUtf8(ResultText(record.result))}}},
    };
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
