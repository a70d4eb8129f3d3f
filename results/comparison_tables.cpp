#include "results/comparison_tables.h"

#include <algorithm>
#include <functional>

#include <nlohmann/json.hpp>

#include "core/text_format.h"
#include "errors/string_conversion.h"
#include "logging/logger.h"
#include "results/json_document.h"
#include "results/text_table.h"

namespace {

using Json = nlohmann::ordered_json;

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

const wchar_t* BasisText(Basis basis) {
    return kBasisText[static_cast<int>(basis)];
}

const char* BasisName(Basis basis) {
    return basis == Basis::Runs ? "runs" : basis == Basis::Passes ? "passes" : "totals";
}

std::wstring Heading(const Comparison& comparison) {
    return comparison.other->name + L" against the baseline " + comparison.baseline->name;
}

// The change of a test without a verdict: its totals as they are.
double TotalsPercent(const ComparisonRow& row) {
    return (row.otherSeconds / row.baselineSeconds - 1) * 100;
}

// A test row's cells: name, both medians, then the change.
std::vector<std::wstring> TestCells(const ComparisonRow& row) {
    std::vector<std::wstring> cells = {kTests[row.test].name, FormatSeconds(row.baselineSeconds),
                                       FormatSeconds(row.otherSeconds)};
    if (!row.judged)
        cells.push_back(Signed(TotalsPercent(row)));
    else
        cells.insert(cells.end(), {row.change.significant ? Signed(row.change.percent) : L"~",
                                   Interval(row.change), PValue(row.change.p)});
    return cells;
}

// A phase row's cells: test (on its first phase), phase, p50 and p99 of each,
// then the change.
std::vector<std::wstring> PhaseCells(const ComparisonRow& row) {
    std::vector<std::wstring> cells = {row.phase == 0 ? kTests[row.test].name : L"",
                                       kTests[row.test].phaseNames[row.phase]};
    for (const double value : row.percentiles)
        cells.push_back(Microseconds(value));
    cells.insert(cells.end(), {row.change.significant ? Signed(row.change.percent) : L"~",
                               Interval(row.change), PValue(row.change.p)});
    return cells;
}

constexpr std::size_t kNameWidth = 28, kPhaseWidth = 11, kNumberWidth = 10;

void Log(const std::wstring& line) {
    LogMessage(LogLevel::INFO, L"Compare", line);
}

} // namespace

void LogComparison(const Comparison& comparison) {
    const ResultDocument& base = *comparison.baseline;
    const ResultDocument& other = *comparison.other;
    Log(L"\n" + Heading(comparison));
    for (const std::wstring& difference : comparison.differences)
        Log(L"Differs from the baseline in " + difference);
    Log(BasisText(comparison.basis));
    const std::size_t width = std::max<std::size_t>({12, base.name.size() + 2, other.name.size() + 2});
    const std::vector<std::size_t> testWidths = {kNameWidth, width, width, 10, 22, 8};
    Log(L"\n" +
        TableRow({L"Test (s)", base.name, other.name, L"change", L"95% interval", L"p"}, testWidths, 1));
    const std::vector<std::size_t> phaseWidths = {
        kNameWidth, kPhaseWidth, kNumberWidth, kNumberWidth, kNumberWidth, kNumberWidth, 10, 22, 8};
    bool phaseHeader = false;
    for (const ComparisonRow& row : comparison.rows) {
        if (row.phase == kNoPhase) {
            Log(TableRow(TestCells(row), testWidths, 1));
            continue;
        }
        if (!phaseHeader)
            Log(L"\n" + TableRow({L"Phase (us)", L"phase", L"p50 base", L"p50 other", L"p99 base",
                                  L"p99 other", L"change", L"95% interval", L"p"},
                                 phaseWidths, 2));
        phaseHeader = true;
        Log(TableRow(PhaseCells(row), phaseWidths, 2));
    }
}

std::string ComparisonsJson(const std::vector<Comparison>& comparisons) {
    Json all = Json::array();
    for (const Comparison& comparison : comparisons) {
        Json differences = Json::array();
        for (const std::wstring& difference : comparison.differences)
            differences.push_back(Utf16ToUtf8(difference));
        Json tests = Json::array();
        Json phases = Json::array();
        for (const ComparisonRow& row : comparison.rows) {
            const std::size_t t = row.test;
            if (row.phase == kNoPhase) {
                Json test = {{"name", Utf16ToUtf8(kTests[t].name)},
                             {"baselineSeconds", row.baselineSeconds},
                             {"otherSeconds", row.otherSeconds}};
                if (row.judged)
                    test.update(ChangeJson(row.change));
                else
                    test["percent"] = TotalsPercent(row);
                tests.push_back(std::move(test));
                continue;
            }
            Json entry = {{"test", Utf16ToUtf8(kTests[t].name)},
                          {"phase", Utf16ToUtf8(kTests[t].phaseNames[row.phase])},
                          {"baselineP50Us", Tenths(row.percentiles[0])},
                          {"otherP50Us", Tenths(row.percentiles[1])},
                          {"baselineP99Us", Tenths(row.percentiles[2])},
                          {"otherP99Us", Tenths(row.percentiles[3])}};
            entry.update(ChangeJson(row.change));
            phases.push_back(std::move(entry));
        }
        all.push_back({{"baseline", Utf16ToUtf8(comparison.baseline->name)},
                       {"other", Utf16ToUtf8(comparison.other->name)},
                       {"differences", std::move(differences)},
                       {"basis", BasisName(comparison.basis)},
                       {"basisText", Utf16ToUtf8(BasisText(comparison.basis))},
                       {"tests", std::move(tests)},
                       {"phases", std::move(phases)}});
    }
    const Json document = {
        {"tool", "Quillmarsh"}, {"documentVersion", kDocumentVersion}, {"comparisons", all}};
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

ReportPage ComparisonReport(const std::vector<ResultDocument>& documents,
                            const std::vector<Comparison>& comparisons) {
    ReportPage page;
    page.title = L"Quillmarsh comparison against " + documents[0].name;
    ReportTable facts{"qm-facts", L"The documents", {L""}, {}};
    ReportTable seconds{
        "qm-results", L"Seconds per test (the median of each document's runs)", {L"Test"}, {}};
    const std::pair<const wchar_t*, std::function<std::wstring(const ResultDocument&)>> rows[] = {
        {L"label", [](const ResultDocument& d) { return d.label.empty() ? std::wstring(L"-") : d.label; }},
        {L"file", [](const ResultDocument& d) { return d.file; }},
        {L"computer", [](const ResultDocument& d) { return d.computer; }},
        {L"target", [](const ResultDocument& d) { return d.target; }},
        {L"start", [](const ResultDocument& d) { return d.start; }},
        {L"iterations", [](const ResultDocument& d) { return std::to_wstring(d.iterations); }},
        {L"clients", [](const ResultDocument& d) { return std::to_wstring(d.clients); }},
        {L"runs", [](const ResultDocument& d) { return std::to_wstring(d.runs); }},
        {L"version", [](const ResultDocument& d) { return Utf8ToUtf16(d.version); }},
    };
    for (const auto& [name, value] : rows) {
        facts.rows.push_back({name});
        for (const ResultDocument& document : documents)
            facts.rows.back().push_back(value(document));
    }
    for (const ResultDocument& document : documents) {
        facts.header.push_back(document.name);
        seconds.header.push_back(document.name);
    }
    for (std::size_t t = 0; t < kTestCount; ++t) {
        seconds.rows.push_back({kTests[t].name});
        for (const ResultDocument& document : documents)
            seconds.rows.back().push_back(
                document.runSeconds[t].empty() ? L"-" : FormatSeconds(Median(document.runSeconds[t])));
    }
    page.tables.push_back(std::move(facts));
    page.tables.push_back(std::move(seconds));
    for (const Comparison& comparison : comparisons) {
        const ResultDocument& base = *comparison.baseline;
        const ResultDocument& other = *comparison.other;
        const std::wstring heading = Heading(comparison);
        ReportTable testTable{"qm-compare",
                              heading + L": seconds per test",
                              {L"Test", base.name, other.name, L"change", L"95% interval", L"p"},
                              {}};
        ReportTable phaseTable{"qm-compare",
                               heading + L": per phase (us)",
                               {L"Test", L"phase", L"p50 " + base.name, L"p50 " + other.name,
                                L"p99 " + base.name, L"p99 " + other.name, L"change", L"95% interval", L"p"},
                               {}};
        for (const std::wstring& difference : comparison.differences)
            testTable.notes.push_back(L"Differs from the baseline in " + difference);
        testTable.notes.push_back(BasisText(comparison.basis));
        for (const ComparisonRow& row : comparison.rows) {
            if (row.phase != kNoPhase) {
                phaseTable.rows.push_back(PhaseCells(row));
                continue;
            }
            std::vector<std::wstring> cells = TestCells(row);
            cells.resize(testTable.header.size(), L"");
            testTable.rows.push_back(std::move(cells));
        }
        page.tables.push_back(std::move(testTable));
        if (!phaseTable.rows.empty())
            page.tables.push_back(std::move(phaseTable));
    }
    for (const ResultDocument& document : documents) {
        if (document.hasSamples)
            page.curves.push_back({document.name, document.phaseUs});
    }
    return page;
}
