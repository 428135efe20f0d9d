// The operations of the value model: arithmetic with the language's
// rounding, the built-in functions, RND's and RAND's generators, the
// substring rules and the comparisons. The compiler folds constants with
// these and the executor runs them, so a folded constant and a computed one
// have the same bits.
#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>

#include "base/convert.h"

namespace tessel {

// Binary operators of numeric expressions (the "+" and "-" of the additive
// level, the other four of the multiplicative level).
enum ArithOp : uint8_t { AOP_ADD = 0, AOP_SUB, AOP_MUL, AOP_DIV, AOP_QUO, AOP_POW };

// Comparison operators of conditions.
enum CompareOp : uint8_t { CMP_EQ = 0, CMP_NE, CMP_LT, CMP_GT };

// a op b is b mirror(op) a.
inline CompareOp mirror(CompareOp op) { return op == CMP_LT ? CMP_GT : op == CMP_GT ? CMP_LT : op; }

// "%" for every operand pair the quick way of truncatedQuotient leaves.
float longTruncatedQuotient(float a, float b);

// "%": the quotient truncated toward zero (not the remainder).
inline float truncatedQuotient(float a, float b) {
    if (std::fabs(a) < 0x1p24f && std::fabs(b) < 0x1p24f) {
        // Whole operands below 2^24 (the usual case, i % 2). An exact
        // quotient that is not whole lies at least 1/|b| from every integer;
        // the single-precision quotient is off by at most 2^-24 |a/b|, which
        // is less than 1/|b| because |a| < 2^24. So truncating the rounded
        // quotient truncates the exact one (and the quicker division does).
        int32_t ia = static_cast<int32_t>(a);
        int32_t ib = static_cast<int32_t>(b);
        if (static_cast<float>(ia) == a && static_cast<float>(ib) == b && ib != 0) {
            int32_t t = static_cast<int32_t>(a / b);  // |a / b| <= |a|: in range
            if (t != 0) return static_cast<float>(t);  // (a zero keeps its sign below)
        }
    }
    return longTruncatedQuotient(a, b);
}

// "^": |a| to the power b through the base-2 logarithm, negated for an odd
// integer part of b and a negative a. A zero base gives the usual powers.
float power(float a, float b);

// a op b, rounded to single precision as the expression keeps it.
inline float arith(ArithOp op, float a, float b) {
    switch (op) {
        case AOP_ADD: return a + b;
        case AOP_SUB: return a - b;
        case AOP_MUL: return a * b;
        case AOP_DIV: return static_cast<float>(static_cast<double>(a) / static_cast<double>(b));
        case AOP_QUO: return truncatedQuotient(a, b);
        default: return power(a, b);
    }
}

// A comparison as a truth value (-1 true, 0 false). Numbers are ordered, so
// with not-a-number only "!" holds; strings compare byte by byte (a proper
// prefix is smaller).
template <class T>
inline int32_t relation(const T& l, const T& r, CompareOp op) {
    switch (op) {
        case CMP_EQ: return l == r ? -1 : 0;
        case CMP_NE: return l != r ? -1 : 0;
        case CMP_LT: return l < r ? -1 : 0;
        default: return l > r ? -1 : 0;
    }
}
inline int32_t numericRelation(float l, float r, CompareOp op) { return relation(l, r, op); }
inline int32_t stringRelation(std::string_view l, std::string_view r, CompareOp op) {
    return relation(l, r, op);
}

// The numeric functions whose value depends on their argument alone (every
// one but RND and RAND), by statement code; 0 for any other code.
float pureFunction(int32_t code, float x);

// RND's and RAND's generators, one step each.
float rndStep(uint32_t& state);
int32_t randStep(uint32_t& state, int32_t n);

// LSTR, RSTR and MSTR.
std::string_view leftPart(std::string_view s, int32_t n);
std::string_view rightPart(std::string_view s, int32_t n);
std::string_view middlePart(std::string_view s, int32_t start, int32_t count);

// Strings may hold any bytes but not any amount of them: a concatenation
// that would pass this length stops the run with a diagnostic.
inline constexpr size_t kMaxStringBytes = size_t{1} << 26;

}  // namespace tessel
