#include "lsp/transport.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "checker/name_index.h"

namespace tessel {

namespace {

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

MessageReader::Status MessageReader::fill(int timeoutMs, std::string& why) {
    pollfd p{fd_, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) return Status::Timeout;
    char chunk[65536];
    ssize_t n;
    do {
        n = ::read(fd_, chunk, sizeof chunk);
    } while (n < 0 && errno == EINTR);
    if (n == 0) return Status::End;
    if (n < 0) {
        why = std::string("cannot read: ") + std::strerror(errno);
        return Status::Broken;
    }
    buffer_.append(chunk, static_cast<size_t>(n));
    return Status::Message;
}

// Reads the header block at the buffer's start; its Content-Length gives the
// body's length.
bool MessageReader::readHeaders(std::string& why) {
    const size_t end = buffer_.find("\r\n\r\n");
    std::string_view block = std::string_view(buffer_).substr(0, end);
    bool haveLength = false;
    while (!block.empty()) {
        const size_t eol = block.find("\r\n");
        std::string_view line = block.substr(0, eol);
        block.remove_prefix(eol == block.npos ? block.size() : eol + 2);
        const size_t colon = line.find(':');
        if (colon == line.npos) {
            why = "a header line without a colon";
            return false;
        }
        if (!equalFolded(trimmed(line.substr(0, colon)), "Content-Length")) continue;
        std::string_view value = trimmed(line.substr(colon + 1));
        if (value.empty() || value.size() > 12 || value.find_first_not_of("0123456789") != value.npos) {
            why = "Content-Length is not a number";
            return false;
        }
        bodyLength_ = std::stoull(std::string(value));
        if (bodyLength_ > kMaxMessageBytes) {
            why = "a message of " + std::string(value) + " bytes is longer than the limit of " +
                  std::to_string(kMaxMessageBytes) + " bytes";
            return false;
        }
        haveLength = true;
    }
    if (!haveLength) {
        why = "a message without a Content-Length header";
        return false;
    }
    buffer_.erase(0, end + 4);
    inBody_ = true;
    return true;
}

MessageReader::Status MessageReader::next(std::string& body, int timeoutMs, std::string& why) {
    const int64_t deadline = timeoutMs < 0 ? -1 : nowMs() + timeoutMs;
    while (true) {
        if (!inBody_) {
            if (buffer_.find("\r\n\r\n") != std::string::npos) {
                if (!readHeaders(why)) return Status::Broken;
            } else if (buffer_.size() > kMaxHeaderBytes) {
                why = "a header block longer than " + std::to_string(kMaxHeaderBytes) + " bytes";
                return Status::Broken;
            }
        }
        if (inBody_ && buffer_.size() >= bodyLength_) {
            body.assign(buffer_, 0, bodyLength_);
            buffer_.erase(0, bodyLength_);
            inBody_ = false;
            return Status::Message;
        }
        const int wait = deadline < 0 ? -1 : static_cast<int>(std::max<int64_t>(0, deadline - nowMs()));
        const Status s = fill(wait, why);
        if (s != Status::Message) return s;
    }
}

bool writeMessage(int fd, const std::string& body) {
    const std::string framed = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    size_t done = 0;
    while (done < framed.size()) {
        ssize_t n = ::write(fd, framed.data() + done, framed.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

int runLanguageServer(int in, int out, ServerOptions options) {
    bool writable = true;
    LanguageServer server(std::move(options), [&](const std::string& body) {
        if (writable) writable = writeMessage(out, body);
    });
    MessageReader reader(in);
    std::string body, why;
    while (writable) {
        const int64_t due = server.nextDue();
        const int timeout = due < 0 ? -1 : static_cast<int>(std::max<int64_t>(0, due - nowMs()));
        const MessageReader::Status s = reader.next(body, timeout, why);
        if (s == MessageReader::Status::End) return server.exitStatus();
        if (s == MessageReader::Status::Broken) {
            server.sendError(Json(), RPC_PARSE_ERROR, why);
            std::fprintf(stderr, "tessel --lsp: %s; the session ends\n", why.c_str());
            return 1;
        }
        if (s == MessageReader::Status::Message) {
            server.handle(body, nowMs());
            if (server.exitRequested()) return server.exitStatus();
        }
        server.publishDue(nowMs());
    }
    std::fprintf(stderr, "tessel --lsp: the client no longer reads; the session ends\n");
    return 1;
}

}  // namespace tessel
