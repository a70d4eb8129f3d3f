#include "results/comparison.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <atomic>
#include <exception>
#include <functional>
#include <thread>

#include <nlohmann/json.hpp>

#include "results/result_report.h"
#include "errors/string_conversion.h"
#include "fsutil/result_file.h"
#include "results/result_files.h"
#include "logging/logger.h"
#include "results/comparison_stats.h"
#include "results/html_report.h"
#include "results/json_document.h"
#include "core/test_table.h"
#include "core/text_format.h"
#include "results/result_text.h"

namespace {

using Json = nlohmann::ordered_json;

// Fewer runs than this cannot show a significant difference of their
// seconds (3 against 3 never give p below 0.1): below it, per-pass samples
// are used where both documents hold them.
constexpr std::size_t kRunsForVerdict = 5;

// What a comparison needs of one result document.
struct Document {
    std::wstring file;
    std::wstring name; // the label, or else the file name
    std::wstring label, computer, target, start;
    std::string version;
    long long iterations = 0;
    long long clients = 1;
    std::size_t runs = 0;
    std::array<std::vector<double>, 4> runSeconds; // per test: every run that completed it
    bool hasSamples = false;
    std::array<std::vector<double>, 4> passUs;                 // per test: every pass of every client and run
    std::array<std::array<std::vector<double>, 4>, 4> phaseUs; // per test and phase
};

Win32Error Refuse(const std::wstring& message) {
    LogMessage(LogLevel::ERROR, L"Compare", message);
    return win32::kInvalidParameter;
}

int TestIndex(const std::string& name) {
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
void AddSamples(const ReadJson& samples, std::size_t t, Document& document) {
    std::vector<const ReadJson*> phases;
    for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase)
        phases.push_back(&samples.at(Utf16ToUtf8(kTests[t].phaseNames[phase])));
    for (std::size_t client = 0; client < phases[0]->size(); ++client) {
        const std::size_t passes = phases[0]->at(client).size();
        for (std::size_t pass = 0; pass < passes; ++pass) {
            double total = 0;
            for (std::size_t phase = 0; phase < phases.size(); ++phase) {
                const double value = phases[phase]->at(client).at(pass).get<double>();
                document.phaseUs[t][phase].push_back(value);
                total += value;
            }
            document.passUs[t].push_back(total);
        }
    }
}

// Reads one result document; 0, or the logged 87.
Win32Error ReadDocument(const std::wstring& file, Document& document) {
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
                const int t = TestIndex(test.at("name").get<std::string>());
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

std::wstring Signed(double percent) {
    return (percent >= 0 ? L"+" : L"") + FormatFixed(percent, 1) + L"%";
}

std::wstring PValue(double p) {
    return p < 0.001 ? L"<0.001" : FormatFixed(p, 3);
}

std::wstring Interval(const Change& change) {
    return L"[" + Signed(change.lowPercent) + L", " + Signed(change.highPercent) + L"]";
}

Json ChangeJson(const Change& change) {
    return {{"percent", change.percent},
            {"lowPercent", change.lowPercent},
            {"highPercent", change.highPercent},
            {"p", change.p},
            {"significant", change.significant}};
}

enum class Basis { Runs, Passes, Totals };

// What each basis of a verdict means, as the comparison says it.
const wchar_t* const kBasisText[] = {
    L"Verdicts from the seconds of the runs (independent repetitions): Mann-Whitney U, two-sided, alpha "
    L"0.05; "
    L"the change of the median with its 95% interval; ~ = no significant change.",
    L"Verdicts from per-pass times: passes within a run are not independent draws, so a verdict is a "
    L"screen, "
    L"not a proof (with thousands of passes even a tiny shift is significant: see the interval). "
    L"Mann-Whitney "
    L"U, two-sided, alpha 0.05; the change of the median pass with its 95% interval; ~ = no significant "
    L"change.",
    L"No verdict: the documents hold fewer than 5 runs each and no per-pass samples (run with -runs 5 or "
    L"-latency for one); the totals are compared as they are.",
};

constexpr std::size_t kNoPhase = static_cast<std::size_t>(-1);

// One comparison of two sample sets: a test's (phase kNoPhase) or a phase's.
struct Job {
    std::size_t test;
    std::size_t phase;
    const std::vector<double>* baseline; // none for a test compared on its totals alone
    const std::vector<double>* other;
    Change change{};
    std::array<double, 4> percentiles{}; // p50 of each, then p99 of each (phases)
};

void Compute(Job& job) {
    if (job.baseline == nullptr)
        return;
    job.change = CompareSamples(*job.baseline, *job.other);
    if (job.phase == kNoPhase)
        return;
    std::vector<double> a = *job.baseline, b = *job.other;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    job.percentiles = {SortedPercentile(a, 50), SortedPercentile(b, 50), SortedPercentile(a, 99),
                       SortedPercentile(b, 99)};
}

// Computes every job, on as many threads as there are cores.
void ComputeAll(std::vector<Job>& jobs) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++)
            Compute(jobs[i]);
    };
    std::vector<std::thread> helpers;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 1; i < cores && i < jobs.size(); ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::exception&) {
            break; // fewer threads: the work is the same
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
}

// One document against the baseline: logged, returned as data, and added to
// `tables` as the report page shows it.
Json CompareOne(const Document& base, const Document& other, std::vector<ReportTable>& tables) {
    Json result = {{"baseline", Utf16ToUtf8(base.name)}, {"other", Utf16ToUtf8(other.name)}};
    LogMessage(LogLevel::INFO, L"Compare", L"\n" + other.name + L" against the baseline " + base.name);

    std::vector<std::wstring> differences;
    if (other.iterations != base.iterations)
        differences.push_back(L"iterations " + std::to_wstring(other.iterations) + L" against " +
                              std::to_wstring(base.iterations) +
                              L" (the custom read's work grows with the iteration count)");
    if (other.clients != base.clients)
        differences.push_back(L"clients " + std::to_wstring(other.clients) + L" against " +
                              std::to_wstring(base.clients));
    if (other.version != base.version)
        differences.push_back(L"tool version " + Utf8ToUtf16(other.version) + L" against " +
                              Utf8ToUtf16(base.version));
    Json differencesJson = Json::array();
    for (const std::wstring& difference : differences) {
        LogMessage(LogLevel::INFO, L"Compare", L"Differs from the baseline in " + difference);
        differencesJson.push_back(Utf16ToUtf8(difference));
    }
    result["differences"] = differencesJson;
    const std::wstring heading = other.name + L" against the baseline " + base.name;
    ReportTable testTable{"qm-compare",
                          heading + L": seconds per test",
                          {L"Test", base.name, other.name, L"change", L"95% interval", L"p"},
                          {}};
    ReportTable phaseTable{"qm-compare",
                           heading + L": per phase (us)",
                           {L"Test", L"phase", L"p50 " + base.name, L"p50 " + other.name, L"p99 " + base.name,
                            L"p99 " + other.name, L"change", L"95% interval", L"p"},
                           {}};
    for (const std::wstring& difference : differences)
        testTable.notes.push_back(L"Differs from the baseline in " + difference);

    const Basis basis = base.runs >= kRunsForVerdict && other.runs >= kRunsForVerdict ? Basis::Runs
                        : base.hasSamples && other.hasSamples                         ? Basis::Passes
                                                                                      : Basis::Totals;
    LogMessage(LogLevel::INFO, L"Compare", kBasisText[static_cast<int>(basis)]);
    testTable.notes.push_back(kBasisText[static_cast<int>(basis)]);
    result["basis"] = basis == Basis::Runs ? "runs" : basis == Basis::Passes ? "passes" : "totals";
    result["basisText"] = Utf16ToUtf8(kBasisText[static_cast<int>(basis)]);

    const std::size_t nameWidth = 28;
    const std::size_t width = std::max<std::size_t>({12, base.name.size() + 2, other.name.size() + 2});
    LogMessage(LogLevel::INFO, L"Compare",
               L"\n" + LeftAligned(L"Test (s)", nameWidth) + RightAligned(base.name, width) +
                   RightAligned(other.name, width) + RightAligned(L"change", 10) +
                   RightAligned(L"95% interval", 22) + RightAligned(L"p", 8));
    // Every comparison of sample sets that the tables show, computed first and
    // at once on every core (large per-pass sets take a while each).
    std::vector<Job> jobs;
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        if (base.runSeconds[t].empty() || other.runSeconds[t].empty())
            continue;
        const bool passes = basis == Basis::Passes && !base.passUs[t].empty() && !other.passUs[t].empty();
        if (basis == Basis::Runs)
            jobs.push_back({t, kNoPhase, &base.runSeconds[t], &other.runSeconds[t]});
        else if (passes)
            jobs.push_back({t, kNoPhase, &base.passUs[t], &other.passUs[t]});
        else
            jobs.push_back({t, kNoPhase, nullptr, nullptr}); // no verdict: the totals alone
    }
    for (std::size_t t = 0; t < std::size(kTests) && base.hasSamples && other.hasSamples; ++t) {
        for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
            if (!base.phaseUs[t][phase].empty() && !other.phaseUs[t][phase].empty())
                jobs.push_back({t, phase, &base.phaseUs[t][phase], &other.phaseUs[t][phase]});
        }
    }
    ComputeAll(jobs);

    Json tests = Json::array();
    Json phases = Json::array();
    const std::size_t phaseWidth = 11, numberWidth = 10;
    for (const Job& job : jobs) {
        const std::size_t t = job.test;
        if (job.phase == kNoPhase) {
            const double baseSeconds = Median(base.runSeconds[t]), otherSeconds = Median(other.runSeconds[t]);
            Json test = {{"name", Utf16ToUtf8(kTests[t].name)},
                         {"baselineSeconds", baseSeconds},
                         {"otherSeconds", otherSeconds}};
            std::vector<std::wstring> row = {kTests[t].name, FormatSeconds(baseSeconds),
                                             FormatSeconds(otherSeconds)};
            if (job.baseline == nullptr) {
                const double percent = (otherSeconds / baseSeconds - 1) * 100;
                row.push_back(Signed(percent));
                test["percent"] = percent;
            } else {
                row.insert(row.end(), {job.change.significant ? Signed(job.change.percent) : L"~",
                                       Interval(job.change), PValue(job.change.p)});
                test.update(ChangeJson(job.change));
            }
            const std::size_t widths[] = {nameWidth, width, width, 10, 22, 8};
            std::wstring line;
            for (std::size_t i = 0; i < row.size(); ++i)
                line += i == 0 ? LeftAligned(row[i], widths[i]) : RightAligned(row[i], widths[i]);
            LogMessage(LogLevel::INFO, L"Compare", line);
            row.resize(testTable.header.size(), L"");
            testTable.rows.push_back(std::move(row));
            tests.push_back(std::move(test));
            continue;
        }
        if (phases.empty())
            LogMessage(LogLevel::INFO, L"Compare",
                       L"\n" + LeftAligned(L"Phase (us)", nameWidth) + LeftAligned(L"phase", phaseWidth) +
                           RightAligned(L"p50 base", numberWidth) + RightAligned(L"p50 other", numberWidth) +
                           RightAligned(L"p99 base", numberWidth) + RightAligned(L"p99 other", numberWidth) +
                           RightAligned(L"change", 10) + RightAligned(L"95% interval", 22) +
                           RightAligned(L"p", 8));
        std::vector<std::wstring> row = {job.phase == 0 ? kTests[t].name : L"",
                                         kTests[t].phaseNames[job.phase]};
        for (const double value : job.percentiles)
            row.push_back(Microseconds(value));
        row.insert(row.end(), {job.change.significant ? Signed(job.change.percent) : L"~",
                               Interval(job.change), PValue(job.change.p)});
        const std::size_t widths[] = {
            nameWidth, phaseWidth, numberWidth, numberWidth, numberWidth, numberWidth, 10, 22, 8};
        std::wstring line;
        for (std::size_t i = 0; i < row.size(); ++i)
            line += i < 2 ? LeftAligned(row[i], widths[i]) : RightAligned(row[i], widths[i]);
        LogMessage(LogLevel::INFO, L"Compare", line);
        phaseTable.rows.push_back(std::move(row));
        Json entry = {{"test", Utf16ToUtf8(kTests[t].name)},
                      {"phase", Utf16ToUtf8(kTests[t].phaseNames[job.phase])},
                      {"baselineP50Us", Tenths(job.percentiles[0])},
                      {"otherP50Us", Tenths(job.percentiles[1])},
                      {"baselineP99Us", Tenths(job.percentiles[2])},
                      {"otherP99Us", Tenths(job.percentiles[3])}};
        entry.update(ChangeJson(job.change));
        phases.push_back(std::move(entry));
    }
    result["tests"] = std::move(tests);
    result["phases"] = std::move(phases);
    tables.push_back(std::move(testTable));
    if (!phaseTable.rows.empty())
        tables.push_back(std::move(phaseTable));
    return result;
}

// The report page of a comparison: every document's facts and seconds, the
// change tables, and a latency distribution per test and phase with a curve
// per document that holds samples (their samples move to the page).
ReportPage CompareReport(std::vector<Document>& documents, std::vector<ReportTable>& changes) {
    ReportPage page;
    page.title = L"Quillmarsh comparison against " + documents[0].name;
    ReportTable facts{"qm-facts", L"The documents", {L""}, {}};
    ReportTable seconds{
        "qm-results", L"Seconds per test (the median of each document's runs)", {L"Test"}, {}};
    const std::pair<const wchar_t*, std::function<std::wstring(const Document&)>> rows[] = {
        {L"label", [](const Document& d) { return d.label.empty() ? std::wstring(L"-") : d.label; }},
        {L"file", [](const Document& d) { return d.file; }},
        {L"computer", [](const Document& d) { return d.computer; }},
        {L"target", [](const Document& d) { return d.target; }},
        {L"start", [](const Document& d) { return d.start; }},
        {L"iterations", [](const Document& d) { return std::to_wstring(d.iterations); }},
        {L"clients", [](const Document& d) { return std::to_wstring(d.clients); }},
        {L"runs", [](const Document& d) { return std::to_wstring(d.runs); }},
        {L"version", [](const Document& d) { return Utf8ToUtf16(d.version); }},
    };
    for (const auto& [name, value] : rows) {
        facts.rows.push_back({name});
        for (const Document& document : documents)
            facts.rows.back().push_back(value(document));
    }
    for (const Document& document : documents) {
        facts.header.push_back(document.name);
        seconds.header.push_back(document.name);
    }
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        seconds.rows.push_back({kTests[t].name});
        for (const Document& document : documents)
            seconds.rows.back().push_back(
                document.runSeconds[t].empty() ? L"-" : FormatSeconds(Median(document.runSeconds[t])));
    }
    page.tables.push_back(std::move(facts));
    page.tables.push_back(std::move(seconds));
    for (ReportTable& table : changes)
        page.tables.push_back(std::move(table));
    for (Document& document : documents) {
        if (document.hasSamples)
            page.curves.push_back({document.name, std::move(document.phaseUs)});
    }
    return page;
}

} // namespace

Win32Error CompareDocuments(const std::vector<std::wstring>& files, const std::wstring& jsonPath,
                            const std::wstring& htmlPath) {
    try {
        // One after the other: parsing allocates many small blocks, and two
        // threads doing it at once contend for the heap (twice as slow here).
        std::vector<Document> documents(files.size());
        std::vector<Win32Error> codes(files.size());
        for (std::size_t i = 0; i < files.size(); ++i)
            codes[i] = ReadDocument(files[i], documents[i]);
        for (const Win32Error code : codes) {
            if (code != 0)
                return code; // the first bad document, by name; every bad one was named
        }
        Json comparisons = Json::array();
        std::vector<ReportTable> changes;
        for (std::size_t i = 1; i < documents.size(); ++i)
            comparisons.push_back(CompareOne(documents[0], documents[i], changes));
        if (!jsonPath.empty()) {
            const Json document = {
                {"tool", "Quillmarsh"}, {"documentVersion", kDocumentVersion}, {"comparisons", comparisons}};
            if (const Win32Error code = WriteWholeFile(
                    jsonPath, document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"))
                return code;
        }
        if (!htmlPath.empty())
            return WriteReportPage(htmlPath, CompareReport(documents, changes));
        return 0;
    } catch (const std::exception&) {
        return win32::kOutOfMemory;
    }
}
