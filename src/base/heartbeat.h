// Work that can take long inside one statement (decoding a large image,
// scaling it) calls beat() now and then, so the window behind it keeps
// reading its events and honours a close request within about a second.
// beat() may throw to end the run: code that calls it holds its state in
// owners that unwind.
#pragma once

#include <cstdint>

namespace tessel {

class Heartbeat {
   public:
    virtual void beat() = 0;

   protected:
    ~Heartbeat() = default;
};

// For loops: beats at every 64th step (step 0 included), and not at all
// without a heartbeat.
inline void beatAtSteps(Heartbeat* heartbeat, uint64_t step) {
    if (heartbeat && (step & 63) == 0) heartbeat->beat();
}

}  // namespace tessel
