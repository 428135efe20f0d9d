#include "host/interpreter.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "checker/checker.h"
#include "exec/executor.h"
#include "host/files.h"
#include "host/version.h"
#include "base/cp1252.h"
#include "lint/lint.h"
#include "platform/sdl_module.h"

namespace tessel {

Interpreter::Interpreter(WindowCore& p, Options o)
    : platform(p), opts(std::move(o)), vm(gfx, platform, *this, *this) {
    gfx.heartbeat = &platform;  // a window can be closed while an image decodes
}

Interpreter::~Interpreter() {
    if (host.boxLog) std::fclose(host.boxLog);
    if (host.printLog) std::fclose(host.printLog);
}

void Interpreter::writeBoxLog(std::string_view record) {
    if (!host.boxLog || host.boxLogFailed) return;
    if (!writeLogFile(host.boxLog, opts.boxLog, record, true)) host.boxLogFailed = host.failed = true;
}

// ---------------------------------------------------------------------------
// Diagnostics

void Interpreter::diagnostic(std::string_view caption, std::string_view text, int line) {
    showBox(caption.empty() ? std::string_view("<MsgBox>") : caption, text, line, true);
}

void Interpreter::countReport(std::string_view text) {
    if (opts.check || opts.quiet) return;  // neither --check nor --quiet shows it
    showBox("Kiv", text, 0, false);
}

// Returns the 1-based line `line` of the source, without its line end.
static std::string_view sourceLine(std::string_view src, int line) {
    size_t pos = 0;
    for (int l = 1; l < line; ++l) {
        pos = src.find('\n', pos);
        if (pos == std::string_view::npos) return {};
        ++pos;
    }
    size_t end = src.find('\n', pos);
    std::string_view s = src.substr(pos, end == std::string_view::npos ? src.npos : end - pos);
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    return s;
}

std::string terminalDiagnostic(std::string_view script, std::string_view source, std::string_view caption,
                               std::string_view text, int line) {
    std::string out(script);
    if (line > 0) out += ":" + std::to_string(line);
    out += ": " + windows1252ToUtf8(caption) + ": " + windows1252ToUtf8(text) + "\n";
    if (line > 0) out += "    " + windows1252ToUtf8(sourceLine(source, line)) + "\n";
    return out;
}

void Interpreter::showBox(std::string_view caption, std::string_view text, int line, bool isDiagnostic) {
    if (host.boxLog)
        writeBoxLog("{\"caption\":\"" + jsonEscape(caption) + "\",\"text\":\"" + jsonEscape(text) +
                    "\"}\n");
    if (opts.lint) {  // only a source that cannot be read gets here
        std::string out = opts.script + ": error: " + windows1252ToUtf8(caption) + ": " +
                          windows1252ToUtf8(text) + "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        return;
    }
    // --check writes diagnostics instead of showing them; a window run shows
    // them and writes them too (the headless backend writes its own form).
    if (opts.check || (!opts.headless && isDiagnostic)) {
        std::string out = terminalDiagnostic(opts.script, vm.tokens.source(), caption, text, line);
        std::fwrite(out.data(), 1, out.size(), stderr);  // texts may hold zero bytes
        std::fflush(stderr);
    }
    if (!opts.check) platform.messageBox(caption, text);
}

void Interpreter::printed(int x, int y, std::string_view text) {
    if (!host.printLog || host.printLogFailed) return;
    std::string rec = "{\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) +
                      ",\"text\":\"" + jsonEscape(text) + "\"}\n";
    if (!writeLogFile(host.printLog, opts.printLog, rec, false))
        host.printLogFailed = host.failed = true;
}

// ---------------------------------------------------------------------------
// Start-up and phases

// A log or screenshot that names the script would destroy it before it is
// read: that is a usage error, found before anything is opened.
bool Interpreter::outputsNameTheScript() const {
    for (const std::string* out : {&opts.boxLog, &opts.printLog, &opts.screenshot, &opts.record}) {
        if (out->empty() || !sameFile(*out, opts.script)) continue;
        std::fprintf(stderr, "tessel: %s names the script %s itself\n", out->c_str(), opts.script.c_str());
        return true;
    }
    return false;
}

// Logs are opened once the script has been read (or failed to be).
void Interpreter::openLogs() {
    if (!opts.boxLog.empty() && !(host.boxLog = openLogFile(opts.boxLog))) host.failed = true;
    if (!opts.printLog.empty() && !(host.printLog = openLogFile(opts.printLog))) host.failed = true;
}

// Reads the whole source file byte for byte: a regular file of at most
// kMaxSourceBytes. False, with the reason, when it cannot be read.
bool Interpreter::readSource(std::string& why) {
    try {
        if (!readScriptFile(opts.script, host.source, why)) return false;
        if (opts.utf8) host.source = utf8SourceToWindows1252(host.source);
        return true;
    } catch (const std::bad_alloc&) {
        host.source.clear();
        why = "Out of memory";
        return false;
    }
}

int Interpreter::run() {
    if (outputsNameTheScript()) return 2;
    if (opts.lint) return lint();
    try {
        if (!opts.check) {
            platform.createMainWindow(kWindowTitle, kClientWidth, kClientHeight,
                                      [this](const Message& m) { windowProc(vm, m); });
            createBackBuffer(gfx, kClientWidth, kClientHeight);
            platform.present(gfx.view());
            vm.expr.randState = opts.seed ? *opts.seed : platform.tickCount();
            platform.recordSeed(vm.expr.randState);
        }
        runFromSource();
    } catch (const ProgramExit& e) {
        if (e.status != 0) host.failed = true;
    }
    // Closing the window while a run error's box was open ends the program
    // before the abort is thrown: the abort still counts.
    if (vm.exec.aborted) host.failed = true;
    finish();
    return host.failed ? 1 : 0;
}

// Reads the script, opens the logs and runs the phases.
void Interpreter::runFromSource() {
    std::string why;
    bool read = readSource(why);
    openLogs();
    if (!read) {
        host.failed = true;
        diagnostic("Program Exit!", "Cannot open source file: " + opts.script + ": " + why, 0);
        return;
    }
    try {
        runPhases();
    } catch (const std::bad_alloc&) {
        // Out of memory before the run could begin (tokens, tables).
        host.failed = true;
        diagnostic("Program Exit!", "Out of memory!", 0);
    }
}

// --lint: the script is read as for a run, then checked and linted; the
// report goes to stdout.
int Interpreter::lint() {
    std::string why;
    if (!readSource(why)) {
        std::string out = opts.script + ": error: Program Exit!: Cannot open source file: " + opts.script +
                          ": " + why + "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 1;
    }
    std::string report;
    int status = lintScript(opts.script, std::move(host.source), report);
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
    return status;
}

void Interpreter::runPhases() {
    const int lexed = lexingPhase(std::move(host.source), vm.tokens, lex, *this);
    if (lex.errorCode != 0 || lexed != 1) {
        diagnostic("Program Exit!", "END", 0);
        host.failed = true;
        return;  // the process ends: no message loop
    }
    // Event blocks the checker has registered may run from the modal loop of
    // any box shown from here on; a run abort in one of them comes back here,
    // and the message loop takes over as after any abort.
    try {
        checkAndRun();
    } catch (const RunAbort&) {
        host.failed = true;
    } catch (const std::bad_alloc&) {
        outOfMemory();
    }
    // An abort leaves the expression it came from with its nesting counted.
    vm.expr.depth = 0;
    if (!opts.check) messageLoop();
}

// A run that ran out of memory ends like a run abort, with a box saying so.
void Interpreter::outOfMemory() {
    host.failed = true;
    diagnostic("Run Error!", "Out of memory!", 0);
}

// The checker and, when it accepts the program, the main run.
void Interpreter::checkAndRun() {
    if (runChecker(vm.tokens, vm.symbols, *this) != 1) {
        diagnostic("Program Exit!", "END", 0);
        host.failed = true;
        return;
    }
    if (opts.check) return;
    prepareExecution(vm);
    runExecutor(vm);
}

void Interpreter::messageLoop() {
    Message msg;
    while (platform.getMessage(msg)) {
        if (platform.isDialogMessage(msg)) continue;
        try {
            platform.dispatchMessage(msg);
        } catch (const RunAbort&) {
            host.failed = true;
            vm.expr.depth = 0;
        } catch (const std::bad_alloc&) {
            vm.expr.depth = 0;
            outOfMemory();
        }
    }
}

void Interpreter::finish() {
    if (!opts.screenshot.empty() && !opts.check && !platform.saveScreenshot(opts.screenshot)) {
        std::fprintf(stderr, "tessel: cannot save screenshot %s\n", opts.screenshot.c_str());
        host.failed = true;
    }
    for (auto [file, path] : {std::pair{&host.boxLog, &opts.boxLog}, std::pair{&host.printLog, &opts.printLog}}) {
        if (*file && !closeLogFile(*file, *path)) host.failed = true;
        *file = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Text helpers

std::string jsonEscape(std::string_view bytes) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() + 8);
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}


}  // namespace tessel
