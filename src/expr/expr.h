// The expression evaluator: token fetch, numeric and string expressions,
// conditions, and the number/text conversions. Every procedure starts at the
// current token (the token at the program counter) and leaves as current
// token the first token it did not use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessel {

class Interpreter;

// Per-token tables precomputed once after checking (literal values, operator
// kinds, ...); must run before any evaluation.
void buildRunTables(Interpreter& in);

// Token fetch: advances the program counter by one (never past the end).
void fetch(Interpreter& in);

float numericExpression(Interpreter& in);
float numericFactor(Interpreter& in);
std::string stringExpression(Interpreter& in);
std::string stringFactor(Interpreter& in);
// A condition's truth value: -1 true, 0 false.
int32_t condition(Interpreter& in);

// Fetch-and-evaluate.
float fetchNumeric(Interpreter& in);
std::string fetchString(Interpreter& in);

// The one number formatting (PRINT, STRS, diagnostics).
std::string numberToText(float value);
// The one number reading (literals, VAL); a prefix is read, the rest ignored.
double textToNumber(std::string_view text);
// Round to nearest, ties to even; NaN, infinities and out-of-range give INT32_MIN.
int32_t toInt32(double value);

}  // namespace tessel
