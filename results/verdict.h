#pragma once
// The verdicts of one comparison: every row of it (a test's seconds, a
// phase's per-run statistic) judged as one family, so that the chance of any
// false alarm in the whole comparison stays at alpha.
//
// The rule, in plain words:
// - A row's values are one per independent run (never the passes of a run,
//   which are not independent draws). Values that are not positive numbers
//   are no run's result and are left out.
// - Each row is judged on the logarithms of its values, so a change reads as
//   a ratio: the change shown is the Hodges-Lehmann shift of the logs (the
//   median of all differences between a run of the other side and a run of
//   the baseline) as a per cent, with its confidence interval, and the
//   verdict is a two-sided Wilcoxon-Mann-Whitney rank test.
// - A row is judged only if its numbers of runs could give a p below
//   alpha / K (K the number of rows in the comparison), the strictest level
//   of the family; otherwise no outcome could be significant there, and the
//   row says how many runs per side would allow a verdict.
// - The judged rows form the family. Holm's method keeps its family-wise
//   error at alpha: the rows in order of p are compared with alpha / k,
//   alpha / (k - 1), ... until the first that is not below its level; the
//   rows before it are significant, it and every later row are not.
// - Each row's interval is at the level it was judged at (a row from the
//   stopping row on at the stopping row's level), and the interval is the
//   inverse of the same test, so a row is significant exactly when its
//   interval excludes no change.
// - A row that is not significant states the change it could have seen: the
//   smallest change (±) the test at its level detects with 80 % power, for
//   the spread of its runs: 1.4826 times the median absolute deviation of
//   the logs from their own side's median, both sides pooled (where that is
//   0, the root mean square of those deviations), times N / (N - 2.5) for N
//   runs in all, as deviations from the sides' own medians run small.
#include <cmath>
#include <cstddef>
#include <vector>

struct RowSamples {
    std::vector<double> baseline, other; // one positive value per independent run
};

struct Verdict {
    bool judged = false;        // false: a side has too few runs for any verdict in this family
    std::size_t runsNeeded = 0; // when !judged: runs per side that would allow one
    double percent = NAN;       // the shift of the logs as a change: (exp(shift) - 1) * 100
    double lowPercent = NAN, highPercent = NAN; // its interval at `level` (-100 / +inf: unbounded)
    double level = NAN;                         // the level this row was judged at (Holm)
    double p = NAN;                             // unadjusted two-sided p
    bool exact = false;                         // p from the exact null distribution
    bool significant = false;                   // the interval excludes no change
    double detectablePercent = NAN; // when !significant: could not see changes smaller than ± this
};

// One verdict per row, in the order of `rows`.
std::vector<Verdict> JudgeFamily(const std::vector<RowSamples>& rows, double alpha = 0.05);
