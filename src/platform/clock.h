// The system's monotonic clock in milliseconds, exact and coarse. The coarse
// reading costs a few nanoseconds (no hardware counter is read) and lags the
// exact one by at most its resolution: a statement loop can ask it at every
// line whether a deadline may have come.
#pragma once

#include <cstdint>
#include <ctime>

#ifdef _WIN32
// Windows' tick count, the cheap coarse clock there (a few nanoseconds, where
// reading the performance counter costs tens to hundreds); declared here so
// that <windows.h>, whose macros take the window messages' names, stays out.
extern "C" __declspec(dllimport) unsigned long long __stdcall GetTickCount64();
#endif

namespace tessel {

class MonotonicClock {
   public:
    MonotonicClock() {
#ifdef _WIN32
        // The tick count has its own start and a resolution of about 16 ms:
        // shifted onto the exact clock, and back by one resolution, so that
        // it is never ahead.
        tickOffset_ = exactMs() - GetTickCount64() - kTickMs;
        lagMs_ = 2 * kTickMs + 1;
#elif defined(CLOCK_MONOTONIC_COARSE)
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
#ifdef _WIN32
    uint64_t coarseMs() const { return GetTickCount64() + tickOffset_; }
#else
    uint64_t coarseMs() const { return read(coarseId_); }
#endif
    uint64_t lagMs() const { return lagMs_; }

   private:
    static uint64_t read(clockid_t id) {
        timespec t{};
        clock_gettime(id, &t);
        return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
    }

    clockid_t coarseId_ = CLOCK_MONOTONIC;  // the coarse clock, or the exact one where there is none
    uint64_t lagMs_ = 0;                    // how far coarseMs may lag behind exactMs
#ifdef _WIN32
    static constexpr uint64_t kTickMs = 16;  // the tick count's resolution, rounded up
    uint64_t tickOffset_ = 0;                // exact clock minus tick count, less kTickMs
#endif
};

}  // namespace tessel
