// Expressions and conditions a debugger asks about a paused run (a watch, a
// hover, a breakpoint's condition), in the language's own syntax: read by
// the compile layer's one reader against the program's names, and run on
// the paused machine's memory without changing anything the script sees.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "checker/symbols.h"
#include "lexer/token_store.h"
#include "vm/code.h"
#include "exec/vm.h"

namespace tessel::debug {

// A value as a debugger shows it.
struct Value {
    int32_t type = TYPE_NONE;  // TYPE_NUM, TYPE_STR or TYPE_PTR
    float num = 0.0f;
    int32_t ptr = 0;
    std::string str;  // Windows-1252 bytes
};

// The text of a value: a number as the language writes it, a pointer as a
// whole number, a string quoted (as UTF-8).
std::string valueText(const Value& v);

// An expression read once, to be run at any later stop of the same program.
class Expression {
   public:
    // Reads `text` as a condition (`condition`) or as a number or string
    // expression against the program of `vm`. On failure, `error()` says
    // why and `valid()` is false.
    Expression(const Vm& vm, std::string_view text, bool condition);
    bool valid() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    // Its value now; false (with `why`) when it cannot be computed.
    bool evaluate(Vm& vm, Value& out, std::string& why);
    // A valid condition's code, up to its END, and the register of its
    // truth: for the executor to test at a breakpoint itself.
    const Code& code() const { return code_; }
    int32_t truthRegister() const { return condition_ && valid() ? resultReg_ : -1; }

   private:
    bool bindNames(const Vm& vm);
    bool read();

    std::unique_ptr<TokenStore> tokens_;  // the expression's own tokens (constants point into them)
    CheckerState symbols_;                // the program's names, bound to those tokens
    Code code_;
    int32_t resultType_ = TYPE_NONE;
    int32_t resultReg_ = 0;
    bool condition_ = false;
    std::string error_;
};

}  // namespace tessel::debug
