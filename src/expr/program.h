// Expression programs: pure arithmetic read once before the run.
#pragma once

#include <cstdint>

#include "vm/expr_state.h"

namespace tessel {

// Gives every token that starts a numeric expression of pure arithmetic (and
// that the evaluator does not already read in one step) its program, and
// sets its RF_PROGRAM flag. Needs the other one-step flags set.
void buildExpressionPrograms(ExprState& ex, int32_t count);

}  // namespace tessel
