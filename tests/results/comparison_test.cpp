// Comparisons as read from documents and as drawn: the numbers in each
// column belong to the document the column names.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "results/comparison_rows.h"
#include "results/comparison_tables.h"
#include "results/result_documents.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

// A document of `runs` runs of one client; each run's write test takes
// `seconds` and, with samples, its open phase `openUs` per pass (write and
// close 1 us).
std::string DocumentText(const char* label, int runs, double seconds, const std::vector<double>& openUs) {
    nlohmann::json runResults = nlohmann::json::array();
    for (int r = 0; r < runs; ++r) {
        nlohmann::json test = {{"name", "Write with custom function"}, {"seconds", seconds + 0.001 * r}};
        if (!openUs.empty()) {
            const std::vector<double> ones(openUs.size(), 1.0);
            test["samplesUs"] = {{"open", {openUs}}, {"write", {ones}}, {"close", {ones}}};
        }
        runResults.push_back({{"run", r + 1}, {"tests", {test}}});
    }
    return nlohmann::json({{"tool", "Quillmarsh"},
                           {"documentVersion", 2},
                           {"tests", nlohmann::json::array()},
                           {"label", label},
                           {"iterations", static_cast<int>(openUs.empty() ? 10 : openUs.size())},
                           {"clients", 1},
                           {"runResults", runResults}})
        .dump();
}

ResultDocument Read(const TempDir& dir, const std::wstring& name, const std::string& text) {
    WriteBytes(dir.File(name), text);
    ResultDocument document;
    EXPECT_EQ(ReadResultDocument(dir.File(name), document), 0u);
    return document;
}

TEST(ReadResultDocument, KeepsEachRunAndEachRunsOwnMedianPass) {
    TempDir dir;
    // Two clients in one run: the run's median open is over both.
    nlohmann::json test = {{"name", "Write with custom function"},
                           {"seconds", 0.5},
                           {"samplesUs",
                            {{"open", {{1.0, 2.0, 9.0}, {4.0, 5.0, 6.0}}},
                             {"write", {{1.0, 1.0, 1.0}, {1.0, 1.0, 1.0}}},
                             {"close", {{2.0, 2.0, 2.0}, {2.0, 2.0, 2.0}}}}}};
    nlohmann::json second = test;
    second["seconds"] = 0.7;
    second["samplesUs"]["open"] = {{10.0, 20.0, 30.0}, {40.0, 50.0, 60.0}};
    const std::string text = nlohmann::json({{"tool", "Quillmarsh"},
                                             {"documentVersion", 2},
                                             {"tests", nlohmann::json::array()},
                                             {"iterations", 3},
                                             {"clients", 2},
                                             {"runResults", {{{"tests", {test}}}, {{"tests", {second}}}}}})
                                 .dump();
    const ResultDocument document = Read(dir, L"two.json", text);
    EXPECT_EQ(document.runs, 2u);
    EXPECT_EQ(document.runSeconds[0], (std::vector<double>{0.5, 0.7}));
    EXPECT_TRUE(document.hasSamples);
    EXPECT_EQ(document.phaseUs[0][0].size(), 12u) << "every pass of every client of every run";
    EXPECT_EQ(document.runPhaseMedianUs[0][0], (std::vector<double>{4.5, 35.0})) << "each run's own median";
    EXPECT_EQ(document.runPhaseMedianUs[0][2], (std::vector<double>{2.0, 2.0}));
    EXPECT_DOUBLE_EQ(document.passUs[0].front(), 1.0 + 1.0 + 2.0) << "a pass is its phases added up";
    EXPECT_EQ(document.name, L"two.json") << "no label: the file name";
}

TEST(CompareWithBaseline, ARunsVerdictNeedsEnoughRunsInBothDocuments) {
    TempDir dir;
    const std::vector<double> passes(40, 100.0);
    const ResultDocument many = Read(dir, L"many.json", DocumentText("many", 5, 1.0, passes));
    const ResultDocument few = Read(dir, L"few.json", DocumentText("few", 2, 1.0, passes));
    EXPECT_EQ(CompareWithBaseline(many, many).basis, Basis::Runs);
    EXPECT_EQ(CompareWithBaseline(many, few).basis, Basis::Passes);
    EXPECT_EQ(CompareWithBaseline(few, many).basis, Basis::Passes);
}

TEST(ComparisonsJson, TotalsWithoutAVerdictChangeInTheDirectionOfTheOther) {
    TempDir dir;
    const ResultDocument base = Read(dir, L"a.json", DocumentText("A", 1, 2.0, {}));
    const ResultDocument slower = Read(dir, L"b.json", DocumentText("B", 1, 3.0, {}));
    const std::vector<Comparison> comparisons = {CompareWithBaseline(base, slower)};
    ASSERT_EQ(comparisons[0].basis, Basis::Totals);
    const nlohmann::json json = nlohmann::json::parse(ComparisonsJson(comparisons));
    const nlohmann::json& test = json["comparisons"][0]["tests"][0];
    EXPECT_DOUBLE_EQ(test["baselineSeconds"].get<double>(), 2.0);
    EXPECT_DOUBLE_EQ(test["otherSeconds"].get<double>(), 3.0);
    EXPECT_DOUBLE_EQ(test["percent"].get<double>(), 50.0) << "3 s against 2 s is 50 % slower";
    LogCapture capture;
    LogComparison(comparisons[0]);
    bool seen = false;
    for (const std::wstring& line : capture.Lines())
        seen = seen || (line.find(L"Write with custom function") != std::wstring::npos &&
                        line.find(L"+50.0%") != std::wstring::npos);
    EXPECT_TRUE(seen) << "the console row shows +50.0%";
}

TEST(ComparisonsJson, EachPhaseColumnHoldsItsOwnDocumentsPercentile) {
    TempDir dir;
    // 100 passes: p50 is the 50th value, p99 the 99th.
    std::vector<double> base(100), other(100);
    for (int i = 0; i < 100; ++i) {
        base[i] = 10.0 + i;    // p50 59, p99 108
        other[i] = 1000.0 + i; // p50 1049, p99 1098
    }
    const ResultDocument a = Read(dir, L"a.json", DocumentText("A", 1, 1.0, base));
    const ResultDocument b = Read(dir, L"b.json", DocumentText("B", 1, 1.0, other));
    const std::vector<Comparison> comparisons = {CompareWithBaseline(a, b)};
    const nlohmann::json json = nlohmann::json::parse(ComparisonsJson(comparisons));
    const nlohmann::json& open = json["comparisons"][0]["phases"][0];
    ASSERT_EQ(open["phase"], "open");
    EXPECT_DOUBLE_EQ(open["baselineP50Us"].get<double>(), 59.0);
    EXPECT_DOUBLE_EQ(open["otherP50Us"].get<double>(), 1049.0);
    EXPECT_DOUBLE_EQ(open["baselineP99Us"].get<double>(), 108.0);
    EXPECT_DOUBLE_EQ(open["otherP99Us"].get<double>(), 1098.0);
    // The page's phase table in the order of its header.
    const ReportPage page = ComparisonReport({a, b}, comparisons);
    const ReportTable* phases = nullptr;
    for (const ReportTable& table : page.tables)
        phases = table.caption.find(L"per phase") != std::wstring::npos ? &table : phases;
    ASSERT_NE(phases, nullptr);
    EXPECT_EQ(phases->header[2], L"p50 A");
    EXPECT_EQ(phases->header[5], L"p99 B");
    EXPECT_EQ(phases->rows[0][2], L"59.0");
    EXPECT_EQ(phases->rows[0][3], L"1049.0");
    EXPECT_EQ(phases->rows[0][4], L"108.0");
    EXPECT_EQ(phases->rows[0][5], L"1098.0");
}

} // namespace
