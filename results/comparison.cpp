#include "results/comparison.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "errors/string_conversion.h"
#include "results/comparison_rows.h"
#include "results/comparison_tables.h"
#include "results/json_document.h"
#include "results/result_files.h"

namespace {

// Fewer runs than this cannot show a significant difference of their
// seconds (3 against 3 never give p below 0.1): below it, per-pass samples
// are used where both documents hold them.
constexpr std::size_t kRunsForVerdict = 5;

// The sample sets a row compares, and where its numbers go.
struct Job {
    ComparisonRow* row;
    const std::vector<double>* baseline;
    const std::vector<double>* other;
};

void Compute(const Job& job) {
    ComparisonRow& row = *job.row;
    row.change = CompareSamples(*job.baseline, *job.other);
    if (row.phase == kNoPhase)
        return;
    std::vector<double> a = *job.baseline, b = *job.other;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    row.percentiles = {SortedPercentile(a, 50), SortedPercentile(b, 50), SortedPercentile(a, 99),
                       SortedPercentile(b, 99)};
}

// Computes every job, on as many threads as there are cores.
void ComputeAll(const std::vector<Job>& jobs) {
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

std::vector<std::wstring> Differences(const ResultDocument& base, const ResultDocument& other) {
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
    return differences;
}

} // namespace

Comparison CompareWithBaseline(const ResultDocument& base, const ResultDocument& other) {
    Comparison comparison;
    comparison.baseline = &base;
    comparison.other = &other;
    comparison.differences = Differences(base, other);
    const bool samples = base.hasSamples && other.hasSamples;
    comparison.basis = base.runs >= kRunsForVerdict && other.runs >= kRunsForVerdict ? Basis::Runs
                       : samples                                                     ? Basis::Passes
                                                                                     : Basis::Totals;
    // The rows first (their addresses stay), then the sets each compares.
    for (std::size_t t = 0; t < kTestCount; ++t) {
        if (base.runSeconds[t].empty() || other.runSeconds[t].empty())
            continue;
        ComparisonRow row;
        row.test = t;
        row.baselineSeconds = Median(base.runSeconds[t]);
        row.otherSeconds = Median(other.runSeconds[t]);
        comparison.rows.push_back(row);
    }
    for (std::size_t t = 0; t < kTestCount && samples; ++t) {
        for (std::size_t phase = 0; phase < kTests[t].phaseCount; ++phase) {
            if (!base.phaseUs[t][phase].empty() && !other.phaseUs[t][phase].empty())
                comparison.rows.push_back({t, phase, true});
        }
    }
    std::vector<Job> jobs;
    for (ComparisonRow& row : comparison.rows) {
        const std::size_t t = row.test;
        if (row.phase != kNoPhase)
            jobs.push_back({&row, &base.phaseUs[t][row.phase], &other.phaseUs[t][row.phase]});
        else if (comparison.basis == Basis::Runs)
            jobs.push_back({&row, &base.runSeconds[t], &other.runSeconds[t]});
        else if (comparison.basis == Basis::Passes && !base.passUs[t].empty() && !other.passUs[t].empty())
            jobs.push_back({&row, &base.passUs[t], &other.passUs[t]});
        row.judged = jobs.size() > 0 && jobs.back().row == &row;
    }
    ComputeAll(jobs);
    return comparison;
}

Win32Error CompareDocuments(const std::vector<std::wstring>& files, const std::wstring& jsonPath,
                            const std::wstring& htmlPath) {
    try {
        // One after the other: parsing allocates many small blocks, and two
        // threads doing it at once contend for the heap (twice as slow here).
        std::vector<ResultDocument> documents(files.size());
        std::vector<Win32Error> codes(files.size());
        for (std::size_t i = 0; i < files.size(); ++i)
            codes[i] = ReadResultDocument(files[i], documents[i]);
        for (const Win32Error code : codes) {
            if (code != 0)
                return code; // the first bad document, by name; every bad one was named
        }
        std::vector<Comparison> comparisons;
        for (std::size_t i = 1; i < documents.size(); ++i) {
            comparisons.push_back(CompareWithBaseline(documents[0], documents[i]));
            LogComparison(comparisons.back());
        }
        if (!jsonPath.empty()) {
            if (const Win32Error code = WriteWholeFile(jsonPath, ComparisonsJson(comparisons)))
                return code;
        }
        if (!htmlPath.empty())
            return WriteReportPage(htmlPath, ComparisonReport(documents, comparisons));
        return 0;
    } catch (const std::exception&) {
        return win32::kOutOfMemory;
    }
}
