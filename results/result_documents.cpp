#include "results/result_documents.h"

#include <exception>

#include <nlohmann/json.hpp>

#include "errors/string_conversion.h"
#include "fsutil/result_file.h"
#include "logging/logger.h"
#include "results/comparison_stats.h"
#include "results/json_document.h"
#include "results/result_text.h"

namespace {

Win32Error Refuse(const std::wstring& message) {
    LogMessage(LogLevel::ERROR, L"Compare", message);
    return win32::kInvalidParameter;
}

int TestNamed(const std::string& name) {
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        if (Utf16ToUtf8(kTests[t].name) == name)
            return static_cast<int>(t);
    }
    return -1;
}

// Documents are read into the faster unordered form; the comparison's own
// document keeps its order.
using ReadJson = nlohmann::json;

// The per-pass samples of one test of one run: {"open": [[client 1's], ...], ...}.
void AddSamples(const ReadJson& samples, std::size_t t, ResultDocument& document) {
    std::vector<const ReadJson*> phases;
    for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase)
        phases.push_back(&samples.at(Utf16ToUtf8(kTests[t].phaseNames[phase])));
    std::array<std::vector<double>, kMaxPhases> run; // this run's passes of each phase, every client
    for (std::size_t client = 0; client < phases[0]->size(); ++client) {
        const std::size_t passes = phases[0]->at(client).size();
        for (std::size_t pass = 0; pass < passes; ++pass) {
            double total = 0;
            for (std::size_t phase = 0; phase < phases.size(); ++phase) {
                const double value = phases[phase]->at(client).at(pass).get<double>();
                document.phaseUs[t][phase].push_back(value);
                run[phase].push_back(value);
                total += value;
            }
            document.passUs[t].push_back(total);
        }
    }
    for (std::size_t phase = 0; phase < phases.size() && !run[phase].empty(); ++phase)
        document.runPhaseMedianUs[t][phase].push_back(Median(std::move(run[phase])));
}

} // namespace

Win32Error ReadResultDocument(const std::wstring& file, ResultDocument& document) {
    document.file = file;
    std::string bytes;
    if (const Win32Error code = ReadWholeFile(file, bytes))
        return Refuse(L"The document <" + file + L"> cannot be read: " + ResultText(code));
    ReadJson json;
    try {
        json = ReadJson::parse(bytes);
    } catch (const std::exception&) {
        return Refuse(L"The document <" + file + L"> is not JSON");
    }
    if (!json.is_object() || json.value("tool", "") != "Quillmarsh" || !json.contains("tests"))
        return Refuse(L"The document <" + file + L"> is not a result document of Quillmarsh");
    const int documentVersion = json.value("documentVersion", 1);
    if (documentVersion > kDocumentVersion)
        return Refuse(L"The document <" + file + L"> is of document version " +
                      std::to_wstring(documentVersion) + L", newer than this version reads (" +
                      std::to_wstring(kDocumentVersion) + L")");
    if (json.contains("sweep") && !json["sweep"].is_null())
        return Refuse(L"The document <" + file +
                      L"> holds a client sweep: -compare compares documents of one client count");
    try {
        const std::string label =
            json.contains("label") && json["label"].is_string() ? json["label"].get<std::string>() : "";
        document.name = label.empty() ? file.substr(file.find_last_of(L"\\/") + 1) : Utf8ToUtf16(label);
        document.label = Utf8ToUtf16(label);
        document.computer = Utf8ToUtf16(json.value("computer", ""));
        document.target = Utf8ToUtf16(json.value("target", ""));
        document.start = Utf8ToUtf16(json.value("start", ""));
        document.version = json.value("version", "");
        document.iterations = json.value("iterations", 0LL);
        document.clients = json.value("clients", 1LL);
        // A first version's document is one run, its tests at the top.
        // (Not copied: a document with samples holds a million values.)
        const ReadJson firstVersionRuns = json.contains("runResults") ? ReadJson() : ReadJson::array({json});
        const ReadJson& runs = json.contains("runResults") ? json["runResults"] : firstVersionRuns;
        document.runs = runs.size();
        for (const ReadJson& run : runs) {
            for (const ReadJson& test : run.at("tests")) {
                const int t = TestNamed(test.at("name").get<std::string>());
                if (t < 0)
                    continue;
                document.runSeconds[t].push_back(test.at("seconds").get<double>());
                if (test.contains("samplesUs")) {
                    AddSamples(test["samplesUs"], t, document);
                    document.hasSamples = true;
                }
            }
        }
    } catch (const std::exception&) {
        return Refuse(L"The document <" + file + L"> is not a result document of Quillmarsh");
    }
    return 0;
}
