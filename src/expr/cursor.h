// The evaluator's view of the current token: the run table entry at the
// program counter, plus the nesting guard shared by the recursive procedures.
#pragma once

#include "expr/expr.h"

namespace tessel {

inline const RunToken& current(const Vm& vm) { return runAt(vm, vm.exec.pc); }

// Order of each numeric factor alternative. After one alternative has used
// its tokens only later alternatives are tried on the token that follows.
inline int factorOrder(uint8_t alt) {
    static constexpr int kOrder[] = {
        0,  // NA_NONE
        0,  // NA_MINUS (handled on entry)
        0,  // NA_PLUS (handled on entry)
        1,  // NA_DIGIT
        2,  // NA_LPAR
        3,  // NA_LBRK
        4,  // NA_NUMVAR
        4,  // NA_PTRVAR
        4,  // NA_NAME
        5,  // NA_NUMARR
        5,  // NA_PTRARR
        6,  // NA_FUNC
    };
    return kOrder[alt];
}

// Shows the nesting diagnostic and aborts the run.
[[noreturn]] void nestingTooDeep(Vm& vm);

// Counts one more level of nesting (aborting the run beyond the limit);
// leaveNesting counts it off again. A pair of calls rather than a guard
// object: a destructor would give every recursive step of an expression an
// unwinding path, which the web build pays for with a call through
// JavaScript per step, in time and in the browser's small call stack. A run
// abort leaves the count raised; the interpreter sets it back to 0 where it
// catches the abort, with no expression left in progress.
inline void enterNesting(Vm& vm) {
    if (vm.expr.depth >= kMaxExprDepth) nestingTooDeep(vm);
    ++vm.expr.depth;
}
inline void leaveNesting(Vm& vm) { --vm.expr.depth; }

}  // namespace tessel
