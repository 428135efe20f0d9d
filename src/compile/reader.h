// The one reader of expressions and conditions. It walks the token store
// exactly as the language reads it (every alternative of the factors in
// its order, the sign before a string operand, the closing token passed
// over unchecked, the nesting limit) and, where an evaluation would compute
// a value, emits the instructions that compute it. What is known before the
// run (constants of single-precision arithmetic, strings of constants)
// is folded with the executor's own operations.
//
// Every reading starts at the current token and leaves as current token the
// first token it did not use, as the statement handlers expect.
#pragma once

#include <cstdint>
#include <string_view>

#include "checker/symbols.h"
#include "compile/emitter.h"
#include "expr/ops.h"
#include "lexer/token_store.h"

namespace tessel {

// A number: a constant, or a number register.
struct Num {
    bool isConst = true;
    float k = 0.0f;   // the constant
    int32_t reg = 0;  // the register
    static Num constant(float v) { return Num{true, v, 0}; }
    static Num inReg(int32_t r) { return Num{false, 0.0f, r}; }
};

// A condition's truth: a constant, a register holding -1 or 0, or one
// comparison not yet made (so that IF and WHILE can make it and branch in
// one instruction).
struct Truth {
    enum Kind : uint8_t { CONST, REG, NUMCMP, STRCMP } kind = CONST;
    int32_t value = 0;        // CONST: -1 or 0
    int32_t reg = 0;          // REG
    CompareOp op = CMP_EQ;    // NUMCMP, STRCMP
    Num left, right;          // NUMCMP
    int32_t sleft = 0, sright = 0;  // STRCMP: string operands s(x)
};

// A string being built, as the evaluator's running string: empty, one
// operand not yet copied anywhere, or a string register.
struct Builder {
    enum State : uint8_t { EMPTY, SINGLE, REG } state = EMPTY;
    int32_t operand = 0;  // SINGLE: s(x)
    int32_t reg = 0;      // REG
};

class Reader {
   public:
    Reader(const TokenStore& tokens, const CheckerState& symbols, Emitter& out);

    // --- cursor -------------------------------------------------------------
    int32_t pos = 0;  // the current token
    void fetch() {
        if (pos <= count_) ++pos;
    }
    int32_t cls(int32_t i) const { return tokens_.classAt(i); }
    std::string_view text(int32_t i) const { return tokens_.textAt(i); }
    int32_t count() const { return count_; }

    // --- what a token names -------------------------------------------------
    int32_t varOf(int32_t token) const;   // variable bound to the token, 0: none
    int32_t arrOf(int32_t token) const;   // array bound to the token, 0: none
    int32_t varType(int32_t v) const { return v > 0 ? symbols_.vars[static_cast<size_t>(v)].type : TYPE_NONE; }
    int32_t arrType(int32_t a) const { return a > 0 ? symbols_.arrays[static_cast<size_t>(a)].type : TYPE_NONE; }
    // The value of a token whose text begins with a digit (0 for any other).
    float digitValue(int32_t token) const;

    // --- readings -----------------------------------------------------------
    // A statement begins: no abort, no nesting.
    void beginStatement();
    // After an abort has been emitted the statement is over: every reading
    // returns at once and `dead` stays set until the next statement.
    bool dead = false;
    Num numericExpression();
    Num numericFactor();
    void stringExpression(Builder& b);
    // The "+ factor" pairs of a string expression whose first factor `b`
    // holds already.
    void continueStringExpression(Builder& b);
    void stringFactor(Builder& b);
    Truth condition();

    // --- operands -----------------------------------------------------------
    // `n` in a register (a constant is loaded into a temporary).
    int32_t inRegister(Num n);
    // `n` in the register `reg` (when it is not there already).
    void moveTo(int32_t reg, Num n);
    // Gives back the temporary `n` lives in, if it does.
    void release(Num n);
    // The built string as an operand s(x) (the empty constant when empty).
    int32_t builtOperand(const Builder& b);
    // The truth in a register (-1 or 0).
    int32_t truthRegister(const Truth& t);

    Emitter& out;

   private:
    // What a token is to the factors, the operators and the comparisons.
    uint8_t numAlt(int32_t token) const;
    uint8_t strAlt(int32_t token) const;
    uint8_t nameKind(int32_t token) const;
    uint8_t opOf(int32_t token) const;
    bool beforeString(int32_t token) const;

    bool enterNesting();
    void leaveNesting() { --depth_; }
    void abortHere(uint16_t kind);

    Num numericTerm();
    Num groupFactor();
    Num subscript();
    Num functionFactor(int32_t code);
    Num binary(ArithOp op, Num l, Num r);
    Num negate(Num v);
    int32_t destination(Num l, Num r);

    void checkLength(Builder& b);
    void append(Builder& b, int32_t operand, bool check);
    void appendWith(Builder& b, uint8_t op, int32_t operandB, int32_t operandC, uint16_t flags);
    bool substringFunction(uint8_t alt, Builder& b);
    int32_t smallArgument();
    void numberFunction(uint8_t alt, Builder& b);
    int32_t stringOperand();  // a string factor alone, as s(x)

    Truth comparison();
    Truth numericComparison(Num left, CompareOp op);
    Truth stringComparison(int32_t left, CompareOp op);
    Truth numericTruth(Num l, Num r, CompareOp op);
    Truth stringTruth(int32_t l, int32_t r, CompareOp op);
    Truth join(const Truth& l, const Truth& r, bool both);

    const TokenStore& tokens_;
    const CheckerState& symbols_;
    const int32_t count_;
    int32_t depth_ = 0;       // nesting of groups, subscripts and function arguments
    int32_t emptyString_ = 0; // s(x) of the empty constant
};

}  // namespace tessel
