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
// What the loop tests of a breakpoint itself: its condition (the code the
// program's reader compiled for it, up to its END, with its truth in number
// register `truth`) and its hit count (counted in the debugger's counter
// `counter`, met by `hitTest` against `hitCount`).
struct BreakTest {
    const Code* condition = nullptr;
    int32_t truth = -1;
    bool counted = false;
    uint16_t hitTest = 0;
    int32_t counter = 0;
    int32_t hitCount = 0;
};
// A breakpoint that the loop tests itself, so that a pass where it is not
// met costs a few instructions and no stop: the run stops for the debugger
// only where it is met (`DebugHook::metByLoop` says whether the loop
// counted that hit). False, with nothing placed, when the condition or the
// statement's instruction cannot run that way: then `setBreak` serves.
bool setTestedBreak(Vm& vm, int32_t index, const BreakTest& test);
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
