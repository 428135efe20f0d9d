// The input that is not a person's: the events file of --events, played
// while the script is idle, and the recording of --record, which writes
// what a person does in the same format.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/events_file.h"

namespace tessel {

class ScriptedEvents {
   public:
    // `drives`: an events file drives the run, even one with no events (or
    // only a seed): nobody is there to confirm a box.
    ScriptedEvents(std::vector<ScriptedEvent> events, bool drives);
    bool drive() const { return drives_; }
    bool hasScreenshot() const;
    // Events are left to play.
    bool pending() const { return next_ < events_.size(); }
    // The end of the wait in progress (nothing: none).
    std::optional<uint64_t> waitEnd() const { return waitUntil_; }
    void endWait() { waitUntil_.reset(); }
    // At time `now`: starts the next event, or ends a wait that is over.
    // False when there is nothing to do now; otherwise `apply` is the event
    // to apply (null: a wait began or ended).
    bool step(uint64_t now, const ScriptedEvent*& apply);

   private:
    std::vector<ScriptedEvent> events_;
    size_t next_ = 0;                    // the next event to play
    std::optional<uint64_t> waitUntil_;  // the end of the wait in progress
    bool drives_ = false;
};

// What a person did, with the waits between, in the events file's format.
// Each event is flushed as it comes, so a recording survives the end of the
// process. A failed write, or a recording grown past what an events file
// may hold, ends it with a message.
class Recorder {
   public:
    Recorder() = default;
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Records into `out` from now on (owned from here), starting with the
    // run's RAND seed, so that a replay draws the same numbers.
    void start(std::FILE* out, std::string path, uint32_t seed, uint64_t now);
    bool recording() const { return out_ != nullptr; }
    void record(const ScriptedEvent& e, uint64_t now);
    // Ends the recording (a failure to write its end counts as failed).
    void finish();
    // Something could not be written (reported on stderr once).
    bool failed() const { return failed_; }

   private:
    void write(const std::string& lines);

    std::FILE* out_ = nullptr;  // null: not recording
    std::string path_;          // its name, for messages
    uint64_t last_ = 0;         // time of the last recorded event
    int64_t bytes_ = 0;         // written so far: at most kMaxEventsBytes
    bool failed_ = false;
};

}  // namespace tessel
