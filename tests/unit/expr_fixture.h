// An interpreter for expression tests: declarations and one expression go
// through the real tokenizer, checker, compiler and executor. The
// expression is the right side of an assignment (numbers and strings) or
// the second part of a WHILE condition (whose first part is always true and
// the only one the checker looks at), so it is read exactly as statements
// read expressions; the value is what the statement stored. Values given to variables and
// elements survive every later load.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "checker/checker.h"
#include "compile/reader.h"
#include "exec/executor.h"
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
        return vm_.symbols.varCount() - kOwnVariables;
    }
    float& numVar(int32_t n) { return vm_.memory.num[static_cast<size_t>(n)]; }
    int32_t& ptrVar(int32_t n) { return vm_.memory.ptr[static_cast<size_t>(n)]; }
    std::string& strVar(int32_t n) { return vm_.memory.str[static_cast<size_t>(n)]; }

    // Declares an array of `size` (it gets at least 4096 elements); returns
    // its number.
    int32_t declareArray(const std::string& name, int32_t type, int32_t size = 10) {
        declarations_ += keyword(type) + " " + name + "[" + std::to_string(size) + "]\n";
        load("");
        return vm_.symbols.arrayCount();
    }
    ArrayElements& array(int32_t n) { return vm_.memory.arrays[static_cast<size_t>(n)]; }

    // A function the expression may call by name.
    void declareFunction(const std::string& name) {
        declarations_ += "FUNC " + name + " ( )\nENDFN\n";
        load("");
    }

    // Checks the declarations and the line `line` and compiles the program;
    // the variables keep their values.
    void loadProgram(const std::string& line) {
        Memory saved = vm_.memory;
        const size_t vars = vm_.symbols.vars.size();
        std::string source = "GOTO zzgo\n" + declarations_ + "LABEL zzgo\nVAR zzr, zzc\nSTR zzt\n" + line;
        testing_support::RecordingReporter rep;
        LexState lex;
        vm_.symbols = CheckerState{};
        if (lexingPhase(std::string(source), vm_.tokens, lex, rep) != 1 || runChecker(vm_.tokens, vm_.symbols, rep) != 1) {
            std::string text;
            for (const auto& b : rep.boxes) text += b.caption + ": " + b.text + "\n";
            FAIL() << "the front end rejects the script:\n" << text << source;
        }
        prepareExecution(vm_);
        // Declarations only ever grow at the end: the numbers stay (the
        // fixture's own variables come after them and start empty).
        // Each register file holds only its own kind's variables.
        for (size_t i = 1; i + kOwnVariables < vars && i < vm_.symbols.vars.size(); ++i) {
            const int32_t type = vm_.symbols.vars[i].type;
            if (type == TYPE_NUM) vm_.memory.num[i] = saved.num[i];
            if (type == TYPE_PTR) vm_.memory.ptr[i] = saved.ptr[i];
            if (type == TYPE_STR) vm_.memory.str[i] = saved.str[i];
        }
        for (size_t i = 1; i < saved.arrays.size() && i < vm_.memory.arrays.size(); ++i)
            vm_.memory.arrays[i] = saved.arrays[i];
    }

    // Loads `src` as an expression's tokens (for the reading tests); the
    // expression's first token is start().
    void load(const std::string& src) {
        loadProgram(src);
        start_ = vm_.tokens.count + 1;
        while (start_ > 1 && vm_.tokens.classAt(start_ - 1) != CLS_EOL) --start_;
    }

    // The value of a numeric expression, a string expression and a
    // condition (-1 true, 0 false), each run as the compiled program runs it.
    float num(const std::string& src) {
        run("zzr = " + src);
        return numVar(own(0));
    }
    std::string str(const std::string& src) {
        run("zzt = " + src);
        return strVar(own(2));
    }
    int32_t cond(const std::string& src) {
        run("zzc = 0\nWHILE zzc = zzc & " + src + "\nzzc = -1\nGOTO zzend\nWEND\nLABEL zzend");
        return static_cast<int32_t>(numVar(own(1)));
    }
    std::string numText(const std::string& src) { return numberToText(num(src)); }
    // The last numeric expression again, with the variables as they are now.
    float rerun() {
        runMainProgram(vm_);
        return numVar(own(0));
    }

    // Where the reading of a numeric or string expression that starts at
    // start() ends.
    int32_t numericEnd() {
        Code scratch;
        Emitter out(scratch, vm_.tokens.count, vm_.symbols);
        Reader reader(vm_.tokens, vm_.symbols, out);
        reader.pos = start_;
        reader.numericExpression();
        return reader.pos;
    }
    int32_t stringEnd() {
        Code scratch;
        Emitter out(scratch, vm_.tokens.count, vm_.symbols);
        Reader reader(vm_.tokens, vm_.symbols, out);
        reader.pos = start_;
        Builder b;
        reader.stringExpression(b);
        return reader.pos;
    }

    // The expression's first token and the one `k` tokens on.
    int32_t start() const { return start_; }
    int32_t token(int32_t k) const { return start_ + k; }
    std::string_view textAt(int32_t i) const { return vm_.tokens.textAt(i); }

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
    // zzr, zzc and zzt, declared after the test's own variables.
    static constexpr size_t kOwnVariables = 3;
    int32_t own(int k) const { return vm_.symbols.varCount() - 2 + k; }

    void run(const std::string& line) {
        loadProgram(line);
        runMainProgram(vm_);
    }

    static std::string keyword(int32_t type) {
        return type == TYPE_STR ? "STR" : type == TYPE_PTR ? "PTR" : "VAR";
    }

    std::string declarations_;
    int32_t start_ = 1;
};

}  // namespace tessel::testing
