#include "measure/phase_times.h"

#include <new>

bool PhaseTimes::Reserve(std::size_t phases, std::uint32_t iterations) {
    samples_.reset();
    phases_ = 0;
    passes_ = 0;
    samples_.reset(new (std::nothrow) std::int64_t[phases * iterations]);
    if (!samples_)
        return false;
    phases_ = phases;
    passes_ = iterations;
    return true;
}
