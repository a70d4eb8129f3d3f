#pragma once
// A report page: one self-contained HTML file (the chart library, its style
// and the page's own script embedded) that shows a run, a sweep or a
// comparison with tables and charts, and asks for nothing from the network.
#include <array>
#include <string>
#include <vector>

// The files a page embeds: the chart library (script, style, licence) and the
// script that draws the page's charts from its data.
struct ReportAssets {
    std::string chartScript;
    std::string chartStyle;
    std::string chartLicense;
    std::string pageScript;
};

// A table of text; the first column names the row.
struct ReportTable {
    std::string cssClass; // e.g. "qm-facts"
    std::wstring caption;
    std::vector<std::wstring> header;
    std::vector<std::vector<std::wstring>> rows;
    std::vector<std::wstring> notes = {}; // paragraphs below it
};

// One curve of every latency distribution chart: a run, a sweep's step or a
// compared document.
struct ReportCurve {
    std::wstring name;
    // Per test and phase: every pass's time in microseconds, in any order
    // (empty where the curve has none).
    std::array<std::array<std::vector<double>, 4>, 4> phaseUs;
};

// A chart of values against the number of clients, a line per series.
struct ReportSweepChart {
    std::wstring title;
    std::wstring yLabel;
    std::vector<double> clients;
    std::vector<std::pair<std::wstring, std::vector<double>>> series; // a value per client count
};

struct ReportPage {
    std::wstring title;
    std::vector<ReportTable> tables;
    std::vector<ReportCurve> curves;
    std::vector<ReportSweepChart> sweepCharts;
};

// The points a distribution chart draws per curve: the share of passes at or
// below each of this many times, spaced evenly on a log scale between the
// chart's fastest and slowest pass.
inline constexpr std::size_t kCdfPoints = 240;

// The whole page as UTF-8. Text from the page (labels, paths, names) is
// escaped; the embedded files cannot end their element early. Throws
// std::bad_alloc when there is no memory for it.
std::string ReportHtml(const ReportPage& page, const ReportAssets& assets);
