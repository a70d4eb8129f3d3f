#pragma once
#include <cstdint>

// Times one loop with the high-resolution performance counter; reads it only at
// Start and Stop.
class Stopwatch {
public:
    Stopwatch();
    void Start();
    void Stop();
    std::int64_t ElapsedMicroseconds() const;

    // (stop - start) * 1,000,000 / frequency in integer arithmetic, multiplying
    // first so that nothing is lost to an intermediate value in seconds.
    static std::int64_t MicrosecondsBetween(std::int64_t startCount, std::int64_t stopCount,
                                            std::int64_t frequency);

    // The performance counter now, and its counts per second.
    static std::int64_t Now();
    static std::int64_t Frequency();

private:
    std::int64_t frequency = 0;
    std::int64_t startCount = 0;
    std::int64_t stopCount = 0;
};
