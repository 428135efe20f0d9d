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

namespace tessel {

// A debugger's breakpoint at instruction `index`, which begins a statement:
// a BREAK takes its place (vm.debug keeps the instruction), and the run
// stops there for the debugger to decide.
void setBreak(Vm& vm, int32_t index);
// A breakpoint whose condition the loop tests itself, so that a pass where
// it does not hold costs a few instructions and no stop: `condition` is the
// condition's code as the program's reader compiled it (up to its END),
// its truth in number register `truth`. The run stops for the debugger
// only where it holds. False, with nothing placed, when that code or the
// statement's instruction cannot run that way: then `setBreak` serves.
bool setConditionalBreak(Vm& vm, int32_t index, const Code& condition, int32_t truth);
// Puts back every instruction a breakpoint stands in.
void clearBreaks(Vm& vm);
// Whether `op` is a breakpoint standing in a statement's first instruction.
bool isBreakpoint(uint8_t op);
// Instruction `index` as the program has it, under any breakpoint.
const Instr& programInstruction(const Vm& vm, int32_t index);

// Runs code that only computes (no statement starts, nothing that reaches
// the platform) from `entry` until its END: a debugger's expression, in a
// machine of its own. False when it stopped anywhere else (an abort).
bool runDetached(Vm& vm, int32_t entry);

}  // namespace tessel
