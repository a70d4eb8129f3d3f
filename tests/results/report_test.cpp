// The report page's own logic: what it escapes, the distributions it draws,
// and how a client sweep's runs are summed up per client count.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/test_table.h"
#include "results/html_report.h"
#include "results/run_report.h"
#include "results/run_summary.h"

namespace {

const ReportAssets kAssets = {"/*chart*/ var s = '</script>';", ".u{}", "MIT licence */ text", "/*page*/"};

// The page's chart data, parsed back from its JSON element.
nlohmann::json PageData(const std::string& html) {
    const std::string open = "<script type=\"application/json\" id=\"qm-data\">";
    const std::size_t from = html.find(open);
    EXPECT_NE(from, std::string::npos);
    const std::size_t to = html.find("</script>", from);
    std::string text = html.substr(from + open.size(), to - from - open.size());
    return nlohmann::json::parse(text);
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A label, a path or a name is text of the page, never markup: a label that
// tries to end a table cell or the data element stays text, and so does an
// embedded file that holds "</script>".
TEST(ReportHtml, TextFromTheRunCannotBecomeMarkup) {
    const std::wstring hostile = L"</script><script>alert(1)</script> & \"x\" 'y'";
    ReportPage page;
    page.title = L"Quillmarsh: " + hostile;
    page.tables.push_back({"qm-facts", L"The run", {L"", hostile}, {{L"label", hostile}}, {hostile}});
    page.curves.push_back({hostile, {}});
    page.curves.back().phaseUs[0][0] = {10, 20, 30};
    const std::string html = ReportHtml(page, kAssets);

    EXPECT_EQ(Count(html, "<script"), 3u) << "only the data, the library and the page's script";
    EXPECT_EQ(Count(html, "</script>"), 3u);
    EXPECT_NE(
        html.find("&lt;/script&gt;&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;x&quot; &#39;y&#39;"),
        std::string::npos);
    EXPECT_NE(html.find("var s = '<\\/script>';"), std::string::npos) << "the library's string stays whole";
    EXPECT_NE(html.find("MIT licence * / text"), std::string::npos) << "the licence cannot end its comment";
    // The label comes back whole from the data.
    const nlohmann::json data = PageData(html);
    EXPECT_EQ(data["charts"][0]["series"][0]["label"], "</script><script>alert(1)</script> & \"x\" 'y'");
    // Nothing may be loaded from anywhere.
    EXPECT_NE(html.find("Content-Security-Policy\" content=\"default-src 'none';"), std::string::npos);
}

// One chart per test and phase with samples, a curve per source that has
// them; each curve's share of passes at or below a time is exact at the grid's
// points, its p50 and p99 are the nearest-rank values.
TEST(ReportHtml, DistributionsAreExactAtTheirPoints) {
    ReportPage page;
    page.curves.push_back({L"one to a hundred", {}});
    page.curves.push_back({L"tens", {}});
    page.curves.push_back({L"none", {}}); // no samples: no curve
    for (int i = 100; i >= 1; --i)
        page.curves[0].phaseUs[3][2].push_back(i); // any order
    page.curves[1].phaseUs[3][2] = {1000, 10, 10, 10};
    page.curves[1].phaseUs[0][1] = {5};
    const nlohmann::json charts = PageData(ReportHtml(page, kAssets))["charts"];

    ASSERT_EQ(charts.size(), 2u);
    EXPECT_EQ(charts[0]["title"], "Write with custom function: write");
    EXPECT_EQ(charts[0]["series"].size(), 1u);
    const nlohmann::json& chart = charts[1];
    EXPECT_EQ(chart["kind"], "cdf");
    EXPECT_EQ(chart["title"], "Create/delete loop: close");
    ASSERT_EQ(chart["series"].size(), 2u);
    const nlohmann::json& x = chart["x"];
    ASSERT_EQ(x.size(), kCdfPoints);
    EXPECT_DOUBLE_EQ(x.front().get<double>(), 1);
    EXPECT_DOUBLE_EQ(x.back().get<double>(), 1000);
    for (std::size_t i = 1; i < x.size(); ++i)
        ASSERT_GT(x[i].get<double>(), x[i - 1].get<double>());
    const nlohmann::json& hundred = chart["series"][0];
    const nlohmann::json& tens = chart["series"][1];
    EXPECT_EQ(hundred["label"], "one to a hundred");
    EXPECT_EQ(hundred["p50"], 50.0);
    EXPECT_EQ(hundred["p99"], 99.0);
    EXPECT_EQ(tens["p50"], 10.0);
    EXPECT_EQ(tens["p99"], 1000.0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double at = x[i].get<double>();
        SCOPED_TRACE(at);
        // The grid is rounded to four digits: the share is that of the rounded time.
        EXPECT_NEAR(hundred["y"][i].get<double>(), std::min(std::floor(at + 1e-9), 100.0) / 100, 0.0101);
        if (std::abs(at - 10) > 0.01 && std::abs(at - 1000) > 0.5) { // rounded onto a step: either side
            EXPECT_DOUBLE_EQ(tens["y"][i].get<double>(), at < 10 ? 0.0 : at < 1000 ? 0.75 : 1.0);
        }
    }
}

TEST(ReportHtml, SweepChartsKeepGapsAndHaveNoDistributionsWithoutSamples) {
    ReportPage page;
    page.sweepCharts.push_back({L"Operations per second against clients",
                                L"operations per second",
                                {1, 2, 4},
                                {{L"Write with custom function", {3000, 2000, NAN}}}});
    const std::string html = ReportHtml(page, kAssets);
    const nlohmann::json charts = PageData(html)["charts"];
    ASSERT_EQ(charts.size(), 1u);
    EXPECT_EQ(charts[0]["kind"], "sweep");
    EXPECT_EQ(charts[0]["x"], nlohmann::json({1, 2, 4}));
    EXPECT_EQ(charts[0]["series"][0]["y"], nlohmann::json({3000.0, 2000.0, nullptr}))
        << "a count that did not complete is a gap, not a zero";
    EXPECT_EQ(html.find("qm-cdf-charts"), std::string::npos);
    EXPECT_NE(html.find("qm-sweep-charts"), std::string::npos);
}

RunRecord RunOf(std::size_t clients, std::initializer_list<std::uint64_t> microseconds, int completed = 4) {
    RunRecord run;
    run.completedTests = completed;
    run.clients.resize(clients);
    const std::uint64_t* value = microseconds.begin();
    run.durations = {value[0], value[1], value[2], value[3]};
    return run;
}

// A sweep's runs of one client count follow each other; each step sums them
// up on its own: the median of its runs and the operations of all its clients.
TEST(SweepSteps, EachClientCountIsAStepOfItsOwn) {
    RunSeries series;
    series.counterFrequency = 10000000;
    series.runs = {RunOf(1, {100000, 1, 1, 1}), RunOf(1, {300000, 1, 1, 1}), RunOf(1, {200000, 1, 1, 1}),
                   RunOf(4, {500000, 1, 1, 1}), RunOf(4, {1000000, 2, 2, 2}, 1)};
    const std::vector<SweepStep> steps = SweepSteps(series, 10, false);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].clients, 1u);
    EXPECT_EQ(steps[0].firstRun, 0u);
    EXPECT_EQ(steps[0].runCount, 3u);
    EXPECT_DOUBLE_EQ(steps[0].tests[0].medianSeconds, 0.2);
    EXPECT_DOUBLE_EQ(steps[0].tests[0].operationsPerSecond, 10 / 0.2);
    EXPECT_EQ(steps[1].clients, 4u);
    EXPECT_EQ(steps[1].firstRun, 3u);
    EXPECT_EQ(steps[1].runCount, 2u);
    EXPECT_DOUBLE_EQ(steps[1].tests[0].medianSeconds, 0.75);
    EXPECT_DOUBLE_EQ(steps[1].tests[0].operationsPerSecond, 40 / 0.75);
    // The second run of four clients completed the first test only.
    EXPECT_DOUBLE_EQ(steps[1].tests[1].medianSeconds, 0.000001);
    EXPECT_EQ(steps[1].pass[0].count, 0u) << "no statistics without -latency";
}

// The time in microseconds of pass `pass` of phase `phase` of test `test`,
// of client `client` of run `run`, in the fixtures below: each value of the
// series its own, so a curve shows whose passes it holds.
double PhaseUs(std::size_t run, std::size_t client, std::size_t test, std::size_t phase, std::size_t pass) {
    return 1000.0 * static_cast<double>(run + 1) + 100.0 * static_cast<double>(client) +
           10.0 * static_cast<double>(test * kMaxPhases + phase) + static_cast<double>(pass);
}

constexpr std::int64_t kTicksPerUs = 10; // a counter of 10 MHz

// Gives every client of `run` (the series' run `index`) its passes of every
// test, as PhaseUs says.
void AddSamples(RunRecord& run, std::size_t index, std::size_t passes) {
    for (std::size_t c = 0; c < run.clients.size(); ++c) {
        for (std::size_t t = 0; t < kTestCount; ++t) {
            std::vector<std::int64_t>& ticks = run.clients[c].phaseTicks[t];
            ticks.clear();
            for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
                for (std::size_t pass = 0; pass < passes; ++pass)
                    ticks.push_back(static_cast<std::int64_t>(PhaseUs(index, c, t, phase, pass)) *
                                    kTicksPerUs);
            }
        }
    }
}

// Expects `curve` to hold, per test and phase, every pass of every client of
// the series' runs [first, first + count) and nothing else (`passes` each).
void ExpectCurveOf(const ReportCurve& curve, const RunSeries& series, std::size_t first, std::size_t count,
                   std::size_t passes) {
    for (std::size_t t = 0; t < kTestCount; ++t) {
        for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
            SCOPED_TRACE(testing::Message() << kTests[t].category << ", phase " << phase);
            std::vector<double> expected;
            for (std::size_t r = first; r < first + count; ++r) {
                for (std::size_t c = 0; c < series.runs[r].clients.size(); ++c) {
                    for (std::size_t pass = 0; pass < passes; ++pass)
                        expected.push_back(PhaseUs(r, c, t, phase, pass));
                }
            }
            std::vector<double> drawn = curve.phaseUs[t][phase];
            std::sort(drawn.begin(), drawn.end());
            std::sort(expected.begin(), expected.end());
            ASSERT_EQ(drawn.size(), expected.size());
            for (std::size_t i = 0; i < drawn.size(); ++i)
                EXPECT_NEAR(drawn[i], expected[i], 1e-6) << "pass " << i << " of the curve";
        }
    }
}

RunSettings ReportSettings() {
    RunSettings settings;
    settings.target = L"\\\\srv\\share\\q";
    settings.iterations = 2;
    settings.latency = true;
    return settings;
}

// Each run's curve holds every pass of every client of that run.
TEST(RunReport, EachRunsCurveHoldsThePassesOfAllItsClients) {
    RunSettings settings = ReportSettings();
    settings.clients = 3;
    settings.runs = 2;
    RunSeries series;
    series.counterFrequency = 10000000;
    series.runs = {RunOf(3, {100000, 200000, 300000, 400000}), RunOf(3, {110000, 210000, 310000, 410000})};
    for (std::size_t r = 0; r < series.runs.size(); ++r)
        AddSamples(series.runs[r], r, 2);
    ASSERT_EQ(SumUpSeries(series, settings.iterations, true, false), 0u);
    const ReportPage page = RunReport(settings, series, 0);
    ASSERT_EQ(page.curves.size(), 2u);
    for (std::size_t r = 0; r < 2; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(page.curves[r].name, L"run " + std::to_wstring(r + 1));
        ExpectCurveOf(page.curves[r], series, r, 1, 2);
    }
}

// A sweep of 1 and 2 clients, two runs each: every step's curve is drawn
// from its own runs, its scaling rows and chart points are its own, and the
// p99 chart shows the p99.
TEST(RunReport, ASweepsCurvesTableAndChartsAreEachStepsOwn) {
    RunSettings settings = ReportSettings();
    settings.clientSweep = {1, 2};
    settings.clients = 1;
    settings.runs = 2;
    RunSeries series;
    series.counterFrequency = 10000000;
    series.runs = {RunOf(1, {100000, 1, 1, 1}), RunOf(1, {300000, 1, 1, 1}), RunOf(2, {250000, 1, 1, 1}),
                   RunOf(2, {250000, 1, 1, 1})};
    for (std::size_t r = 0; r < series.runs.size(); ++r)
        AddSamples(series.runs[r], r, 2);
    ASSERT_EQ(SumUpSeries(series, settings.iterations, true, true), 0u);
    const ReportPage page = RunReport(settings, series, 0);

    ASSERT_EQ(page.curves.size(), 2u);
    EXPECT_EQ(page.curves[0].name, L"1 client");
    EXPECT_EQ(page.curves[1].name, L"2 clients");
    ExpectCurveOf(page.curves[0], series, 0, 2, 2);
    ExpectCurveOf(page.curves[1], series, 2, 2, 2);

    // The write test's passes are their three phases added up: 3030 and 3033
    // us in the first run, 6030 and 6033 in the second (p50 3033, p99 6033);
    // 9030, 9033, 9330 and 9333 us in the third, 3000 us more in the fourth
    // (p50 9333, p99 12333).
    const std::vector<std::vector<std::wstring>> writeRows = {
        {L"Write with custom function", L"1", L"0.200000", L"10.0", L"3033.0", L"6033.0"},
        {L"", L"2", L"0.250000", L"16.0", L"9333.0", L"12333.0"},
    };
    ASSERT_EQ(page.tables.size(), 2u);
    const ReportTable& scaling = page.tables[1];
    ASSERT_GE(scaling.rows.size(), 2u);
    EXPECT_EQ(scaling.rows[0], writeRows[0]);
    EXPECT_EQ(scaling.rows[1], writeRows[1]);

    ASSERT_EQ(page.sweepCharts.size(), 2u);
    const ReportSweepChart& throughput = page.sweepCharts[0];
    const ReportSweepChart& p99 = page.sweepCharts[1];
    EXPECT_EQ(throughput.clients, (std::vector<double>{1, 2}));
    EXPECT_EQ(p99.title, L"p99 of a pass against clients");
    ASSERT_EQ(throughput.series.size(), kTestCount);
    ASSERT_EQ(p99.series.size(), kTestCount);
    EXPECT_EQ(throughput.series[kWriteTest].second, (std::vector<double>{10.0, 16.0}));
    EXPECT_EQ(throughput.series[kProfileReadTest].second, (std::vector<double>{2 / 1e-6, 4 / 1e-6}));
    EXPECT_EQ(p99.series[kWriteTest].second, (std::vector<double>{6033.0, 12333.0}));
}

} // namespace
