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

// Counts one level of nesting for as long as it lives.
class NestGuard {
   public:
    explicit NestGuard(Vm& vm) : ex_(vm.expr) {
        if (ex_.depth >= kMaxExprDepth) nestingTooDeep(vm);
        ++ex_.depth;
    }
    ~NestGuard() { --ex_.depth; }
    NestGuard(const NestGuard&) = delete;
    NestGuard& operator=(const NestGuard&) = delete;

   private:
    ExprState& ex_;
};

}  // namespace tessel
