#pragma once
// The time of every phase of every pass of a timed loop, in performance counter
// ticks (-latency). The samples are reserved before the loop's stopwatch starts;
// inside the loop the end of a phase costs one counter read and one store, and
// the next phase starts at that same reading, so the phases of a loop add up
// to the loop's time.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "measure/stopwatch.h"

class PhaseTimes {
public:
    // Room for `iterations` passes of `phases` phases; earlier samples are
    // dropped. False when the memory cannot be had.
    bool Reserve(std::size_t phases, std::uint32_t iterations);

    // The first phase of the first pass starts now.
    void Start() { last_ = Stopwatch::Now(); }

    // Phase `phase` of pass `pass` ends now; the next one starts.
    void End(std::size_t phase, std::uint32_t pass) {
        const std::int64_t now = Stopwatch::Now();
        samples_[phase * passes_ + pass] = now - last_;
        last_ = now;
    }

    std::size_t Phases() const { return phases_; }
    std::uint32_t Passes() const { return passes_; }
    // One phase's samples, one per pass, in pass order.
    std::int64_t* Phase(std::size_t phase) { return samples_.get() + phase * passes_; }
    const std::int64_t* Phase(std::size_t phase) const { return samples_.get() + phase * passes_; }

private:
    std::unique_ptr<std::int64_t[]> samples_;
    std::size_t phases_ = 0;
    std::uint32_t passes_ = 0;
    std::int64_t last_ = 0;
};

// For a loop timed as a whole only: nothing is read or kept.
struct NoPhaseTimes {
    void Start() {}
    void End(std::size_t, std::uint32_t) {}
};
