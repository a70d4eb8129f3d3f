#include "results/html_report.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "errors/string_conversion.h"
#include "results/comparison_stats.h"
#include "core/test_table.h"
#include "core/text_format.h"
#include "results/result_text.h"

namespace {

using Json = nlohmann::ordered_json;

std::string Escaped(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string Escaped(const std::wstring& text) {
    return Escaped(Utf16ToUtf8(text));
}

// An embedded file inside <script> or <style>: a "</" that would end the
// element early becomes "<\/", which means the same inside the script's
// strings and the page's JSON, and cannot occur elsewhere in them.
std::string Embedded(const std::string& text) {
    std::string embedded;
    embedded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        embedded += text[i];
        if (text[i] == '<' && i + 1 < text.size() && text[i + 1] == '/')
            embedded += '\\';
    }
    return embedded;
}

// JSON inside a <script> element: every '<', which can only stand inside its
// strings, is written as \u003c, so no text of it can open or close a tag.
std::string ScriptJson(const std::string& dumped) {
    std::string text;
    text.reserve(dumped.size());
    for (const char c : dumped) {
        if (c == '<')
            text += "\\u003c";
        else
            text += c;
    }
    return text;
}

// Text inside a /* */ comment, which a "*/" in it would end.
std::string CommentText(std::string text) {
    for (std::size_t at = text.find("*/"); at != std::string::npos; at = text.find("*/", at))
        text.insert(at + 1, " ");
    return text;
}

// Four significant digits are more than a chart can show.
double Rounded(double value) {
    if (!(value > 0))
        return value;
    const double scale = std::pow(10.0, 3 - std::floor(std::log10(value)));
    return std::round(value * scale) / scale;
}

// The distribution chart of one phase of one test: per curve the share of
// passes at or below each point of one log-spaced grid of times, and the
// curve's p50 and p99. Null when no curve has samples of it.
Json CdfChart(const std::vector<ReportCurve>& curves, std::size_t test, std::size_t phase) {
    std::vector<std::pair<const ReportCurve*, std::vector<double>>> sorted;
    double low = INFINITY, high = 0;
    for (const ReportCurve& curve : curves) {
        const std::vector<double>& samples = curve.phaseUs[test][phase];
        if (samples.empty())
            continue;
        sorted.emplace_back(&curve, samples);
        std::vector<double>& values = sorted.back().second;
        std::sort(values.begin(), values.end());
        low = std::min(low, values.front());
        high = std::max(high, values.back());
    }
    if (sorted.empty())
        return nullptr;
    // A log axis needs positive times: the counter's tenth of a microsecond
    // is the shortest that can be told from nothing.
    low = std::max(low, 0.1);
    high = std::max(high, low * 1.01);
    std::vector<double> grid(kCdfPoints);
    const double step = std::log(high / low) / (kCdfPoints - 1);
    for (std::size_t i = 0; i < kCdfPoints; ++i)
        grid[i] = i + 1 == kCdfPoints ? high : low * std::exp(step * static_cast<double>(i));
    Json series = Json::array();
    for (const auto& [curve, values] : sorted) {
        Json shares = Json::array();
        for (const double x : grid) {
            const auto atOrBelow = std::upper_bound(values.begin(), values.end(), x) - values.begin();
            shares.push_back(std::round(static_cast<double>(atOrBelow) / values.size() * 10000) / 10000);
        }
        series.push_back({{"label", Utf16ToUtf8(curve->name)},
                          {"y", std::move(shares)},
                          {"p50", Tenths(SortedPercentile(values, 50))},
                          {"p99", Tenths(SortedPercentile(values, 99))},
                          {"count", values.size()}});
    }
    Json x = Json::array();
    for (const double value : grid)
        x.push_back(Rounded(value));
    const std::string name = Utf16ToUtf8(kTests[test].name);
    const std::string phaseName = Utf16ToUtf8(kTests[test].phaseNames[phase]);
    return {{"kind", "cdf"},
            {"id", "cdf-" + std::to_string(test) + "-" + std::to_string(phase)},
            {"title", name + ": " + phaseName},
            {"xLabel", phaseName + " time of a pass (us, log scale)"},
            {"yLabel", "share of passes at or below"},
            {"x", std::move(x)},
            {"series", std::move(series)}};
}

Json SweepChart(const ReportSweepChart& chart, std::size_t index) {
    Json series = Json::array();
    for (const auto& [label, values] : chart.series) {
        Json y = Json::array();
        for (const double value : values)
            y.push_back(std::isfinite(value) ? Json(Rounded(value)) : Json(nullptr));
        series.push_back({{"label", Utf16ToUtf8(label)}, {"y", std::move(y)}});
    }
    return {{"kind", "sweep"},
            {"id", "sweep-" + std::to_string(index)},
            {"title", Utf16ToUtf8(chart.title)},
            {"xLabel", "clients (log scale)"},
            {"yLabel", Utf16ToUtf8(chart.yLabel)},
            {"x", chart.clients},
            {"series", std::move(series)}};
}

std::string TableHtml(const ReportTable& table) {
    std::string html = "<table class=\"" + table.cssClass + "\">\n<caption>" + Escaped(table.caption) +
                       "</caption>\n<thead><tr>";
    for (const std::wstring& column : table.header)
        html += "<th scope=\"col\">" + Escaped(column) + "</th>";
    html += "</tr></thead>\n<tbody>\n";
    for (const std::vector<std::wstring>& row : table.rows) {
        html += "<tr>";
        for (std::size_t i = 0; i < row.size(); ++i)
            html += (i == 0 ? "<th scope=\"row\">" : "<td>") + Escaped(row[i]) + (i == 0 ? "</th>" : "</td>");
        html += "</tr>\n";
    }
    html += "</tbody>\n</table>\n";
    for (const std::wstring& note : table.notes)
        html += "<p class=\"qm-note\">" + Escaped(note) + "</p>\n";
    return html;
}

constexpr const char* kPageStyle = R"(
body { font: 14px/1.45 system-ui, sans-serif; margin: 1.5em auto; max-width: 76em; padding: 0 1em; color: #111; }
h1 { font-size: 1.5em; } h2 { font-size: 1.2em; margin-top: 1.6em; border-bottom: 1px solid #999; }
table { border-collapse: collapse; margin: 0.8em 0; }
caption { text-align: left; font-weight: 600; padding-bottom: 0.3em; }
th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; }
td { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
thead th { background: #eee; } tbody th { text-align: left; font-weight: normal; }
.qm-note { color: #333; max-width: 60em; }
.qm-charts { display: flex; flex-wrap: wrap; gap: 1.2em; }
figure.qm-chart { margin: 0; } figcaption { font-weight: 600; margin-bottom: 0.3em; }
)";

} // namespace

std::string ReportHtml(const ReportPage& page, const ReportAssets& assets) {
    Json charts = Json::array();
    for (std::size_t t = 0; t < std::size(kTests); ++t) {
        for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
            Json chart = CdfChart(page.curves, t, phase);
            if (!chart.is_null())
                charts.push_back(std::move(chart));
        }
    }
    for (std::size_t i = 0; i < page.sweepCharts.size(); ++i)
        charts.push_back(SweepChart(page.sweepCharts[i], i));
    const bool sweeps = !page.sweepCharts.empty();
    const bool distributions = charts.size() > page.sweepCharts.size();

    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       // Nothing the page holds may load anything: no request leaves it.
                       "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                       "script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
                       Escaped(page.title) + "</title>\n<style>\n" + Embedded(assets.chartStyle) + "\n" +
                       kPageStyle + "</style>\n</head>\n<body>\n<h1>" + Escaped(page.title) + "</h1>\n";
    for (const ReportTable& table : page.tables)
        html += TableHtml(table);
    if (sweeps)
        html += "<h2>Against the number of clients</h2>\n<div class=\"qm-charts\" "
                "id=\"qm-sweep-charts\"></div>\n";
    if (distributions)
        html +=
            "<h2>Latency distributions</h2>\n<p class=\"qm-note\">Per test and phase, the share of passes "
            "that took at most a given time (log time axis), one curve per run or document; p50 and p99 "
            "are marked on each curve and given in its legend entry.</p>\n"
            "<div class=\"qm-charts\" id=\"qm-cdf-charts\"></div>\n";
    html += "<script type=\"application/json\" id=\"qm-data\">" +
            ScriptJson(
                Json({{"charts", std::move(charts)}}).dump(-1, ' ', false, Json::error_handler_t::replace)) +
            "</script>\n<script>\n/*\n" + Embedded(CommentText(assets.chartLicense)) + "\n*/\n" +
            Embedded(assets.chartScript) + "\n</script>\n<script>\n" + Embedded(assets.pageScript) +
            "\n</script>\n</body>\n</html>\n";
    return html;
}
