// An interpreter for evaluator tests: declarations and one expression go
// through the real tokenizer and checker, the run is prepared, and the
// program counter is left on the expression's first token. Values given to
// variables and elements survive every later load.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "checker/checker.h"
#include "exec/executor.h"
#include "expr/expr.h"
#include "front_test_support.h"
#include "host/interpreter.h"
#include "lexer/tokenizer.h"

namespace tessel::testing {

class ExprFixture : public ::testing::Test {
   protected:
    ExprFixture() : platform_(makeHeadlessWindow(), PlatformConfig{}), in_(platform_, Options{}), vm_(in_.vm) {
        in_.host.boxLog = std::tmpfile();
        load("");
    }

    // Declares a variable (number, string or pointer); returns its number.
    int32_t declareVar(const std::string& name, int32_t type) {
        declarations_ += keyword(type) + " " + name + "\n";
        load("");
        return vm_.symbols.varCount();
    }
    VariableValue& var(int32_t n) { return vm_.memory.vars[n]; }

    // Declares an array of `size` (it gets at least 4096 elements); returns
    // its number.
    int32_t declareArray(const std::string& name, int32_t type, int32_t size = 10) {
        declarations_ += keyword(type) + " " + name + "[" + std::to_string(size) + "]\n";
        load("");
        return vm_.symbols.arrayCount();
    }
    ArrayElements& array(int32_t n) { return vm_.memory.arrays[n]; }

    // A function the expression may call by name.
    void declareFunction(const std::string& name) {
        declarations_ += "FUNC " + name + " ( )\nENDFN\n";
        load("");
    }

    // Checks the declarations and `src` (the last line, with no line end
    // after it, so the expression ends the token store) and prepares the
    // run; the program counter is left on the expression's first token.
    void load(const std::string& src) {
        std::vector<VariableValue> vars = vm_.memory.vars;
        std::vector<ArrayElements> arrays = vm_.memory.arrays;
        std::string source = "\n" + declarations_ + src;
        testing_support::RecordingReporter rep;
        LexState lex;
        vm_.symbols = CheckerState{};
        if (lexingPhase(std::string(source), vm_.tokens, lex, rep) != 1 || runChecker(vm_.tokens, vm_.symbols, rep) != 1) {
            std::string text;
            for (const auto& b : rep.boxes) text += b.caption + ": " + b.text + "\n";
            FAIL() << "the front end rejects the script:\n" << text << source;
        }
        prepareExecution(vm_);
        // Declarations only ever grow at the end: the numbers stay.
        for (size_t i = 1; i < vars.size() && i < vm_.memory.vars.size(); ++i) vm_.memory.vars[i] = vars[i];
        for (size_t i = 1; i < arrays.size() && i < vm_.memory.arrays.size(); ++i)
            vm_.memory.arrays[i] = arrays[i];
        start_ = vm_.tokens.count + 1;
        while (start_ > 1 && vm_.tokens.classAt(start_ - 1) != CLS_EOL) --start_;
        vm_.exec.pc = start_;
    }

    float num(const std::string& src) {
        load(src);
        return numericExpression(vm_);
    }
    std::string str(const std::string& src) {
        load(src);
        return stringExpression(vm_);
    }
    int32_t cond(const std::string& src) {
        load(src);
        return condition(vm_);
    }
    std::string numText(const std::string& src) { return numberToText(num(src)); }

    // The expression's first token and the one `k` tokens on.
    int32_t start() const { return start_; }
    int32_t token(int32_t k) const { return start_ + k; }

    // Everything written to the box log so far.
    std::string boxes() {
        std::FILE* f = in_.host.boxLog;
        std::fflush(f);
        std::rewind(f);
        std::string s;
        for (int c; (c = std::fgetc(f)) != EOF;) s.push_back(static_cast<char>(c));
        return s;
    }

    WindowCore platform_;
    Interpreter in_;
    Vm& vm_;

   private:
    static std::string keyword(int32_t type) {
        return type == TYPE_STR ? "STR" : type == TYPE_PTR ? "PTR" : "VAR";
    }

    std::string declarations_;
    int32_t start_ = 1;
};

}  // namespace tessel::testing
