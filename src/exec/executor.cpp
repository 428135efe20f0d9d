#include "exec/executor.h"

#include "host/interpreter.h"

namespace tessel {

// Placeholders until the executor lands.
void prepareExecution(Interpreter&) {}
void runExecutor(Interpreter&) {}
void windowProc(Interpreter&, const Message&) {}

}  // namespace tessel
