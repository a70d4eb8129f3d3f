#pragma once
// Drawing comparisons: the console tables, the comparison's JSON document, and
// the report page's tables and page.
#include <string>
#include <vector>

#include "results/comparison_rows.h"
#include "results/html_report.h"

// Logs one comparison (category "Compare").
void LogComparison(const Comparison& comparison);

// The JSON document of every comparison of one -compare.
std::string ComparisonsJson(const std::vector<Comparison>& comparisons);

// The report page of a comparison: every document's facts and seconds, each
// comparison's change tables, and a latency distribution per test and phase
// with a curve per document that holds samples.
ReportPage ComparisonReport(const std::vector<ResultDocument>& documents,
                            const std::vector<Comparison>& comparisons);
