// `tessel` started with one option (--lsp, --dap) and pipes on its
// standard input and output, for the tests that drive a protocol server
// as an editor does.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "lsp/json.h"
#include "lsp/transport.h"

namespace tessel::test {

class PipedProcess {
   public:
    explicit PipedProcess(const char* option) {
        signal(SIGPIPE, SIG_IGN);
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[0]), close(in[1]), close(out[0]), close(out[1]);
            execl(TESSEL_BINARY, "tessel", option, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        toServer_ = in[1];
        fromServer_ = out[0];
        reader_ = std::make_unique<MessageReader>(fromServer_);
    }
    ~PipedProcess() {
        closeInput();
        if (fromServer_ >= 0) close(fromServer_);
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    PipedProcess(const PipedProcess&) = delete;
    PipedProcess& operator=(const PipedProcess&) = delete;

    void raw(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(toServer_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return;  // the server has gone; its exit says why
            done += static_cast<size_t>(n);
        }
    }
    // One message, framed.
    void send(const Json& message) {
        const std::string body = message.dump();
        raw("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    }
    // The next message, or nothing after `timeoutMs` or at the end of the output.
    std::optional<Json> read(int timeoutMs = 10000) {
        std::string body, why;
        if (reader_->next(body, timeoutMs, why) != MessageReader::Status::Message) return std::nullopt;
        JsonParse p = parseJson(body);
        EXPECT_TRUE(p.value) << "the server wrote no JSON: " << body;
        return p.value;
    }
    void closeInput() {
        if (toServer_ >= 0) close(toServer_);
        toServer_ = -1;
    }
    // The exit status; 128 + N for a signal; -1 when it did not end in 10 s.
    int wait() {
        for (int k = 0; k < 1000 && status_ < 0; ++k) {
            int st = 0;
            if (waitpid(pid_, &st, WNOHANG) == pid_) {
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status_;
    }

   private:
    pid_t pid_ = -1;
    int toServer_ = -1, fromServer_ = -1;
    int status_ = -1;
    std::unique_ptr<MessageReader> reader_;
};

}  // namespace tessel::test
