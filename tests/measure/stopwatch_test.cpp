#include <gtest/gtest.h>

#include <windows.h>

#include "measure/stopwatch.h"

namespace {

TEST(Stopwatch, MicrosecondsBetweenMultipliesFirstAndTruncates) {
    const struct {
        std::int64_t start, stop, frequency, expected;
    } cases[] = {
        {0, 3, 10000000, 0},
        {0, 10000000, 10000000, 1000000},
        {0, 19, 10000000, 1},                                                 // 1.9 us truncated
        {1000, 1025, 10000000, 2},                                            // only the difference counts
        {0, 1, 3, 333333},                                                    // dividing first would give 0
        {0, 2, 3, 666666},                                                    // truncated, not rounded
        {5000000000LL, 5000000000LL + 36000000000LL, 10000000, 3600000000LL}, // one hour
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Stopwatch::MicrosecondsBetween(c.start, c.stop, c.frequency), c.expected)
            << "start " << c.start << ", stop " << c.stop << ", frequency " << c.frequency;
    }
}

TEST(Stopwatch, MeasuresARealWait) {
    Stopwatch stopwatch;
    EXPECT_EQ(stopwatch.ElapsedMicroseconds(), 0) << "a stopwatch that never ran must show nothing";
    stopwatch.Start();
    Sleep(50);
    stopwatch.Stop();
    const std::int64_t elapsed = stopwatch.ElapsedMicroseconds();
    EXPECT_GE(elapsed, 40000) << "a 50 ms wait measured as " << elapsed << " us";
    EXPECT_LT(elapsed, 5000000) << "a 50 ms wait measured as " << elapsed << " us";
}

} // namespace
