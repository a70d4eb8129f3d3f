// How often the verdicts of a comparison raise a false alarm, and how often
// they find a real change, on made-up runs: each trial is one comparison's
// family of rows (4 test rows and 11 phase rows, one value per run and side,
// independent), judged by JudgeFamily. The run-to-run spread is log-normal:
// the log of a run's value has the standard deviation log(1 + spread). For
// each spread and number of runs per side:
// - A/A: both sides from the same distribution; the share of families with
//   ANY significant row (the family-wise error, 5 % by design);
// - the share of families in which one test row, made 5, 10 or 20 % slower,
//   is found significant and slower;
// - the median detectable change a row states when it is not significant
//   (A/A families), and the share of families in which a row shifted by
//   that much is found (80 % if the statement is honest).
// Prints a markdown table.
//
//   verdict_rates [trials per cell, default 2000]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "results/rank_stats.h"
#include "results/verdict.h"

namespace {

constexpr std::size_t kRows = 15; // 4 tests, 11 phases

// Standard normal draws from a generator of fixed seed (Box-Muller, spelt
// out so that every standard library gives the same runs).
class Normals {
public:
    explicit Normals(std::uint64_t seed) : generator_(seed) {}
    double operator()() {
        const double u = (static_cast<double>(generator_() >> 11) + 0.5) * 0x1p-53;
        const double v = static_cast<double>(generator_() >> 11) * 0x1p-53;
        return std::sqrt(-2 * std::log(u)) * std::cos(2 * std::acos(-1.0) * v);
    }

private:
    std::mt19937_64 generator_;
};

// One family; the first row's other side is `factor` times slower.
std::vector<RowSamples> Family(Normals& normals, std::size_t runs, double logSpread, double factor) {
    std::vector<RowSamples> rows(kRows);
    for (std::size_t r = 0; r < kRows; ++r) {
        for (std::size_t i = 0; i < runs; ++i) {
            rows[r].baseline.push_back(std::exp(logSpread * normals()));
            rows[r].other.push_back((r == 0 ? factor : 1.0) * std::exp(logSpread * normals()));
        }
    }
    return rows;
}

// The share of `trials` families in which the first row is found slower.
double Power(Normals& normals, std::size_t runs, double logSpread, double percent, int trials) {
    int found = 0;
    for (int t = 0; t < trials; ++t) {
        const Verdict v = JudgeFamily(Family(normals, runs, logSpread, 1 + percent / 100))[0];
        found += v.significant && v.lowPercent > 0;
    }
    return static_cast<double>(found) / trials;
}

} // namespace

int main(int argc, char* argv[]) {
    const int trials = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (trials < 1) {
        std::fprintf(stderr, "usage: verdict_rates [trials per cell, at least 1]\n");
        return 87;
    }
    const auto start = std::chrono::steady_clock::now();
    std::printf("%d trials per cell; %zu rows per family (4 tests + 11 phases), one shifted test row; "
                "alpha 0.05 family-wise (Holm)\n\n",
                trials, kRows);
    std::printf("| spread | runs per side | A/A: any false alarm | found +5 %% | found +10 %% | found +20 %% "
                "| median stated detectable change | found at that change |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    Normals normals(20240601);
    for (const double spread : {0.03, 0.08, 0.15}) {
        const double logSpread = std::log1p(spread);
        for (const std::size_t runs : {5, 10, 20}) {
            int alarms = 0;
            std::vector<double> detectable;
            bool judged = true;
            for (int t = 0; t < trials; ++t) {
                const std::vector<Verdict> verdicts = JudgeFamily(Family(normals, runs, logSpread, 1.0));
                judged = verdicts[0].judged;
                alarms += std::any_of(verdicts.begin(), verdicts.end(),
                                      [](const Verdict& v) { return v.significant; });
                for (const Verdict& v : verdicts)
                    if (v.judged && !v.significant)
                        detectable.push_back(v.detectablePercent);
            }
            std::printf("| %.0f %% | %zu | %.1f %% ", spread * 100, runs, 100.0 * alarms / trials);
            if (!judged) {
                std::printf("| not judged: %zu runs per side needed | | | | |\n",
                            JudgeFamily(Family(normals, runs, logSpread, 1.0))[0].runsNeeded);
                continue;
            }
            for (const double percent : {5.0, 10.0, 20.0})
                std::printf("| %.1f %% ", 100 * Power(normals, runs, logSpread, percent, trials));
            std::nth_element(detectable.begin(), detectable.begin() + detectable.size() / 2,
                             detectable.end());
            const double stated = detectable[detectable.size() / 2];
            std::printf("| ±%.1f %% | %.1f %% |\n", stated,
                        100 * Power(normals, runs, logSpread, stated, trials));
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("\nA/A noise: a true 5 %% rate shows as 5 %% +- %.1f %% (two standard errors). %.1f s.\n",
                200 * std::sqrt(0.05 * 0.95 / trials), seconds);
    return 0;
}
