// The executor's entry points used by the host.
#pragma once

#include "platform/window_core.h"
#include "exec/vm.h"

namespace tessel {

// Compiles the checked program and allocates the run's memory; called once
// after a successful check.
void prepareExecution(Vm& vm);

// Runs the main program from its first statement until the run ends.
void runMainProgram(Vm& vm);

// Runs the event block registered for `which` message until it ends; with
// `interrupting`, the run it interrupts resumes afterwards where it was.
void runBlockAt(Vm& vm, EventSlot which, bool interrupting);

// The main window's procedure: paints, records event values and runs the
// script's event blocks.
void windowProc(Vm& vm, const Message& msg);

}  // namespace tessel
