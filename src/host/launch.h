// Running one script as the command line asks (a window or headless, events
// played, RAND's seed), and `tessel --dap`, which runs the scripts an
// editor launches the same way with a debugger attached.
#pragma once

#include <csignal>

#include "gfx/gfx_state.h"
#include "host/options.h"
#include "exec/vm.h"

namespace tessel {

// Runs the script of `opts` to its end with `hook` attached to its machine
// (null: none; --trace attaches its own) and its image files read through
// `images` (null: from the disk). `stopSignal` is where a termination signal
// is noted (null: none watched). The exit status.
int runScript(Options opts, const volatile std::sig_atomic_t* stopSignal, DebugHook* hook,
              ImageSource* images = nullptr);

// Serves the Debug Adapter Protocol on standard input and output. Anything
// else written to standard output goes to standard error instead, so the
// protocol's stream stays whole.
int serveDebugAdapter();

}  // namespace tessel
