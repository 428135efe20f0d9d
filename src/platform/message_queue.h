// The main window's and the edit controls' posted messages, oldest first.
// While input is held (an event block runs), input stays queued in arrival
// order and only other messages are taken.
#pragma once

#include <cstddef>
#include <deque>

#include "platform/platform.h"

namespace tessel {

class MessageQueue {
   public:
    void post(const Message& m) { queue_.push_back(m); }
    // A move merges into the newest move not yet taken, as on the desktop;
    // while input is held, into the newest wherever it waits.
    void postMove(const Message& m);
    // Takes the oldest message that may be taken now.
    bool take(Message& m);
    // Drops the keys and mouse input waiting (commands stay).
    void dropKeysAndMouse();
    void hold(bool held) { held_ = held; }
    bool holding() const { return held_; }
    bool empty() const { return queue_.empty(); }
    size_t size() const { return queue_.size(); }

   private:
    std::deque<Message> queue_;
    bool held_ = false;  // input waits for the end of an event block
};

}  // namespace tessel
