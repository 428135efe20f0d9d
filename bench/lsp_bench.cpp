// The language server's responsiveness on a 5,000-line script, in process:
// the time from a change's arrival to its published diagnostics (with no
// gathering delay, and with the default delay of 50 ms), and the time to
// answer a completion request on an analysed script and right after a
// change (when the request pays for the analysis). Run with repetitions, so
// each line carries its spread:
//   bench_lsp --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>

#include "lsp/json.h"
#include "lsp/server.h"

namespace {

using tessel::Json;

// One unit of 25 lines with its own names; the script ends with event blocks.
void appendUnit(std::string& s, int u) {
    const std::string n = std::to_string(u);
    s += "VAR x" + n + ", y" + n + ", a" + n + "[10]\n";
    s += "STR s" + n + "\n";
    s += "LABEL top" + n + "\n";
    s += "x" + n + " = y" + n + " + a" + n + "[2] * 3\n";
    s += "IF x" + n + " < 10 & y" + n + " = 2\n";
    s += "  PRINT x" + n + ", y" + n + ", s" + n + "\n";
    s += "  s" + n + " = \"caf\xC3\xA9 \" + STRS(x" + n + ")\n";
    s += "ENDIF\n";
    s += "WHILE y" + n + " < 5\n";
    s += "  y" + n + " = y" + n + " + 1\n";
    s += "  a" + n + "[y" + n + "] = SIN(y" + n + ") * 100\n";
    s += "WEND\n";
    s += "WCOLOR 255, 0, 0\n";
    s += "LINE 1, 2, 3, 4\n";
    s += "FUNC f" + n + "()\n";
    s += "  s" + n + " = STRS(x" + n + ")\n";
    s += "  IF x" + n + " > 3\n";
    s += "    x" + n + " = x" + n + " - 1\n";
    s += "  ENDIF\n";
    s += "ENDFN\n";
    s += "f" + n + "()\n";
    s += "' unit " + n + " ends\n";
    s += "IF x" + n + " = 0 : GOTO top" + n + " : ENDIF\n";
    s += "SWAP\n";
    s += "\n";
}

std::string script(int lines) {
    std::string s;
    for (int u = 0; u < lines / 25; ++u) appendUnit(s, u);
    return s;
}

std::string message(const std::string& method, Json params, int id = 0) {
    Json m = Json::object({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
    if (id) m.set("id", id);
    return m.dump();
}

const char kUri[] = "file:///bench.tsl";

struct Session {
    std::string text = script(5000);
    int published = 0, answered = 0;
    int version = 1;
    tessel::LanguageServer server;

    explicit Session(int64_t delayMs)
        : server(tessel::ServerOptions{"bench", delayMs}, [this](const std::string& body) {
              if (body.find("publishDiagnostics") != std::string::npos) ++published;
              else ++answered;
          }) {
        server.handle(message("initialize", Json::object({{"capabilities", Json::object()}}), 1), 0);
        server.handle(message("textDocument/didOpen",
                              Json::object({{"textDocument", Json::object({{"uri", kUri}, {"version", 1}, {"text", text}})}})),
                      0);
        server.publishDue(0);
    }
    // A keystroke: one more character on the script's last line.
    std::string change() {
        text += (version % 2) ? "x" : "\n";
        return message("textDocument/didChange",
                       Json::object({{"textDocument", Json::object({{"uri", kUri}, {"version", ++version}})},
                                     {"contentChanges", Json::array({Json::object({{"text", text}})})}}));
    }
    std::string completion() {
        // In an expression inside the last unit's function.
        return message("textDocument/completion",
                       Json::object({{"textDocument", Json::object({{"uri", kUri}})},
                                     {"position", Json::object({{"line", 4988}, {"character", 8}})}}),
                       2);
    }
};

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// From a change's message to its diagnostics, waiting out the delay as the
// server's loop does.
void diagnosticsAfterChange(benchmark::State& state, int64_t delayMs) {
    Session s(delayMs);
    for (auto _ : state) {
        state.PauseTiming();
        const std::string change = s.change();
        const int before = s.published;
        state.ResumeTiming();
        s.server.handle(change, nowMs());
        while (s.published == before) {
            const int64_t due = s.server.nextDue();
            if (due > nowMs()) std::this_thread::sleep_for(std::chrono::milliseconds(due - nowMs()));
            s.server.publishDue(nowMs());
        }
    }
}
BENCHMARK_CAPTURE(diagnosticsAfterChange, no_delay, 0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(diagnosticsAfterChange, default_delay, 50)->Unit(benchmark::kMillisecond)->UseRealTime();

void completionAnalysed(benchmark::State& state) {
    Session s(0);
    const std::string request = s.completion();
    s.server.handle(request, 0);  // the analysis, once
    for (auto _ : state) s.server.handle(request, 0);
}
BENCHMARK(completionAnalysed)->Unit(benchmark::kMillisecond)->UseRealTime();

void completionAfterChange(benchmark::State& state) {
    Session s(1000000);  // diagnostics never fall due: the request analyses
    const std::string request = s.completion();
    for (auto _ : state) {
        state.PauseTiming();
        s.server.handle(s.change(), 0);
        state.ResumeTiming();
        s.server.handle(request, 0);
    }
}
BENCHMARK(completionAfterChange)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
