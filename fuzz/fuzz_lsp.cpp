// The language server on fuzzer-made input: the bytes as one message's body,
// and as a script's text opened in an editor and asked about everywhere
// (the model read around its errors, every feature at a spread of places).
#include <cstddef>
#include <cstdint>
#include <string>

#include "lsp/json.h"
#include "lsp/server.h"

namespace {

using tessel::Json;

std::string message(const std::string& method, Json params, int id = 0) {
    Json m = Json::object({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
    if (id) m.set("id", id);
    return m.dump();
}

Json at(int line, int character) {
    return Json::object({{"textDocument", Json::object({{"uri", "f.tsl"}})},
                         {"position", Json::object({{"line", line}, {"character", character}})},
                         {"newName", "renamed"},
                         {"context", Json::object({{"includeDeclaration", true}})}});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    tessel::LanguageServer server(tessel::ServerOptions{"fuzz", 0}, [](const std::string&) {});
    server.handle(bytes, 0);
    server.handle(message("initialize", Json::object(), 1), 0);
    server.handle(bytes, 0);
    // The bytes as a script: the editor's text is UTF-8, so they pass
    // through a JSON string as any editor's text does.
    server.handle(message("textDocument/didOpen",
                          Json::object({{"textDocument", Json::object({{"uri", "f.tsl"}, {"text", bytes}})}})),
                  0);
    server.publishDue(0);
    const Json whole = Json::object({{"textDocument", Json::object({{"uri", "f.tsl"}})},
                                     {"options", Json::object({{"tabSize", 2}, {"insertSpaces", true}})}});
    for (const char* method : {"textDocument/documentSymbol", "textDocument/foldingRange",
                               "textDocument/semanticTokens/full", "textDocument/formatting"})
        server.handle(message(method, whole, 2), 0);
    for (int line = 0; line < 6; ++line)
        for (int character : {0, 1, 3, 7, 40})
            for (const char* method : {"textDocument/completion", "textDocument/hover", "textDocument/definition",
                                       "textDocument/references", "textDocument/rename"})
                server.handle(message(method, at(line, character), 3), 0);
    return 0;
}
