// `tessel --lsp` driven over its standard input and output as an editor
// drives it: one session through every capability on a script with
// functions, labels, arrays and an error, and hostile input that must end in
// an error response or a clean exit, never a crash or a hang.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <thread>

#include "lsp/json.h"
#include "lsp/transport.h"
#include "piped_process.h"

namespace tessel {
namespace {

// A `tessel --lsp` process with pipes on its standard input and output.
class LspProcess : public test::PipedProcess {
   public:
    LspProcess() : PipedProcess("--lsp") {}

    void notify(const std::string& method, Json params) {
        send(Json::object({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}}));
    }
    // Sends a request and waits for its response; notifications that come
    // first are kept for `notification`.
    Json request(const std::string& method, Json params = Json::object()) {
        const int id = ++lastId_;
        send(Json::object({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}}));
        while (auto m = read()) {
            if ((*m)["id"].asInt(-1) == id) return *m;
            pending_.push_back(std::move(*m));
        }
        ADD_FAILURE() << "no response to " << method;
        return Json();
    }
    Json notification(const std::string& method) {
        for (auto it = pending_.begin(); it != pending_.end(); ++it)
            if ((*it)["method"].asString() == method) {
                Json found = std::move(*it);
                pending_.erase(it);
                return found;
            }
        while (auto m = read()) {
            if ((*m)["method"].asString() == method) return *m;
            pending_.push_back(std::move(*m));
        }
        ADD_FAILURE() << "no " << method;
        return Json();
    }
    Json initialize() {
        Json r = request("initialize", Json::object({{"processId", Json()},
                                                     {"capabilities", Json::object()},
                                                     {"initializationOptions", Json::object({{"diagnosticDelay", 0}})}}));
        notify("initialized", Json::object());
        return r;
    }

   private:
    int lastId_ = 0;
    std::deque<Json> pending_;
};

const char kUri[] = "file:///home/student/demo.tsl";

// Functions, labels, arrays, an event block, a non-ASCII string, and one
// error: `y` is declared nowhere (line 17).
const char kScript[] =
    "' a demo\n"                      // 0
    "VAR x, count\n"                  // 1
    "STR names[10]\n"                 // 2
    "FUNC paint()\n"                  // 3
    "PRINT 0, 0, x\n"                 // 4
    "ENDFN\n"                         // 5
    "LABEL top\n"                     // 6
    "IF x < 10\n"                     // 7
    "X = x + 1\n"                     // 8
    "names[x] = \"\xF0\x9F\x98\x80 \xC3\xA9\" : count = count + 1\n"  // 9
    "GOTO top\n"                      // 10
    "ENDIF\n"                         // 11
    "paint()\n"                       // 12
    "WINMSG WMTIMER\n"                // 13
    "count = count + 1\n"             // 14
    "ENDWM\n"                         // 15
    "\n"                              // 16
    "y = 1\n";                        // 17

Json textDocument() {
    return Json::object({{"uri", kUri}});
}
Json at(int line, int character) {
    return Json::object({{"textDocument", textDocument()},
                         {"position", Json::object({{"line", line}, {"character", character}})}});
}
Json rangeJson(int l1, int c1, int l2, int c2) {
    return Json::object({{"start", Json::object({{"line", l1}, {"character", c1}})},
                         {"end", Json::object({{"line", l2}, {"character", c2}})}});
}
std::vector<std::string> labels(const Json& items) {
    std::vector<std::string> out;
    for (const Json& i : items.items()) out.push_back(i["label"].asString());
    return out;
}
bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

class LspSession : public ::testing::Test {
   protected:
    void SetUp() override {
        Json init = server.initialize();
        ASSERT_TRUE(init["result"]["capabilities"]["hoverProvider"].asBool());
        server.notify("textDocument/didOpen",
                      Json::object({{"textDocument", Json::object({{"uri", kUri},
                                                                    {"languageId", "tessel"},
                                                                    {"version", 1},
                                                                    {"text", kScript}})}}));
    }
    LspProcess server;
};

TEST_F(LspSession, PublishesTheErrorAtItsPlaceAndClearsItOnceMended) {
    Json d = server.notification("textDocument/publishDiagnostics")["params"];
    EXPECT_EQ(d["uri"].asString(), kUri);
    ASSERT_EQ(d["diagnostics"].items().size(), 1u);
    const Json& e = d["diagnostics"].items()[0];
    EXPECT_EQ(e["severity"].asInt(), 1);
    EXPECT_EQ(e["range"].dump(), rangeJson(17, 0, 17, 1).dump());
    EXPECT_NE(e["message"].asString().find("Variable ID not found! -{ y }-Line: 18"), std::string::npos);

    std::string mended = kScript;
    mended.replace(mended.find("y = 1"), 5, "x = 1");
    server.notify("textDocument/didChange",
                  Json::object({{"textDocument", Json::object({{"uri", kUri}, {"version", 2}})},
                                {"contentChanges", Json::array({Json::object({{"text", mended}})})}}));
    d = server.notification("textDocument/publishDiagnostics")["params"];
    EXPECT_EQ(d["version"].asInt(), 2);
    for (const Json& w : d["diagnostics"].items()) EXPECT_EQ(w["severity"].asInt(), 2) << w.dump();
}

TEST_F(LspSession, CompletesOnlyWhatCanStandThere) {
    // At a statement's start: statement keywords and the script's names.
    auto start = labels(server.request("textDocument/completion", at(16, 0))["result"]);
    EXPECT_TRUE(contains(start, "PSET"));
    EXPECT_TRUE(contains(start, "paint"));
    EXPECT_TRUE(contains(start, "names"));
    EXPECT_FALSE(contains(start, "SIN"));
    // In an expression: functions and names, no statements.
    server.notify("textDocument/didChange",
                  Json::object({{"textDocument", Json::object({{"uri", kUri}, {"version", 2}})},
                                {"contentChanges", Json::array({Json::object(
                                                       {{"text", std::string(kScript) + "x = co\nWINMSG \nGOTO \n"}})})}}));
    Json items = server.request("textDocument/completion", at(18, 6))["result"];
    auto expression = labels(items);
    EXPECT_TRUE(contains(expression, "count"));
    EXPECT_TRUE(contains(expression, "COS"));
    EXPECT_FALSE(contains(expression, "x"));  // not after the prefix "co"
    EXPECT_FALSE(contains(expression, "PRINT"));
    // After WINMSG the message names, after GOTO the labels.
    auto messages = labels(server.request("textDocument/completion", at(19, 7))["result"]);
    EXPECT_EQ(messages.size(), 7u);
    EXPECT_TRUE(contains(messages, "WMKEYDOWN"));
    auto targets = labels(server.request("textDocument/completion", at(20, 5))["result"]);
    EXPECT_EQ(targets, std::vector<std::string>{"top"});
    // A keyword comes with its form and the reference's description.
    Json keyword = server.request("textDocument/completion", at(16, 0))["result"];
    for (const Json& i : keyword.items())
        if (i["label"].asString() == "CIRCLE") {
            EXPECT_EQ(i["detail"].asString(), "CIRCLE x, y, r");
        }
    for (const Json& i : items.items())
        if (i["label"].asString() == "count") {
            EXPECT_EQ(i["kind"].asInt(), 6);
        }
}

TEST_F(LspSession, HoverTellsFormsTypesAndPlaces) {
    std::string keyword = server.request("textDocument/hover", at(4, 2))["result"]["contents"]["value"].asString();
    EXPECT_NE(keyword.find("PRINT x, y, item"), std::string::npos);
    EXPECT_NE(keyword.find("top-left corner"), std::string::npos);
    std::string array = server.request("textDocument/hover", at(9, 2))["result"]["contents"]["value"].asString();
    EXPECT_NE(array.find("STR names[10]"), std::string::npos);
    EXPECT_NE(array.find("4096 elements"), std::string::npos);
    std::string variable = server.request("textDocument/hover", at(8, 0))["result"]["contents"]["value"].asString();
    EXPECT_NE(variable.find("number variable"), std::string::npos);
    EXPECT_NE(variable.find("line 2"), std::string::npos);
    std::string function = server.request("textDocument/hover", at(12, 1))["result"]["contents"]["value"].asString();
    EXPECT_NE(function.find("defined on line 4"), std::string::npos);
    // After the emoji (two UTF-16 units) and the é: "count" at UTF-16 column 20.
    Json counted = server.request("textDocument/hover", at(9, 21))["result"];
    EXPECT_EQ(counted["range"].dump(), rangeJson(9, 20, 9, 25).dump());
    EXPECT_TRUE(server.request("textDocument/hover", at(16, 0))["result"].isNull());
}

TEST_F(LspSession, FindsDefinitionsAndReferencesIgnoringCase) {
    Json def = server.request("textDocument/definition", at(10, 6))["result"];
    EXPECT_EQ(def["uri"].asString(), kUri);
    EXPECT_EQ(def["range"].dump(), rangeJson(6, 6, 6, 9).dump());
    EXPECT_EQ(server.request("textDocument/definition", at(12, 0))["result"]["range"].dump(),
              rangeJson(3, 5, 3, 10).dump());
    // x: declared on line 1, used as X on line 8.
    Json refs = server.request("textDocument/references",
                               Json::object({{"textDocument", textDocument()},
                                             {"position", Json::object({{"line", 8}, {"character", 0}})},
                                             {"context", Json::object({{"includeDeclaration", true}})}}))["result"];
    std::vector<std::string> places;
    for (const Json& r : refs.items()) places.push_back(r["range"]["start"].dump());
    EXPECT_EQ(places.size(), 6u);  // 1, 4, 7, 8 twice, 9
    EXPECT_TRUE(contains(places, Json::object({{"line", 1}, {"character", 4}}).dump()));
    Json without = server.request("textDocument/references",
                                  Json::object({{"textDocument", textDocument()},
                                                {"position", Json::object({{"line", 8}, {"character", 0}})},
                                                {"context", Json::object({{"includeDeclaration", false}})}}))["result"];
    EXPECT_EQ(without.items().size(), 5u);
}

TEST_F(LspSession, OutlinesFoldsAndColours) {
    Json symbols = server.request("textDocument/documentSymbol", Json::object({{"textDocument", textDocument()}}))["result"];
    std::vector<std::string> names;
    for (const Json& s : symbols.items()) names.push_back(s["name"].asString());
    EXPECT_EQ(names, (std::vector<std::string>{"paint", "top", "WINMSG WMTIMER"}));
    Json folds = server.request("textDocument/foldingRange", Json::object({{"textDocument", textDocument()}}))["result"];
    EXPECT_EQ(folds.dump(), Json::array({Json::object({{"startLine", 3}, {"endLine", 4}}),
                                         Json::object({{"startLine", 7}, {"endLine", 10}}),
                                         Json::object({{"startLine", 13}, {"endLine", 14}})})
                                .dump());
    Json tokens = server.request("textDocument/semanticTokens/full", Json::object({{"textDocument", textDocument()}}))["result"]["data"];
    ASSERT_EQ(tokens.items().size() % 5, 0u);
    // The first two: the comment, then VAR on the next line.
    EXPECT_EQ(Json(Json::Array(tokens.items().begin(), tokens.items().begin() + 10)).dump(),
              Json::array({0, 0, 8, 5, 0, 1, 0, 3, 0, 0}).dump());
}

TEST_F(LspSession, FormatsIndentationOnly) {
    Json edits = server.request("textDocument/formatting",
                                Json::object({{"textDocument", textDocument()},
                                              {"options", Json::object({{"tabSize", 2}, {"insertSpaces", true}})}}))["result"];
    std::vector<std::string> lines;
    for (const Json& e : edits.items()) {
        EXPECT_EQ(e["range"]["start"]["character"].asInt(), 0);
        EXPECT_EQ(e["newText"].asString().find_first_not_of(' '), std::string::npos);
        lines.push_back(std::to_string(e["range"]["start"]["line"].asInt()) + ":" +
                        std::to_string(e["newText"].asString().size()));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"4:2", "8:2", "9:2", "10:2", "14:2"}));
}

TEST_F(LspSession, RenamesEveryOccurrenceAndRefusesTakenAndReservedNames) {
    Json edit = server.request("textDocument/rename",
                               Json::object({{"textDocument", textDocument()},
                                             {"position", Json::object({{"line", 6}, {"character", 7}})},
                                             {"newName", "again"}}))["result"];
    EXPECT_EQ(edit["changes"][kUri].items().size(), 2u);  // LABEL top, GOTO top
    auto refused = [&](const char* name) {
        return server.request("textDocument/rename", Json::object({{"textDocument", textDocument()},
                                                                   {"position", Json::object({{"line", 1}, {"character", 4}})},
                                                                   {"newName", name}}))["error"];
    };
    EXPECT_EQ(refused("Count")["code"].asInt(), -32803);
    EXPECT_NE(refused("circle")["message"].asString().find("reserved"), std::string::npos);
    EXPECT_EQ(refused("2x")["code"].asInt(), -32803);
    Json prepare = server.request("textDocument/prepareRename", at(12, 2))["result"];
    EXPECT_EQ(prepare["placeholder"].asString(), "paint");
    EXPECT_TRUE(server.request("textDocument/prepareRename", at(13, 9))["result"].isNull());  // a message
}

TEST_F(LspSession, ShutsDownAndExitsWithZero) {
    EXPECT_TRUE(server.request("shutdown").has("result"));
    EXPECT_EQ(server.request("textDocument/hover", at(1, 1))["error"]["code"].asInt(), -32600);
    server.notify("exit", Json());
    EXPECT_EQ(server.wait(), 0);
}

TEST(LspFiles, ImageFilesAreLookedUpInTheScriptsOwnFolder) {
    // A folder whose name needs escaping in the URI.
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("tessel lsp " + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::copy_file(fs::path(TESSEL_TEST_DATA) / "fixtures/images/bmp_os2_v24.bmp", folder / "here.bmp",
                  fs::copy_options::overwrite_existing);
    LspProcess p;
    p.initialize();
    const std::string uri = "file://" + folder.parent_path().string() + "/tessel%20lsp%20" + std::to_string(getpid()) +
                            "/show.tsl";
    p.notify("textDocument/didOpen",
             Json::object({{"textDocument",
                            Json::object({{"uri", uri},
                                          {"version", 1},
                                          {"text", "PTR a, b\nLOADIMG a, \"here.bmp\", 0, 0, 0, 16\n"
                                                   "LOADIMG b, \"gone.bmp\", 0, 0, 0, 16\nSHOWIMG a, 0, 0, 8, 8\n"
                                                   "SHOWIMG b, 0, 0, 8, 8\nSWAP\n"}})}}));
    Json d = p.notification("textDocument/publishDiagnostics")["params"]["diagnostics"];
    std::vector<std::string> found;
    for (const Json& w : d.items())
        found.push_back(w["code"].asString() + "@" + std::to_string(w["range"]["start"]["line"].asInt()));
    EXPECT_EQ(found, std::vector<std::string>{"loadimg-file@2"});
    fs::remove_all(folder);
}

// ---------------------------------------------------------------------------
// Hostile input

// Sends `bytes`, closes the input, and returns the first message written
// (null when none) with the exit status.
std::pair<Json, int> afterRaw(const std::string& bytes) {
    LspProcess p;
    p.raw(bytes);
    p.closeInput();
    std::optional<Json> first = p.read();
    return {first.value_or(Json()), p.wait()};
}

TEST(LspHostileInput, BrokenFramingGetsAnErrorAndACleanExit) {
    for (const std::string& bytes : {
             std::string("Content-Length: 99999999999\r\n\r\n{}"),
             std::string("Content-Length: -5\r\n\r\n{}"),
             std::string("Content-Type: text/plain\r\n\r\n{}"),
             std::string("no colon here\r\n\r\n{}"),
             std::string(20000, 'x'),
         }) {
        auto [first, status] = afterRaw(bytes);
        EXPECT_EQ(first["error"]["code"].asInt(), -32700) << bytes.substr(0, 40);
        EXPECT_EQ(status, 1) << bytes.substr(0, 40);
    }
}

TEST(LspHostileInput, TruncatedInputEndsTheSession) {
    auto [first, status] = afterRaw("Content-Length: 100\r\n\r\n{\"jsonrpc\":");
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(status, 1);
    EXPECT_EQ(afterRaw("").second, 1);
}

TEST(LspHostileInput, BadMessagesGetErrorsAndTheSessionGoesOn) {
    LspProcess p;
    auto body = [&](const std::string& text) {
        p.raw("Content-Length: " + std::to_string(text.size()) + "\r\n\r\n" + text);
        return p.read().value_or(Json());
    };
    EXPECT_EQ(body("{not json")["error"]["code"].asInt(), -32700);
    EXPECT_EQ(body(std::string(100000, '[') + std::string(100000, ']'))["error"]["code"].asInt(), -32700);
    EXPECT_EQ(body("42")["error"]["code"].asInt(), -32600);
    EXPECT_EQ(body("{\"jsonrpc\":\"2.0\",\"id\":{},\"method\":\"x\"}")["error"]["code"].asInt(), -32600);
    EXPECT_EQ(p.request("textDocument/hover", at(0, 0))["error"]["code"].asInt(), -32002);
    p.initialize();
    EXPECT_EQ(p.request("workspace/frobnicate")["error"]["code"].asInt(), -32601);
    p.notify("$/unknownNotification", Json::object());
    EXPECT_EQ(p.request("textDocument/hover", at(0, 0))["error"]["code"].asInt(), -32602);  // not open
    p.notify("textDocument/didOpen",
             Json::object({{"textDocument", Json::object({{"uri", kUri}, {"version", 1}, {"text", "VAR a\n"}})}}));
    Json strange = Json::object({{"textDocument", textDocument()},
                                 {"position", Json::object({{"line", "one"}, {"character", -1}})}});
    EXPECT_EQ(p.request("textDocument/completion", strange)["error"]["code"].asInt(), -32602);
    // Positions far past the text are clamped, not trusted.
    EXPECT_TRUE(p.request("textDocument/hover", at(1 << 30, 1 << 30)).has("result"));
    EXPECT_TRUE(p.request("shutdown").has("result"));
    p.notify("exit", Json());
    EXPECT_EQ(p.wait(), 0);
}

}  // namespace
}  // namespace tessel
