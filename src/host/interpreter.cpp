#include "host/interpreter.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "base/cp1252.h"
#include "base/file_io.h"
#include "base/finding.h"
#include "checker/checker.h"
#include "exec/executor.h"
#include "host/files.h"
#include "host/version.h"
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
    if (host.findingLog) std::fclose(host.findingLog);
}

void Interpreter::writeBoxLog(std::string_view record) {
    if (!host.boxLog || host.boxLogFailed) return;
    if (!writeOutputFile(host.boxLog, opts.boxLog, record, true)) host.boxLogFailed = host.failed = true;
}

// ---------------------------------------------------------------------------
// Diagnostics

void Interpreter::diagnostic(std::string_view caption, std::string_view text, const DiagnosticPlace& where) {
    // Every box of the tokenizer and the checker reports a failure; it counts
    // even when the window is closed while the box is open.
    if (host.frontEnd) host.failed = true;
    showBox(caption.empty() ? std::string_view("<MsgBox>") : caption, text, where, true);
}

void Interpreter::countReport(std::string_view text) {
    if (opts.check || opts.quiet) return;  // neither --check nor --quiet shows it
    showBox(kCountCaption, text, {}, false);
}

void Interpreter::showBox(std::string_view caption, std::string_view text, const DiagnosticPlace& where,
                          bool isDiagnostic) {
    if (vm.debug) vm.debug->output(isDiagnostic ? "stderr" : "console", std::string(caption) + ": " + std::string(text));
    if (host.boxLog)
        writeBoxLog("{\"caption\":\"" + jsonEscape(caption) + "\",\"text\":\"" + jsonEscape(text) +
                    "\"}\n");
    if (opts.check) return writeCheckFinding(caption, text, where);
    if (isDiagnostic && host.findingLog &&
        !writeOutputFile(host.findingLog, opts.findingLog, findingJson(opts.script, findingOf(caption, text, where)), true))
        host.failed = true;
    // A window run writes a diagnostic before its box waits for OK; the
    // headless backend writes the box itself, and its place follows.
    if (isDiagnostic && !opts.headless) writeLocated(caption, text, where);
    platform.messageBox(caption, text);
    if (isDiagnostic && opts.headless && where.at.known()) writeLocated(caption, text, where);
}

Finding Interpreter::findingOf(std::string_view caption, std::string_view text, const DiagnosticPlace& where) {
    Finding f;
    f.at = where.at;
    f.caption = caption;
    f.text = text;
    f.hint = where.hint;
    return f;
}

// --check writes what a run would show, each diagnostic at its place, to
// stderr; or with --format=json one object a line to stdout, without the
// boxes that only say the phases ended after a finding already written.
void Interpreter::writeCheckFinding(std::string_view caption, std::string_view text, const DiagnosticPlace& where) {
    const Finding f = findingOf(caption, text, where);
    if (!opts.json) {
        writeTerminal(stderr, findingText(opts.script, vm.tokens.source(), f, false));
        return;
    }
    const bool followUp = (caption == "Program Exit!" && text == "END") ||
                          (caption == "Process Terminated!" && text == "EXIT from TOKENIZER");
    if (followUp && host.findingsWritten > 0) return;
    ++host.findingsWritten;
    writeTerminal(stdout, findingJson(opts.script, f));
}

// A run writes each diagnostic at its place once: the same one again (a
// timer block failing on every tick) is counted, and the count written when
// the run ends.
void Interpreter::writeLocated(std::string_view caption, std::string_view text, const DiagnosticPlace& where) {
    std::string key = std::string(caption) + '\0' + std::string(text) + '\0' + std::to_string(where.at.offset) +
                      '\0' + std::to_string(where.at.line);
    auto [it, first] = host.repeats.try_emplace(std::move(key), RepeatedDiagnostic{findingOf(caption, text, where), 0});
    ++it->second.count;
    if (first) writeTerminal(stderr, findingText(opts.script, vm.tokens.source(), it->second.finding, false));
}

void Interpreter::writeRepeatCounts() {
    for (const auto& [key, r] : host.repeats) {
        if (r.count < 2) continue;
        std::string head = findingText(opts.script, vm.tokens.source(), r.finding, false);
        head.resize(head.find('\n'));
        writeTerminal(stderr, head + " (came " + std::to_string(r.count) + " times in all)\n");
    }
    host.repeats.clear();
}

// Texts may hold zero bytes: written whole.
void Interpreter::writeTerminal(std::FILE* f, const std::string& out) {
    std::fwrite(out.data(), 1, out.size(), f);
    std::fflush(f);
}

void Interpreter::printed(int x, int y, std::string_view text) {
    if (vm.debug) vm.debug->output("stdout", text);
    if (!host.printLog || host.printLogFailed) return;
    std::string rec = "{\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) +
                      ",\"text\":\"" + jsonEscape(text) + "\"}\n";
    if (!writeOutputFile(host.printLog, opts.printLog, rec, false))
        host.printLogFailed = host.failed = true;
}

// ---------------------------------------------------------------------------
// Start-up and phases

// The logs are opened once the script has been read or failed to be (the
// box log records why), after every check of the command line
// (refusedOutput); the recording only when there is a run to record, so a
// mistyped script name leaves an older recording alone. An output that
// cannot be opened is reported and fails the run, which goes on.
void Interpreter::openOutputs(bool scriptRead) {
    if (!opts.boxLog.empty() && !(host.boxLog = openOutputFile(opts.boxLog))) host.failed = true;
    if (!opts.printLog.empty() && !(host.printLog = openOutputFile(opts.printLog))) host.failed = true;
    if (!opts.findingLog.empty() && !(host.findingLog = openOutputFile(opts.findingLog))) host.failed = true;
    // Only a window records: there is nobody to record in a headless run.
    if (!scriptRead || opts.record.empty() || opts.headless || opts.check) return;
    if (std::FILE* f = openOutputFile(opts.record))
        platform.startRecording(f, opts.record, vm.expr.randState);
    else
        host.failed = true;
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
    if (opts.lint) return lint();
    try {
        if (!opts.check) {
            platform.createMainWindow(kWindowTitle, kClientWidth, kClientHeight,
                                      [this](const Message& m) { windowProc(vm, m); });
            createBackBuffer(gfx, kClientWidth, kClientHeight);
            platform.present(gfx.view(), takeChangedRows(gfx));
            vm.expr.randState = opts.seed ? *opts.seed : platform.tickCount();
        }
        runFromSource();
    } catch (const ProgramExit& e) {
        if (e.status != 0) host.failed = true;
    } catch (const SignalStop& s) {
        host.stoppedBy = s.signal;
    }
    // Closing the window while a run error's box was open ends the program
    // before the abort is thrown: the abort still counts.
    if (vm.exec.aborted) host.failed = true;
    finish();
    if (host.stoppedBy != 0) {
        // As shells report a process a signal ended: 128 + its number.
        std::fprintf(stderr, "tessel: stopped by signal %d (%s); what the run wrote is kept\n", host.stoppedBy,
                     strsignal(host.stoppedBy));
        return 128 + host.stoppedBy;
    }
    return host.failed ? 1 : 0;
}

// Reads the script, opens the logs and runs the phases.
void Interpreter::runFromSource() {
    std::string why;
    bool read = readSource(why);
    openOutputs(read);
    if (!read) {
        host.failed = true;
        diagnostic("Program Exit!", "Cannot open source file: " + opts.script + ": " + why, {});
        return;
    }
    try {
        runPhases();
    } catch (const std::bad_alloc&) {
        // Out of memory before the run could begin (tokens, tables).
        host.failed = true;
        diagnostic("Program Exit!", "Out of memory!", {});
    }
}

// --lint: the script is read as for a run, then checked and linted; the
// report goes to stdout.
int Interpreter::lint() {
    std::string why, report;
    int status = 1;
    if (readSource(why)) {
        status = lintScript(opts.script, std::move(host.source), report, opts.json);
    } else {
        Finding f;
        f.caption = "Program Exit!";
        f.text = "Cannot open source file: " + opts.script + ": " + why;
        report = opts.json ? findingJson(opts.script, f) : findingText(opts.script, {}, f, true);
    }
    bool written = std::fwrite(report.data(), 1, report.size(), stdout) == report.size();
    if (std::fflush(stdout) != 0 || !written) {
        reportWriteError("the report to standard output", std::strerror(errno));
        return 1;
    }
    return status;
}

void Interpreter::runPhases() {
    host.frontEnd = true;
    // (The lexing phase answers 0 for every failure, a tokenizer error
    // among them.)
    if (lexingPhase(std::move(host.source), vm.tokens, lex, *this) != 1) {
        diagnostic("Program Exit!", "END", {});
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
    if (!opts.check) messageLoop();
}

// A run that ran out of memory ends like a run abort, with a box saying so.
void Interpreter::outOfMemory() {
    host.failed = true;
    diagnostic("Run Error!", "Out of memory!", {});
}

// The checker and, when it accepts the program, the main run.
void Interpreter::checkAndRun() {
    if (runChecker(vm.tokens, vm.symbols, *this) != 1) {
        diagnostic("Program Exit!", "END", {});
        return;
    }
    host.frontEnd = false;
    if (opts.check) return;
    prepareExecution(vm);
    runMainProgram(vm);
}

void Interpreter::messageLoop() {
    Message msg;
    while (platform.getMessage(msg)) {
        if (platform.isDialogMessage(msg)) continue;
        try {
            platform.dispatchMessage(msg);
        } catch (const RunAbort&) {
            host.failed = true;
        } catch (const std::bad_alloc&) {
            outOfMemory();
        }
    }
}

// Writes what the run leaves behind: the counts of repeated diagnostics,
// the screenshot, the rest of the logs and of the recording. Any output
// that failed fails the run.
void Interpreter::finish() {
    writeRepeatCounts();
    if (!opts.screenshot.empty() && !opts.check && !platform.saveScreenshot(opts.screenshot))
        host.failed = true;
    for (auto [file, path] : {std::pair{&host.boxLog, &opts.boxLog}, std::pair{&host.printLog, &opts.printLog},
                              std::pair{&host.findingLog, &opts.findingLog}}) {
        if (*file && !closeOutputFile(*file, *path)) host.failed = true;
        *file = nullptr;
    }
    platform.finishRecording();
    if (platform.outputFailed()) host.failed = true;
}

// ---------------------------------------------------------------------------
// Text helpers

std::string jsonEscape(std::string_view bytes) {
    return jsonString(bytes, true);
}

}  // namespace tessel
