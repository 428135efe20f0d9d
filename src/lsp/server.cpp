#include "lsp/server.h"

#include <algorithm>
#include <limits>
#include <new>

#include "lsp/features.h"

namespace tessel {

namespace {

// A request that cannot be answered: its error response.
struct RequestError {
    int code;
    std::string message;
};

[[noreturn]] void invalidParams(const std::string& what) {
    throw RequestError{RPC_INVALID_PARAMS, what};
}

const std::string& uriOf(const Json& params) {
    const Json& uri = params["textDocument"]["uri"];
    if (!uri.isString()) invalidParams("textDocument.uri is missing");
    return uri.asString();
}

int32_t clampedInt(const Json& v, const char* name) {
    if (!v.isNumber() || v.asNumber() < 0) invalidParams(std::string(name) + " is not a position");
    return static_cast<int32_t>(std::min<double>(v.asNumber(), std::numeric_limits<int32_t>::max()));
}

EditorPosition positionOf(const Json& params) {
    const Json& p = params["position"];
    return {clampedInt(p["line"], "position.line"), clampedInt(p["character"], "position.character")};
}

Json capabilities() {
    return Json::object({
        {"positionEncoding", "utf-16"},
        {"textDocumentSync", Json::object({{"openClose", true}, {"change", 1}})},
        {"completionProvider", Json::object({{"resolveProvider", false}})},
        {"hoverProvider", true},
        {"definitionProvider", true},
        {"referencesProvider", true},
        {"documentSymbolProvider", true},
        {"foldingRangeProvider", true},
        {"renameProvider", Json::object({{"prepareProvider", true}})},
        {"semanticTokensProvider", Json::object({{"legend", semanticTokensLegend()}, {"full", true}})},
        {"documentFormattingProvider", true},
    });
}

// The folder of a file: URI, percent escapes decoded ("" for another scheme).
std::string folderOf(std::string_view uri) {
    if (uri.substr(0, 7) != "file://") return {};
    uri.remove_prefix(7);
    std::string path;
    auto hex = [](char c) {
        const char lower = static_cast<char>(c | 0x20);
        return c >= '0' && c <= '9' ? c - '0' : lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
    };
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
            path += static_cast<char>(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
            i += 2;
        } else {
            path += uri[i];
        }
    }
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

bool validId(const Json& id) {
    return id.isString() || (id.isNumber() && id.asNumber() == static_cast<double>(id.asInt(-1)));
}

}  // namespace

LanguageServer::LanguageServer(ServerOptions options, std::function<void(const std::string&)> send)
    : options_(std::move(options)), send_(std::move(send)) {}

void LanguageServer::send(const Json& message) {
    send_(message.dump());
}

void LanguageServer::sendError(const Json& id, int code, std::string_view message) {
    send(Json::object({{"jsonrpc", "2.0"},
                       {"id", id},
                       {"error", Json::object({{"code", code}, {"message", message}})}}));
}

void LanguageServer::handle(std::string_view body, int64_t nowMs) {
    JsonParse parsed = parseJson(body);
    if (!parsed.value) {
        sendError(Json(), RPC_PARSE_ERROR, "the message is not JSON: " + parsed.error);
        return;
    }
    const Json& message = *parsed.value;
    const Json& method = message["method"];
    const bool hasId = message.has("id");
    if (!method.isString()) {
        // A response to a request of ours (there are none): passed over.
        if (hasId && (message.has("result") || message.has("error"))) return;
        const Json& id = message["id"];
        sendError(validId(id) ? id : Json(), RPC_INVALID_REQUEST, "a message needs a method");
        return;
    }
    if (!hasId) {
        notification(method.asString(), message["params"], nowMs);
        return;
    }
    if (!validId(message["id"])) {
        sendError(Json(), RPC_INVALID_REQUEST, "a request's id is a number or a string");
        return;
    }
    request(message["id"], method.asString(), message["params"]);
}

void LanguageServer::request(const Json& id, const std::string& method, const Json& params) {
    if (!initialized_ && method != "initialize") {
        sendError(id, RPC_SERVER_NOT_INITIALIZED, "the server is not initialized");
        return;
    }
    if (shutdown_) {
        sendError(id, RPC_INVALID_REQUEST, "the server has shut down");
        return;
    }
    try {
        Json result = answer(method, params);
        send(Json::object({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}}));
    } catch (const RequestError& e) {
        sendError(id, e.code, e.message);
    } catch (const std::bad_alloc&) {
        sendError(id, RPC_REQUEST_FAILED, "out of memory");
    }
}

Json LanguageServer::answer(const std::string& method, const Json& params) {
    if (method == "initialize") {
        initialized_ = true;
        const Json& delay = params["initializationOptions"]["diagnosticDelay"];
        if (delay.isNumber()) options_.diagnosticDelayMs = std::clamp<int64_t>(delay.asInt(50), 0, 10000);
        return Json::object({{"capabilities", capabilities()},
                             {"serverInfo", Json::object({{"name", "tessel"}, {"version", options_.version}})}});
    }
    if (method == "shutdown") {
        shutdown_ = true;
        return Json();
    }
    if (method.rfind("textDocument/", 0) != 0)
        throw RequestError{RPC_METHOD_NOT_FOUND, "unknown method " + method};
    const std::string_view what = std::string_view(method).substr(13);
    const std::string& uri = uriOf(params);
    Document& doc = document(params);
    const ScriptModel& m = model(doc);
    if (what == "completion") return completionAt(m, positionOf(params));
    if (what == "hover") return hoverAt(m, positionOf(params));
    if (what == "definition") {
        std::optional<EditorRange> r = definitionAt(m, positionOf(params));
        return r ? Json::object({{"uri", uri}, {"range", toJson(*r)}}) : Json();
    }
    if (what == "references") {
        Json out = Json::array();
        const Json ranges = referencesAt(m, positionOf(params), params["context"]["includeDeclaration"].asBool(true));
        for (const Json& r : ranges.items())
            out.push(Json::object({{"uri", uri}, {"range", r}}));
        return out;
    }
    if (what == "documentSymbol") return documentSymbols(m);
    if (what == "foldingRange") return foldingRanges(m);
    if (what == "semanticTokens/full") return semanticTokens(m);
    if (what == "formatting") {
        const Json& o = params["options"];
        return formattingEdits(m, static_cast<int>(o["tabSize"].asInt(4)), o["insertSpaces"].asBool(true));
    }
    if (what == "prepareRename") return prepareRenameAt(m, positionOf(params));
    if (what == "rename") {
        const Json& name = params["newName"];
        if (!name.isString()) invalidParams("newName is missing");
        RenameResult r = renameAt(m, positionOf(params), name.asString());
        if (!r.refusal.empty()) throw RequestError{RPC_REQUEST_FAILED, r.refusal};
        return Json::object({{"changes", Json::object({{uri, std::move(r.edits)}})}});
    }
    throw RequestError{RPC_METHOD_NOT_FOUND, "unknown method " + method};
}

LanguageServer::Document& LanguageServer::document(const Json& params) {
    auto it = documents_.find(uriOf(params));
    if (it == documents_.end()) invalidParams("the document is not open");
    return it->second;
}

const ScriptModel& LanguageServer::model(Document& d) {
    if (!d.model) d.model = std::make_unique<ScriptModel>(d.text, d.folder);
    return *d.model;
}

void LanguageServer::notification(const std::string& method, const Json& params, int64_t nowMs) {
    if (method == "exit") {
        exit_ = true;
        return;
    }
    if (!initialized_ || shutdown_) return;
    const Json& uri = params["textDocument"]["uri"];
    if (!uri.isString()) return;
    if (method == "textDocument/didOpen") {
        const Json& text = params["textDocument"]["text"];
        if (!text.isString()) return;
        Document& d = documents_[uri.asString()];
        d.text = text.asString();
        d.folder = folderOf(uri.asString());
        d.version = params["textDocument"]["version"].asInt(0);
        d.model.reset();
        d.dueMs = nowMs;
    } else if (method == "textDocument/didChange") {
        auto it = documents_.find(uri.asString());
        if (it == documents_.end()) return;
        // Whole-text changes (the sync this server asks for): the last one counts.
        const Json::Array& changes = params["contentChanges"].items();
        auto whole = std::find_if(changes.rbegin(), changes.rend(),
                                  [](const Json& c) { return c["text"].isString() && !c.has("range"); });
        if (whole == changes.rend()) return;
        Document& d = it->second;
        d.text = (*whole)["text"].asString();
        d.version = params["textDocument"]["version"].asInt(d.version + 1);
        d.model.reset();
        d.dueMs = nowMs + options_.diagnosticDelayMs;
    } else if (method == "textDocument/didClose") {
        if (documents_.erase(uri.asString()) == 0) return;
        send(Json::object({{"jsonrpc", "2.0"},
                           {"method", "textDocument/publishDiagnostics"},
                           {"params", Json::object({{"uri", uri}, {"diagnostics", Json::array()}})}}));
    }
}

int64_t LanguageServer::nextDue() const {
    int64_t due = -1;
    for (const auto& [uri, d] : documents_)
        if (d.dueMs >= 0 && (due < 0 || d.dueMs < due)) due = d.dueMs;
    return due;
}

void LanguageServer::publishDue(int64_t nowMs) {
    for (auto& [uri, d] : documents_)
        if (d.dueMs >= 0 && d.dueMs <= nowMs) publish(uri, d);
}

void LanguageServer::publish(const std::string& uri, Document& d) {
    d.dueMs = -1;
    Json params = Json::object({{"uri", uri}, {"version", d.version}, {"diagnostics", diagnosticsOf(model(d))}});
    send(Json::object({{"jsonrpc", "2.0"}, {"method", "textDocument/publishDiagnostics"}, {"params", std::move(params)}}));
}

}  // namespace tessel
