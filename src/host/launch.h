// Running one script as the command line asks (a window or headless, events
// played, RAND's seed), and `tessel --dap`, which runs the scripts an
// editor launches the same way with a debugger attached.
#pragma once

#include <csignal>

#include <memory>
#include <string>

#include "debug/replayed_window.h"
#include "gfx/gfx_state.h"
#include "host/options.h"
#include "exec/vm.h"

namespace tessel {

// The window of a debug session's window runs: opened by the first, kept
// for those that follow (a run started again to step back shows its stop
// in the same window), each run's input and clock recorded in `live`.
struct SessionWindow {
    LiveRuns* live = nullptr;
    std::unique_ptr<NativeWindow> window;  // null until a run opens it
    bool opened = false;                   // the main window was opened
};

// Runs the script of `opts` to its end with `hook` attached to its machine
// (null: none; --trace attaches its own) and its image files read through
// `images` (null: from the disk). `stopSignal` is where a termination signal
// is noted (null: none watched). The exit status.
// A window run of a debug session takes its window from `sessionWindow`
// (null: a window of its own).
int runScript(Options opts, const volatile std::sig_atomic_t* stopSignal, DebugHook* hook,
              ImageSource* images = nullptr, SessionWindow* sessionWindow = nullptr);

// Serves the Debug Adapter Protocol on standard input and output. Anything
// else written to standard output goes to standard error instead, so the
// protocol's stream stays whole.
int serveDebugAdapter();

}  // namespace tessel
