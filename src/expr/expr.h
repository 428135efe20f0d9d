// The expression evaluator: token fetch, numeric and string expressions,
// conditions, element access and the number/text conversions. Every procedure
// starts at the current token (the token at the program counter) and leaves
// as current token the first token it did not use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "expr/convert.h"

#include "host/interpreter.h"

namespace tessel {

// Per-token tables precomputed once after checking (literal values, operator
// kinds, ...); must run before any evaluation.
void buildRunTables(Interpreter& in);

// Token fetch: advances the program counter by one, never past the token
// after the last one (which reads as the empty token).
inline void fetch(Interpreter& in) {
    if (in.exec.pc <= in.tokens.count) ++in.exec.pc;
}

// The run entry of token i; the empty token outside the table.
inline const RunToken& runAt(const Interpreter& in, int32_t i) {
    static const RunToken kEmpty{};
    const ExprState& ex = in.expr;
    return static_cast<uint32_t>(i) < ex.runSize ? ex.runData[static_cast<uint32_t>(i)] : kEmpty;
}

// The value of token i's text read as a number (text to number rounded to
// single precision), precomputed for every token whose text begins with a
// digit; 0 for any other token.
inline float literalValue(const Interpreter& in, int32_t i) { return runAt(in, i).num; }

float numericExpression(Interpreter& in);
float numericFactor(Interpreter& in);
std::string stringExpression(Interpreter& in);
std::string stringFactor(Interpreter& in);
// A condition's truth value: -1 true, 0 false.
int32_t condition(Interpreter& in);

// Fetch-and-evaluate.
float fetchNumeric(Interpreter& in);
std::string fetchString(Interpreter& in);


// Element access by array number and element index. Every array has its own
// storage (sized by the checker); an array number or index outside it reads
// 0 / "" and a store to it is ignored.
inline float readNumberElement(const Interpreter& in, int32_t array, int32_t index) {
    if (array <= 0 || array > in.checker.arrayCount()) return 0.0f;
    const auto& v = in.checker.arrays[array].nums;
    return index >= 0 && static_cast<size_t>(index) < v.size() ? v[index] : 0.0f;
}
inline int32_t readPointerElement(const Interpreter& in, int32_t array, int32_t index) {
    if (array <= 0 || array > in.checker.arrayCount()) return 0;
    const auto& v = in.checker.arrays[array].ptrs;
    return index >= 0 && static_cast<size_t>(index) < v.size() ? v[index] : 0;
}
// The element itself (no copy); the empty string outside the storage.
const std::string& stringElement(const Interpreter& in, int32_t array, int32_t index);
inline void storeNumberElement(Interpreter& in, int32_t array, int32_t index, float value) {
    if (array <= 0 || array > in.checker.arrayCount()) return;
    auto& v = in.checker.arrays[array].nums;
    if (index >= 0 && static_cast<size_t>(index) < v.size()) v[index] = value;
}
inline void storePointerElement(Interpreter& in, int32_t array, int32_t index, int32_t value) {
    if (array <= 0 || array > in.checker.arrayCount()) return;
    auto& v = in.checker.arrays[array].ptrs;
    if (index >= 0 && static_cast<size_t>(index) < v.size()) v[index] = value;
}
void storeStringElement(Interpreter& in, int32_t array, int32_t index, std::string value);

// RND's and RAND's generators, one step each.
float rndStep(ExprState& ex);
int32_t randStep(ExprState& ex, int32_t n);

}  // namespace tessel
