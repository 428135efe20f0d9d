// Inside the token walker: one Walk is the cursor over the token store that
// the statement handlers and the evaluator's procedures share.
#pragma once

#include <string>
#include <string_view>

#include "checker/symbols.h"
#include "oracle/walker.h"

namespace tessel::oracle {

enum Op : uint8_t { OP_NONE = 0, OP_PLUS, OP_MINUS, OP_STAR, OP_SLASH, OP_PCT, OP_CARET };

// What the numeric factor does with a token.
enum NumAlt : uint8_t {
    NA_NONE = 0,
    NA_MINUS,   // unary "-": negates the factor that follows
    NA_PLUS,    // unary "+": passes over the sign
    NA_DIGIT,   // text begins with a digit
    NA_LPAR,    // "(" groups a numeric expression
    NA_LBRK,    // "[" groups like "("
    NA_NUMVAR,  // name of a number variable
    NA_PTRVAR,  // name of a pointer variable
    NA_NAME,    // any other name not followed by "[": reads 0, used
    NA_NUMARR,  // element of a number array
    NA_PTRARR,  // element of a pointer array
    NA_FUNC,    // numeric function keyword
};

// What the string factor does with a token.
enum StrAlt : uint8_t {
    SA_NONE = 0,
    SA_LPAR,
    SA_STRVAR,
    SA_STRARR,
    SA_STRS,
    SA_CHRS,
    SA_LSTR,
    SA_RSTR,
    SA_MSTR,
    SA_NUM,  // number literal: type error
    SA_QSTR,
};

// What a name stands for as a comparison operand.
enum NameKind : uint8_t { NK_NONE = 0, NK_NUMVAR, NK_STRVAR, NK_NUMARR, NK_STRARR };

// Deepest nesting an expression may have before the run is aborted.
inline constexpr int32_t kMaxDepth = 1000;

// Builds the per-token table, Walker::run.
void classifyTokens(Vm& vm, Walker& w);

class Walk {
   public:
    Walk(Vm& vm, Walker& w) : vm(vm), w(w) {}

    // --- cursor ---
    void fetch() {
        if (w.pc <= vm.tokens.count) ++w.pc;
    }
    const Tok& at(int32_t i) const {
        static const Tok kEmpty{};
        return i >= 0 && static_cast<size_t>(i) < w.run.size() ? w.run[static_cast<size_t>(i)] : kEmpty;
    }
    const Tok& cur() const { return at(w.pc); }
    int32_t clsAt(int32_t i) const { return vm.tokens.classAt(i); }
    std::string text() const { return std::string(vm.tokens.textAt(w.pc)); }

    // --- memory ---
    int32_t varOf(int32_t token) const;  // 0: none
    int32_t arrOf(int32_t token) const;
    int32_t varType(int32_t v) const { return v > 0 ? vm.symbols.vars[static_cast<size_t>(v)].type : TYPE_NONE; }
    int32_t arrType(int32_t a) const { return a > 0 ? vm.symbols.arrays[static_cast<size_t>(a)].type : TYPE_NONE; }
    float& num(int32_t v);
    int32_t& ptr(int32_t v);
    Text& str(int32_t v);
    float numElem(int32_t a, int32_t i);
    int32_t ptrElem(int32_t a, int32_t i);
    const Text& strElem(int32_t a, int32_t i);
    void storeNum(int32_t a, int32_t i, float v);
    void storePtr(int32_t a, int32_t i, int32_t v);
    Text* strSlot(int32_t a, int32_t i);  // null outside the storage

    // --- evaluator (expressions.cpp) ---
    float numericExpression();
    float numericFactor();
    std::string stringExpression();
    std::string stringFactor();
    int32_t condition();
    float fetchNumeric() {
        fetch();
        return numericExpression();
    }
    std::string fetchString() {
        fetch();
        return stringExpression();
    }

    // --- diagnostics ---
    int32_t lineAt(int32_t token) const;
    [[noreturn]] void abort(std::string_view caption, std::string_view text, AtToken at);
    [[noreturn]] void runError(std::string_view text, int32_t token);

    Vm& vm;
    Walker& w;

   private:
    void enterNesting();
    void leaveNesting() { --w.depth; }
    float numericTerm();
    float functionFactor(int32_t code);
    float groupFactor();
    int32_t subscript();
    void appendStringExpression(std::string& out);
    void continueStringExpression(std::string& out);
    void appendStringFactor(std::string& out);
    bool substringFunction(int alt, std::string& out);
    int32_t smallArgument();
    void numberFunction(int alt, std::string& out);
    int32_t comparison();
    int32_t numericComparison(float left, int32_t op);
    int32_t stringComparison(const std::string& left, int32_t op);
};

}  // namespace tessel::oracle
