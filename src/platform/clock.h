// The system's monotonic clock in milliseconds, exact and coarse. The coarse
// reading costs a few nanoseconds (no hardware counter is read) and lags the
// exact one by at most its resolution: a statement loop can ask it at every
// line whether a deadline may have come.
#pragma once

#include <cstdint>
#include <ctime>

namespace tessel {

class MonotonicClock {
   public:
    MonotonicClock() {
#ifdef CLOCK_MONOTONIC_COARSE  // (not on every system: Windows has none)
        timespec res{};
        if (clock_getres(CLOCK_MONOTONIC_COARSE, &res) == 0) {
            coarseId_ = CLOCK_MONOTONIC_COARSE;
            lagMs_ = static_cast<uint64_t>(res.tv_sec) * 1000u +
                     static_cast<uint64_t>(res.tv_nsec) / 1000000u + 1u;
        }
#endif
    }

    uint64_t exactMs() const { return read(CLOCK_MONOTONIC); }
    // Never ahead of exactMs, and at most lagMs() behind it.
    uint64_t coarseMs() const { return read(coarseId_); }
    uint64_t lagMs() const { return lagMs_; }

   private:
    static uint64_t read(clockid_t id) {
        timespec t{};
        clock_gettime(id, &t);
        return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
    }

    clockid_t coarseId_ = CLOCK_MONOTONIC;  // the coarse clock, or the exact one where there is none
    uint64_t lagMs_ = 0;                    // how far coarseMs may lag behind exactMs
};

}  // namespace tessel
