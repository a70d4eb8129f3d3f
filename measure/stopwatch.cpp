#include "measure/stopwatch.h"

#include <windows.h>

Stopwatch::Stopwatch() : frequency(Frequency()) {}

void Stopwatch::Start() {
    startCount = Now();
}

void Stopwatch::Stop() {
    stopCount = Now();
}

std::int64_t Stopwatch::Now() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

std::int64_t Stopwatch::Frequency() {
    LARGE_INTEGER counts;
    QueryPerformanceFrequency(&counts);
    return counts.QuadPart;
}

std::int64_t Stopwatch::ElapsedMicroseconds() const {
    return MicrosecondsBetween(startCount, stopCount, frequency);
}

std::int64_t Stopwatch::MicrosecondsBetween(std::int64_t startCount, std::int64_t stopCount,
                                            std::int64_t frequency) {
    return frequency == 0 ? 0 : (stopCount - startCount) * 1000000 / frequency;
}
