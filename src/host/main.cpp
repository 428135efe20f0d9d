// tessel: runs one script file in a window (or headless).
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/cp1252.h"
#include "host/files.h"
#include "host/interpreter.h"
#include "host/options.h"
#include "host/version.h"
#include "lsp/transport.h"
#include "platform/events_file.h"
#include "platform/sdl_module.h"
#ifdef _WIN32  // (the Windows build's own window backend instead of SDL's)
#include "platform/win32/win32_window.h"
#endif

namespace {

// The termination signal that arrived (0: none). The program's one global:
// a signal handler reaches nothing else. The window core reads it.
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void onStopSignal(int sig) {
    gStopSignal = sig;
}

// SIGINT and SIGTERM end a run at the window core's next safe point, once
// the logs and the screenshot are written. The handler is reset when it
// runs, so a second signal ends tessel at once. A signal ignored when
// tessel started (a background job of a shell) stays ignored.
void watchStopSignals() {
#ifdef _WIN32
    // (Windows: Ctrl+C and Ctrl+Break arrive as SIGINT, through the C
    // runtime, which resets the handler as it calls it; there is no SIGPIPE.)
    for (int sig : {SIGINT, SIGTERM}) std::signal(sig, onStopSignal);
#else
    for (int sig : {SIGINT, SIGTERM}) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction sa {};
        sa.sa_handler = onStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND | SA_RESTART;
        sigaction(sig, &sa, nullptr);
    }
    // A log written into a pipe whose reader has gone fails as any other
    // write does, with a message, instead of ending the process silently.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tessel;
    Options opts;
    switch (parseOptions(argc, argv, opts)) {
        case ParseResult::Exit0: return 0;
        case ParseResult::WriteFailed: return 1;
        case ParseResult::Usage: return 2;
        case ParseResult::Run: break;
    }
    if (opts.lsp) {
#ifndef _WIN32
        // An editor that goes away leaves a write failing, not a signal.
        std::signal(SIGPIPE, SIG_IGN);
#endif
        return runLanguageServer(0, 1, ServerOptions{kVersion});
    }
    const bool runs = !opts.check && !opts.lint;
    PlatformConfig cfg;
    cfg.scripted = !opts.events.empty();
    std::string error;
    // A bad events file is a usage error, whichever backend plays it.
    if (runs && !opts.events.empty() && !loadEventsFile(opts.events, cfg.events, &error)) {
        std::fprintf(stderr, "tessel: %s\n", error.c_str());
        return 2;
    }
    // Nothing has been opened for writing yet, and nothing is when an
    // output would overwrite an input or another output.
    if (std::string why = refusedOutput(opts, cfg.events); !why.empty()) {
        std::fprintf(stderr, "tessel: %s\n", why.c_str());
        return 2;
    }
    // A seed line of the events file is applied as --seed is; one given on
    // the command line wins.
    if (std::optional<uint32_t> seed = takeSeed(cfg.events); seed && !opts.seed) opts.seed = seed;
    if (runs) {
        watchStopSignals();
        cfg.stopSignal = &gStopSignal;
    }
    std::unique_ptr<NativeWindow> native;
    if (!opts.headless && runs) {
#ifdef _WIN32
        native = makeWin32Window(&error);
#else
        native = makeSdlWindow(&error);
#endif
        if (!native) {
            std::fprintf(stderr, "tessel: cannot open a window (%s); running headless\n",
                         error.c_str());
            if (!opts.record.empty())
                std::fprintf(stderr,
                             "tessel: without a window nothing is recorded; %s is left as it was\n",
                             bytesToTerminal(opts.record).c_str());
        }
    }
    if (!native) {
        opts.headless = true;
        cfg.keepFrames = !opts.screenshot.empty();
        native = makeHeadlessWindow();
    }
    WindowCore platform(std::move(native), std::move(cfg));
    Interpreter interp(platform, opts);
    return interp.run();
}
