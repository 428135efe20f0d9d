// Window timers kept as deadlines. A timer that fell due several times while
// nobody looked gives one tick, not a burst: after each tick its next deadline
// is set from the time of delivery.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tessel {

// Like the desktop's timers, nothing ticks faster than this (milliseconds).
inline constexpr uint32_t kMinTimerInterval = 10;

class TimerSet {
   public:
    // Starts timer `id` (or changes its interval); it first falls due at now + interval.
    void set(uint32_t id, uint32_t intervalMs, uint64_t now);
    void kill(uint32_t id);
    // The interval of timer `id` (nothing: not running).
    std::optional<uint32_t> interval(uint32_t id) const;
    bool empty() const { return timers_.empty(); }
    // Earliest deadline of all timers.
    std::optional<uint64_t> nextDeadline() const;
    // Takes the timer that fell due earliest at or before `now` and schedules its
    // next tick one interval after `from` (default: `now`, which coalesces the
    // ticks missed meanwhile). Returns its id, or nothing when none is due.
    std::optional<uint32_t> takeDue(uint64_t now, std::optional<uint64_t> from = std::nullopt);

   private:
    struct Timer {
        uint32_t id;        // the identifier given to set()
        uint32_t interval;  // milliseconds between ticks
        uint64_t deadline;  // when the next tick falls due
    };
    std::vector<Timer> timers_;  // few timers: a vector in start order
};

}  // namespace tessel
