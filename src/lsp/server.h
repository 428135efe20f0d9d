// The language server's protocol side: JSON-RPC requests and notifications
// in, responses and notifications out, the open documents and their
// analyses, and the delay that gathers a burst of changes into one round of
// diagnostics. It does no I/O of its own: transport.h feeds it messages and
// the time, and writes what it sends.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "lsp/json.h"
#include "lsp/script_model.h"

namespace tessel {

struct ServerOptions {
    std::string version;          // told to the client in initialize's answer
    int64_t diagnosticDelayMs = 50;  // quiet time after a change before its diagnostics
};

class LanguageServer {
   public:
    // `send` receives each outgoing message's JSON text.
    LanguageServer(ServerOptions options, std::function<void(const std::string&)> send);

    // Handles one message's body, read at `nowMs` (a monotonic clock).
    void handle(std::string_view body, int64_t nowMs);
    // Publishes the diagnostics whose delay has passed at `nowMs`.
    void publishDue(int64_t nowMs);
    // When the next diagnostics fall due, or -1 when none wait.
    int64_t nextDue() const;

    // The client sent "exit": the transport ends with exitStatus().
    bool exitRequested() const { return exit_; }
    // 0 after shutdown then exit, 1 otherwise (the protocol's rule).
    int exitStatus() const { return shutdown_ ? 0 : 1; }

    // Sends a JSON-RPC error response (id null when the request's id is unknown).
    void sendError(const Json& id, int code, std::string_view message);

   private:
    struct Document {
        std::string text;    // UTF-8, as the editor has it
        std::string folder;  // where a run of it looks for files (its file's folder)
        int64_t version = 0;
        std::unique_ptr<ScriptModel> model;  // null while a change waits for analysis
        int64_t dueMs = -1;  // when its diagnostics are due; -1: published
    };

    void request(const Json& id, const std::string& method, const Json& params);
    void notification(const std::string& method, const Json& params, int64_t nowMs);
    Json answer(const std::string& method, const Json& params);
    const ScriptModel& model(Document& d);
    Document& document(const Json& params);
    void publish(const std::string& uri, Document& d);
    void send(const Json& message);

    ServerOptions options_;
    std::function<void(const std::string&)> send_;
    std::map<std::string, Document> documents_;
    bool initialized_ = false;
    bool shutdown_ = false;
    bool exit_ = false;
};

// JSON-RPC and protocol error codes.
enum : int {
    RPC_PARSE_ERROR = -32700,
    RPC_INVALID_REQUEST = -32600,
    RPC_METHOD_NOT_FOUND = -32601,
    RPC_INVALID_PARAMS = -32602,
    RPC_SERVER_NOT_INITIALIZED = -32002,
    RPC_REQUEST_FAILED = -32803,
};

}  // namespace tessel
