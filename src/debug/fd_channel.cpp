// `tessel --dap`'s channel: messages framed by a Content-Length header over
// a pair of file descriptors (the language server's framing).
#include <cstdio>

#include "debug/channel.h"
#include "debug/session.h"
#include "lsp/transport.h"

namespace tessel::debug {

namespace {

class FdChannel final : public Channel {
   public:
    FdChannel(int in, int out) : reader_(in), out_(out) {}

    Status next(std::string& body, int timeoutMs) override {
        std::string why;
        switch (reader_.next(body, timeoutMs, why)) {
            case MessageReader::Status::Message: return Status::Message;
            case MessageReader::Status::Timeout: return Status::Timeout;
            case MessageReader::Status::Broken:
                std::fprintf(stderr, "tessel --dap: %s; the session ends\n", why.c_str());
                return Status::End;
            case MessageReader::Status::End: return Status::End;
        }
        return Status::End;
    }

    bool write(const std::string& body) override { return writeMessage(out_, body); }

   private:
    MessageReader reader_;
    int out_;
};

}  // namespace

int runDebugAdapter(int in, int out, Runner runner, LiveRuns* live) {
    FdChannel channel(in, out);
    Session session(channel, std::move(runner), live);
    return session.serve();
}

}  // namespace tessel::debug
