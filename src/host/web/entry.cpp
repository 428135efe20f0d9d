// The web edition's entry points, called by the page: run a script from the
// page's file system, list what the front end says of a script (its
// diagnostics with their lines, the token count, whether it has event
// blocks), and list the checker's and the lint's findings for the editor.
#include <emscripten.h>

#include <cstdio>
#include <string>
#include <vector>

#include "checker/checker.h"
#include "host/interpreter.h"
#include "host/web/findings.h"
#include "lexer/tokenizer.h"
#include "lint/lint.h"
#include "platform/browser/browser_window.h"
#include "platform/events_file.h"
#include "platform/window_core.h"

namespace tessel {

namespace {

// Status of a run the page stopped.
constexpr int kStopped = 3;

// Collects the front end's diagnostics as JSON lines with their source
// lines, and its count report.
class DiagnosticList final : public Reporter {
   public:
    void diagnostic(std::string_view caption, std::string_view text, int line) override {
        json += "{\"caption\":\"" + jsonEscape(caption) + "\",\"text\":\"" + jsonEscape(text) +
                "\",\"line\":" + std::to_string(line) + "}\n";
    }
    void countReport(std::string_view text) override { count = text; }

    std::string json;
    std::string count;
};

bool readFile(const char* path, std::string& out) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return true;
}

// The source line of the token a run abort left the program counter at
// (one plus the line ends before it), or 0 when the run was not aborted.
int abortLine(const Interpreter& interp) {
    if (!interp.vm.exec.aborted) return 0;
    int line = 1;
    for (int32_t i = 1; i < interp.vm.exec.pc; ++i) line += interp.vm.tokens.classAt(i) == CLS_EOL;
    return line;
}

bool writeFile(const char* path, const std::string& data) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

}  // namespace tessel

extern "C" {

// Runs the script at `script` with box and PRINT logs at the paths given.
// With `scripted`, the events file `events` drives the run as in a headless
// run; with `quiet`, no token-count box is shown. Returns the exit status, 2
// for bad events (the reason in stderr), 3 when the page stopped the run.
EMSCRIPTEN_KEEPALIVE int tessel_run(const char* script, const char* boxLog, const char* printLog,
                                    const char* events, int scripted, int quiet) {
    using namespace tessel;
    PlatformConfig cfg;
    std::string error;
    if (scripted && !loadEventsFile(events, cfg.events, &error)) {
        std::fprintf(stderr, "tessel: %s\n", error.c_str());
        return 2;
    }
    Options opts;
    // A seed line of the events file is applied as the desktop applies it.
    opts.seed = takeSeed(cfg.events);
    opts.script = script;
    opts.boxLog = boxLog;
    opts.printLog = printLog;
    opts.quiet = quiet != 0;
    // A scripted run is a headless run whose frames reach the canvas.
    opts.headless = scripted != 0;
    cfg.keepFrames = true;
    try {
        const Interpreter* running = nullptr;
        auto abortedAt = [&running] { return running ? abortLine(*running) : 0; };
        WindowCore platform(makeBrowserWindow(scripted != 0, abortedAt), std::move(cfg));
        Interpreter interp(platform, opts);
        running = &interp;
        return interp.run();
    } catch (const StopRequested&) {
        return kStopped;
    }
}

// Writes what the front end says of the script at `script` to `out`, one
// JSON object a line: the tokenizer's and the checker's diagnostics with
// their source lines, then {"count": the token-count report, "eventBlocks":
// how many messages the script handles}.
EMSCRIPTEN_KEEPALIVE int tessel_diagnostics(const char* script, const char* out) {
    using namespace tessel;
    std::string source;
    if (!readFile(script, source)) return 0;
    DiagnosticList list;
    TokenStore tokens;
    LexState lex;
    int lexed = lexingPhase(std::move(source), tokens, lex, list);
    int handled = 0;
    if (lex.errorCode == 0 && lexed == 1) {
        CheckerState checker;
        if (runChecker(tokens, checker, list) == 1)
            for (int32_t slot : checker.slots) handled += slot != 0;
    }
    list.json += "{\"count\":\"" + jsonEscape(list.count) + "\",\"eventBlocks\":" + std::to_string(handled) + "}\n";
    return writeFile(out, list.json) ? 1 : 0;
}

// Writes the checker's and the lint's findings for the script at `script`
// to `out`, one JSON object a line (see host/web/findings.h). Returns how
// many there are, or -1 when the script cannot be read.
EMSCRIPTEN_KEEPALIVE int tessel_findings(const char* script, const char* out) {
    using namespace tessel;
    std::string source;
    if (!readFile(script, source)) return -1;
    std::string report;
    lintScript(kFindingsScriptName, source, report);
    std::vector<Finding> findings = parseLintReport(report, source);
    return writeFile(out, findingsJson(findings)) ? static_cast<int>(findings.size()) : -1;
}

}  // extern "C"
