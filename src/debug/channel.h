// How a debug session hears its client and answers it: framed messages over
// a pair of file descriptors for `tessel --dap`, and the page's own queue in
// the web edition, where waiting for a message suspends the run and gives
// the browser back its control.
#pragma once

#include <string>

namespace tessel::debug {

class Channel {
   public:
    enum class Status { Message, Timeout, End };
    virtual ~Channel() = default;
    // The next message's body; waits at most `timeoutMs` (-1: no limit).
    // End: the client has gone (or can no longer be read).
    virtual Status next(std::string& body, int timeoutMs) = 0;
    // Sends one message; false when the client is gone.
    virtual bool write(const std::string& body) = 0;
};

}  // namespace tessel::debug
