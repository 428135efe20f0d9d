// tessel: runs one script file in a window (or headless).
#include <csignal>
#include <cstdio>

#include "host/launch.h"
#include "host/options.h"
#include "host/version.h"
#include "lsp/transport.h"

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
    if (opts.dap) {
#ifndef _WIN32
        std::signal(SIGPIPE, SIG_IGN);
#endif
        return serveDebugAdapter();
    }
    if (!opts.check && !opts.lint) watchStopSignals();
    return runScript(opts, &gStopSignal, nullptr);
}
