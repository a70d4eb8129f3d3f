#include "driver/stopwatch.h"

#include <windows.h>

namespace {

std::int64_t ReadCounter() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

} // namespace

Stopwatch::Stopwatch() {
    LARGE_INTEGER counts;
    QueryPerformanceFrequency(&counts);
    frequency = counts.QuadPart;
}

void Stopwatch::Start() {
    startCount = ReadCounter();
}

void Stopwatch::Stop() {
    stopCount = ReadCounter();
}

std::int64_t Stopwatch::ElapsedMicroseconds() const {
    return MicrosecondsBetween(startCount, stopCount, frequency);
}

std::int64_t Stopwatch::MicrosecondsBetween(std::int64_t startCount, std::int64_t stopCount,
                                            std::int64_t frequency) {
    return frequency == 0 ? 0 : (stopCount - startCount) * 1000000 / frequency;
}
