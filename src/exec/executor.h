// The executor's entry points used by the host.
#pragma once

#include "platform/window_core.h"
#include "vm/vm.h"

namespace tessel {

// Allocates the run's memory and precomputes the per-token tables the
// executor and the evaluator use; called once after a successful check.
void prepareExecution(Vm& vm);

// Runs statements from the token after the program counter until the run ends.
void runExecutor(Vm& vm);

// The main window's procedure: paints, records event values and runs the
// script's event blocks.
void windowProc(Vm& vm, const Message& msg);

}  // namespace tessel
