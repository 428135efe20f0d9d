// The executor's entry points used by the host.
#pragma once

#include "platform/platform.h"

namespace tessel {

class Interpreter;

// Precomputes the per-token tables the executor and the evaluator use; called
// once after a successful check.
void prepareExecution(Interpreter& in);

// Runs statements from the token after the program counter until the run ends.
void runExecutor(Interpreter& in);

// The main window's procedure: paints, records event values and runs the
// script's event blocks.
void windowProc(Interpreter& in, const Message& msg);

}  // namespace tessel
