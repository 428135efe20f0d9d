// The evaluator's view of the current token: the run table entry at the
// program counter, plus the nesting guard shared by the recursive procedures.
#pragma once

#include "expr/expr.h"

namespace tessel {

// The run entry of token i; the empty token outside the table.
inline const RunToken& runAt(const Interpreter& in, int32_t i) {
    static const RunToken kEmpty{};
    const auto& run = in.expr.run;
    return static_cast<uint32_t>(i) < run.size() ? run[static_cast<uint32_t>(i)] : kEmpty;
}

inline const RunToken& current(const Interpreter& in) { return runAt(in, in.exec.pc); }

// Shows the nesting diagnostic and aborts the run.
[[noreturn]] void nestingTooDeep(Interpreter& in);

// Counts one level of nesting for as long as it lives.
class NestGuard {
   public:
    explicit NestGuard(Interpreter& in) : ex_(in.expr) {
        if (ex_.depth >= kMaxExprDepth) nestingTooDeep(in);
        ++ex_.depth;
    }
    ~NestGuard() { --ex_.depth; }
    NestGuard(const NestGuard&) = delete;
    NestGuard& operator=(const NestGuard&) = delete;

   private:
    ExprState& ex_;
};

}  // namespace tessel
