#include "platform/message_queue.h"

#include <algorithm>

namespace tessel {

namespace {

// Keys and the mouse.
bool isKeyOrMouse(const Message& m) {
    return (m.message >= WM_KEYDOWN && m.message <= WM_CHAR) ||
           (m.message >= WM_MOUSEMOVE && m.message <= WM_RBUTTONUP);
}

// Input a person gives: held while an event block runs. Commands count too
// (a button's or Enter's), but they are never dropped.
bool isInput(const Message& m) {
    return isKeyOrMouse(m) || m.message == WM_COMMAND;
}

}  // namespace

void MessageQueue::postMove(const Message& m) {
    if (held_) std::erase_if(queue_, [](const Message& q) { return q.message == WM_MOUSEMOVE; });
    if (!queue_.empty() && queue_.back().message == WM_MOUSEMOVE) {
        queue_.back() = m;
        return;
    }
    queue_.push_back(m);
}

bool MessageQueue::take(Message& m) {
    auto next = held_ ? std::find_if_not(queue_.begin(), queue_.end(), isInput) : queue_.begin();
    if (next == queue_.end()) return false;
    m = *next;
    queue_.erase(next);
    return true;
}

void MessageQueue::dropKeysAndMouse() {
    std::erase_if(queue_, isKeyOrMouse);
}

}  // namespace tessel
