// The language server over a pair of file descriptors (standard input and
// output for `tessel --lsp`): messages framed by a Content-Length header,
// read with a time-out so diagnostics can fall due between them.
#pragma once

#include <cstdint>
#include <string>

#include "lsp/server.h"

namespace tessel {

// Largest message body and header block the transport reads; a longer one
// ends the session (no way to find the next message is left).
inline constexpr size_t kMaxMessageBytes = size_t{64} << 20;
inline constexpr size_t kMaxHeaderBytes = 8192;

// Frames messages read from `fd`.
class MessageReader {
   public:
    enum class Status { Message, Timeout, End, Broken };
    explicit MessageReader(int fd) : fd_(fd) {}
    // The next message's body. Waits at most `timeoutMs` for more bytes
    // (-1: no limit). Broken: the stream cannot be read as messages; `why`
    // says how.
    Status next(std::string& body, int timeoutMs, std::string& why);

   private:
    Status fill(int timeoutMs, std::string& why);
    bool readHeaders(std::string& why);

    int fd_;
    std::string buffer_;
    size_t bodyLength_ = 0;
    bool inBody_ = false;
};

// Writes one framed message; false when the other end is gone.
bool writeMessage(int fd, const std::string& body);

// Serves one client until it sends exit or closes its end. Returns the exit
// status: 0 after shutdown and exit, 1 otherwise.
int runLanguageServer(int in, int out, ServerOptions options);

}  // namespace tessel
