#include "platform/timers.h"

#include <algorithm>

namespace tessel {

void TimerSet::set(uint32_t id, uint32_t intervalMs, uint64_t now) {
    intervalMs = std::max(intervalMs, kMinTimerInterval);
    kill(id);
    timers_.push_back(Timer{id, intervalMs, now + intervalMs});
}

void TimerSet::kill(uint32_t id) {
    std::erase_if(timers_, [id](const Timer& t) { return t.id == id; });
}

std::optional<uint32_t> TimerSet::interval(uint32_t id) const {
    for (const Timer& t : timers_)
        if (t.id == id) return t.interval;
    return std::nullopt;
}

std::optional<uint64_t> TimerSet::nextDeadline() const {
    if (timers_.empty()) return std::nullopt;
    uint64_t best = timers_.front().deadline;
    for (const Timer& t : timers_) best = std::min(best, t.deadline);
    return best;
}

std::optional<uint32_t> TimerSet::takeDue(uint64_t now, std::optional<uint64_t> from) {
    Timer* due = nullptr;
    for (Timer& t : timers_)
        if (t.deadline <= now && (!due || t.deadline < due->deadline)) due = &t;
    if (!due) return std::nullopt;
    due->deadline = from.value_or(now) + due->interval;
    return due->id;
}

}  // namespace tessel
