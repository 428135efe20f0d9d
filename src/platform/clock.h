// The clocks a run keeps time by. MonotonicClock reads the system's
// monotonic clock in milliseconds, exact and coarse: the coarse reading costs
// a few nanoseconds (no hardware counter is read) and lags the exact one by
// at most its resolution. Clock is what the window core asks, real (the
// system's) or virtual (moved only by the run itself).
#pragma once

#include <algorithm>
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

// The window core's one clock: timers, GETTICK, scripted waits, the pace of
// frames and of looks for native events all read it.
class Clock {
   public:
    virtual ~Clock() = default;
    // Milliseconds since some start.
    virtual uint64_t now() = 0;
    // Cheap enough for every line of a running script: false only while
    // now() is certainly before `deadline`.
    virtual bool mayHaveReached(uint64_t deadline) = 0;
    // A cheap reading never ahead of now(), behind it by a few milliseconds
    // at most: it paces what is shown and how often native events are read.
    virtual uint64_t coarse() = 0;
    // Time moves only by work() and advanceTo(), so a run gives the same
    // ticks, GETTICK values and RAND seed on any machine under any load.
    virtual bool isVirtual() const = 0;
    // The run's work took a keep-alive round: virtual time moves one
    // millisecond (real time moves by itself).
    virtual void work() {}
    // The run waits with nothing to do until `t`: time moves there at once
    // (never back).
    virtual void advanceTo(uint64_t t) = 0;
};

// The system's monotonic clock.
class RealClock final : public Clock {
   public:
    uint64_t now() override { return system_.exactMs() + skipped_; }
    // Only when the coarse reading comes near the deadline is the exact
    // clock worth reading.
    bool mayHaveReached(uint64_t deadline) override { return coarse() + system_.lagMs() >= deadline; }
    uint64_t coarse() override { return system_.coarseMs() + skipped_; }
    bool isVirtual() const override { return false; }
    void advanceTo(uint64_t t) override {
        uint64_t n = now();
        if (t > n) skipped_ += t - n;
    }

   private:
    MonotonicClock system_;
    uint64_t skipped_ = 0;  // time advanceTo added to the system's
};

// Time that starts at 0 and moves only by the run's work and its waits.
class VirtualClock final : public Clock {
   public:
    uint64_t now() override { return ms_; }
    bool mayHaveReached(uint64_t deadline) override { return ms_ >= deadline; }
    uint64_t coarse() override { return ms_; }
    bool isVirtual() const override { return true; }
    void work() override { ++ms_; }
    void advanceTo(uint64_t t) override { ms_ = std::max(ms_, t); }

   private:
    uint64_t ms_ = 0;
};

}  // namespace tessel
