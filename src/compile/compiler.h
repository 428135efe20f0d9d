// The compile layer: reads a checked program once, statement by statement,
// into the flat instruction array the executor runs (vm/code.h).
#pragma once

#include "checker/symbols.h"
#include "lexer/token_store.h"
#include "vm/code.h"

namespace tessel {

// Compiles every statement the main program and the event blocks can reach
// (through their flow, jumps, calls and returns) into `code`. Works on any
// checker state, also that of a check that stopped at an error.
void compileProgram(const TokenStore& tokens, const CheckerState& symbols, Code& code);

}  // namespace tessel
