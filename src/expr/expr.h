// The expression evaluator: token fetch, numeric and string expressions,
// conditions, element access and the number/text conversions. Every procedure
// starts at the current token (the token at the program counter) and leaves
// as current token the first token it did not use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/convert.h"
#include "vm/vm.h"

namespace tessel {

// Per-token tables precomputed once after checking (literal values, operator
// kinds, ...); must run before any evaluation. `mode` says whether the
// one-step flags are set (see RunTableMode).
void buildRunTables(Vm& vm, RunTableMode mode = RunTableMode::OneStep);

// Token fetch: advances the program counter by one, never past the token
// after the last one (which reads as the empty token).
inline void fetch(Vm& vm) {
    if (vm.exec.pc <= vm.tokens.count) ++vm.exec.pc;
}

// The run entry of token i; the empty token outside the table.
inline const RunToken& runAt(const Vm& vm, int32_t i) {
    static const RunToken kEmpty{};
    const ExprState& ex = vm.expr;
    return static_cast<uint32_t>(i) < ex.runSize ? ex.runData[static_cast<uint32_t>(i)] : kEmpty;
}

// The value of token i's text read as a number (text to number rounded to
// single precision), precomputed for every token whose text begins with a
// digit; 0 for any other token.
inline float literalValue(const Vm& vm, int32_t i) { return runAt(vm, i).num; }

// The value of a whole-factor token (RF_LITERAL or RF_NUMVAR).
inline float wholeFactorValue(const Vm& vm, const RunToken& t) {
    return (t.flags & RF_LITERAL) ? t.num : vm.memory.vars[static_cast<size_t>(t.ref)].num;
}

float numericExpression(Vm& vm);
float numericFactor(Vm& vm);
std::string stringExpression(Vm& vm);
// The rest of a string expression whose first factor's value `out` already
// holds: every "+ factor" that follows is appended to it.
void continueStringExpression(Vm& vm, std::string& out);
std::string stringFactor(Vm& vm);
// A condition's truth value: -1 true, 0 false.
int32_t condition(Vm& vm);

// Fetch-and-evaluate.
float fetchNumeric(Vm& vm);
std::string fetchString(Vm& vm);


// Element reads by array number and element index. Every array has its own
// storage (sized by the checker, allocated for the run); an array number or
// index outside it reads 0 / "".
inline float readNumberElement(const Vm& vm, int32_t array, int32_t index) {
    const auto& arrays = vm.memory.arrays;
    if (array <= 0 || static_cast<size_t>(array) >= arrays.size()) return 0.0f;
    const auto& v = arrays[static_cast<size_t>(array)].nums;
    return index >= 0 && static_cast<size_t>(index) < v.size() ? v[static_cast<size_t>(index)] : 0.0f;
}
inline int32_t readPointerElement(const Vm& vm, int32_t array, int32_t index) {
    const auto& arrays = vm.memory.arrays;
    if (array <= 0 || static_cast<size_t>(array) >= arrays.size()) return 0;
    const auto& v = arrays[static_cast<size_t>(array)].ptrs;
    return index >= 0 && static_cast<size_t>(index) < v.size() ? v[static_cast<size_t>(index)] : 0;
}
// The element itself (no copy); the empty string outside the storage.
const std::string& stringElement(const Vm& vm, int32_t array, int32_t index);

}  // namespace tessel
