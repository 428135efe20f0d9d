// The web edition's entry points, called by the page: run a script from the
// page's file system (its diagnostics logged with their places), list the
// lint's findings of a script as --lint --format=json does, tell what the
// front end says of a script (its token count, its event blocks), and answer
// the page's editor with the language server's own features (marks,
// completion, hover) over the editor's text.
#include <emscripten.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "checker/checker.h"
#include "host/files.h"
#include "host/interpreter.h"
#include "host/web/page_run.h"
#include "lexer/tokenizer.h"
#include "lint/lint.h"
#include "lsp/features.h"
#include "lsp/json.h"
#include "lsp/script_model.h"
#include "platform/browser/browser_window.h"
#include "platform/events_file.h"
#include "platform/window_core.h"

namespace tessel {

namespace {

// Keeps the front end's count report; its diagnostics go to the findings.
class CountReport final : public Reporter {
   public:
    void diagnostic(std::string_view, std::string_view, const DiagnosticPlace&) override {}
    void countReport(std::string_view text) override { count = text; }

    std::string count;
};

// The script at `path`, read as the command line reads a script (a regular
// file of bounded size); false when it cannot be.
bool readScript(const char* path, std::string& source) {
    std::string why;
    return readScriptFile(path, source, why);
}

// What the page's editor asked about last: the text and its model, kept so
// that marks, completion and hover of one text read it once, and the last
// answer, whose characters the page reads before its next call.
struct EditorSession {
    std::string text;
    std::unique_ptr<ScriptModel> model;
    std::string answer;

    const ScriptModel& modelOf(const char* utf8) {
        if (!model || text != utf8) {
            text = utf8;
            model = std::make_unique<ScriptModel>(text);
        }
        return *model;
    }
    const char* answerWith(const Json& value) {
        answer = value.dump();
        return answer.c_str();
    }
};

EditorSession& editorSession() {
    static EditorSession session;
    return session;
}

}  // namespace

int runInPage(const PageRun& run, DebugHook* hook, ImageSource* images) {
    PlatformConfig cfg;
    std::string error;
    if (run.scripted && !loadEventsFile(run.events, cfg.events, &error)) {
        std::fprintf(stderr, "tessel: %s\n", error.c_str());
        return 2;
    }
    Options opts;
    // A seed line of the events file is applied as the desktop applies it.
    opts.seed = takeSeed(cfg.events);
    if (run.seed) opts.seed = run.seed;
    opts.script = run.script;
    opts.boxLog = run.boxLog;
    opts.printLog = run.printLog;
    opts.findingLog = run.findingLog;
    opts.quiet = run.quiet;
    // A scripted run is a headless run whose frames reach the canvas.
    opts.headless = run.scripted;
    cfg.drive = run.scripted ? Drive::Unattended : Drive::Live;
    cfg.keepFrames = true;
    // A debugger hears the page while the run waits for input too.
    Vm* machine = nullptr;
    if (hook)
        cfg.idle = [&machine, hook] {
            if (machine) hook->poll(*machine);
        };
    try {
        std::unique_ptr<NativeWindow> window = makeBrowserWindow(run.scripted);
        if (run.wrapWindow) window = run.wrapWindow(std::move(window));
        if (run.clock) cfg.clock = run.clock();
        WindowCore platform(std::move(window), std::move(cfg));
        Interpreter interp(platform, opts);
        interp.vm.debug = hook;
        interp.gfx.imageSource = images;
        machine = &interp.vm;
        return interp.run();
    } catch (const StopRequested&) {
        return kStoppedByPage;
    }
}

}  // namespace tessel

extern "C" {

// The caption of the count report, the box that is no diagnostic.
EMSCRIPTEN_KEEPALIVE const char* tessel_count_caption() {
    return tessel::kCountCaption;
}

// Runs the script at `script` with box, PRINT and finding logs at the paths
// given ("" for none; the finding log gets each diagnostic of the run as a
// JSON object with its place, as --format=json writes findings). With
// `scripted`, the events file `events` drives the run as in a headless run;
// with `quiet`, no token-count box is shown. Returns the exit status, 2 for
// bad events (the reason in stderr), 3 when the page stopped the run.
EMSCRIPTEN_KEEPALIVE int tessel_run_located(const char* script, const char* boxLog,
                                            const char* printLog, const char* findingLog,
                                            const char* events, int scripted, int quiet) {
    using namespace tessel;
    return runInPage(
        PageRun{
            script, boxLog, printLog, findingLog, events, scripted != 0, quiet != 0, {}, {}, {}},
        nullptr, nullptr);
}

// tessel_run_located without a finding log.
EMSCRIPTEN_KEEPALIVE int tessel_run(const char* script, const char* boxLog, const char* printLog,
                                    const char* events, int scripted, int quiet) {
    return tessel_run_located(script, boxLog, printLog, "", events, scripted, quiet);
}

// Writes the findings of `--lint --format=json` for the script at `script`
// to `out`: the lexer's or the checker's first error with its place and
// hint, or else the lint's warnings, one JSON object a line (file, line,
// column, endLine, endColumn, severity, caption, text, rule, hint).
// Returns 1 when `out` was written.
EMSCRIPTEN_KEEPALIVE int tessel_findings(const char* script, const char* out) {
    using namespace tessel;
    std::string source, json;
    if (!readScript(script, source)) return 0;
    lintScript(script, std::move(source), json, true);
    return writeWholeFile(out, json) ? 1 : 0;
}

// Writes what the front end says of the script at `script` to `out` as one
// JSON object: {"count": the token-count report, "eventBlocks": how many
// messages the script handles}.
EMSCRIPTEN_KEEPALIVE int tessel_diagnostics(const char* script, const char* out) {
    using namespace tessel;
    std::string source;
    if (!readScript(script, source)) return 0;
    CountReport report;
    TokenStore tokens;
    LexState lex;
    int lexed = lexingPhase(std::move(source), tokens, lex, report);
    int handled = 0;
    if (lex.errorCode == 0 && lexed == 1) {
        CheckerState checker;
        if (runChecker(tokens, checker, report) == 1)
            for (int32_t slot : checker.slots) handled += slot != 0;
    }
    Json summary;  // (the count report is ASCII: two counts in words)
    summary.set("count", std::move(report.count));
    summary.set("eventBlocks", handled);
    return writeWholeFile(out, summary.dump() + "\n") ? 1 : 0;
}

// The language server's answers for the page's editor, as JSON text (valid
// until the next call). `text` is the editor's text as UTF-8; lines and
// characters count as the protocol counts (0-based, UTF-16 units), as
// JavaScript strings do.

// The checker's error or the lint's warnings as Diagnostic objects.
EMSCRIPTEN_KEEPALIVE const char* tessel_editor_marks(const char* text) {
    using namespace tessel;
    EditorSession& s = editorSession();
    return s.answerWith(diagnosticsOf(s.modelOf(text)));
}

// CompletionItem objects for what can stand at the position.
EMSCRIPTEN_KEEPALIVE const char* tessel_editor_completion(const char* text, int line,
                                                          int character) {
    using namespace tessel;
    EditorSession& s = editorSession();
    return s.answerWith(completionAt(s.modelOf(text), {line, character}));
}

// A Hover object for the keyword or name at the position, or null.
EMSCRIPTEN_KEEPALIVE const char* tessel_editor_hover(const char* text, int line, int character) {
    using namespace tessel;
    EditorSession& s = editorSession();
    return s.answerWith(hoverAt(s.modelOf(text), {line, character}));
}

}  // extern "C"
