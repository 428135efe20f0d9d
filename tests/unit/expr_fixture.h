// A hand-built interpreter for evaluator tests: a small splitter stands in for
// the tokenizer and names are bound the way the checker binds them.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "checker/keywords.h"
#include "expr/expr.h"
#include "host/interpreter.h"

namespace tessel::testing {

class ExprFixture : public ::testing::Test {
   protected:
    ExprFixture() : platform_(makeHeadlessWindow(), PlatformConfig{}), in_(platform_, Options{}), vm_(in_.vm) {
        in_.host.boxLog = std::tmpfile();
        vm_.memory.vars.resize(1);
        vm_.memory.arrays.resize(1);
    }

    int32_t declareVar(const std::string& name, int32_t type) {
        Variable v;
        v.name = name;
        v.type = type;
        vm_.symbols.vars.push_back(v);
        vm_.memory.vars.resize(vm_.symbols.vars.size());
        return vm_.symbols.varCount();
    }
    VariableValue& var(int32_t n) { return vm_.memory.vars[n]; }

    int32_t declareArray(const std::string& name, int32_t type, size_t storage = 4096) {
        ArrayInfo a;
        a.name = name;
        a.type = type;
        a.elements = static_cast<int64_t>(storage);
        vm_.symbols.arrays.push_back(a);
        ArrayElements e;
        if (type == TYPE_NUM) e.nums.assign(storage, 0.0f);
        if (type == TYPE_STR) e.strs.assign(storage, std::string());
        if (type == TYPE_PTR) e.ptrs.assign(storage, 0);
        vm_.memory.arrays.resize(vm_.symbols.arrays.size());
        vm_.memory.arrays.back() = std::move(e);
        return vm_.symbols.arrayCount();
    }
    ArrayElements& array(int32_t n) { return vm_.memory.arrays[n]; }

    // Splits `src` into tokens, binds names and builds the run tables; the
    // program counter is left on the first token.
    void load(const std::string& src) {
        vm_.tokens.clear();
        for (size_t i = 0; i < src.size();) i = scanToken(src, i);
        vm_.tokens.count = vm_.tokens.appended();
        bindNames();
        buildRunTables(vm_);
        vm_.exec.pc = 1;
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
    size_t scanToken(const std::string& s, size_t i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == ' ') return i + 1;
        if (c == '\n') return vm_.tokens.append("EOL", CLS_EOL), i + 1;
        if (c == '"') {
            size_t end = s.find('"', i + 1);
            vm_.tokens.append(s.substr(i + 1, end - i - 1), CLS_QSTR);
            return end + 1;
        }
        if (std::isdigit(c)) return scanRun(s, i, CLS_NUM, [](unsigned char d) { return std::isdigit(d) || d == '.'; });
        if (std::isalpha(c) || c == '_') {
            size_t end = scanRun(s, i, CLS_NAME, [](unsigned char d) { return std::isalnum(d) || d == '_'; });
            std::string upper;
            for (char ch : vm_.tokens.text.back()) upper.push_back(static_cast<char>(std::toupper(ch)));
            if (int32_t code = keywordCode(upper)) vm_.tokens.cls.back() = code;
            return end;
        }
        static const std::string ops = "+-*/:,()[]=><&|!#$%;.{}?@\\^`~";
        static const int32_t classes[] = {CLS_PLUS, CLS_MINUS, CLS_STAR, CLS_SLASH, CLS_COLON, CLS_COMMA,
                                          CLS_LPAR, CLS_RPAR, CLS_LBRK, CLS_RBRK, CLS_EQ, CLS_GT, CLS_LT,
                                          CLS_AMP, CLS_BAR, CLS_BANG, CLS_HASH, CLS_DOLLAR, CLS_PCT,
                                          CLS_SEMI, CLS_DOT, CLS_LBRACE, CLS_RBRACE, CLS_QMARK, CLS_AT,
                                          CLS_BSLASH, CLS_CARET, CLS_BACKTICK, CLS_TILDE};
        vm_.tokens.append(std::string(1, s[i]), classes[ops.find(s[i])]);
        return i + 1;
    }

    template <class Pred>
    size_t scanRun(const std::string& s, size_t i, int32_t cls, Pred pred) {
        size_t end = i;
        while (end < s.size() && pred(static_cast<unsigned char>(s[end]))) ++end;
        vm_.tokens.append(s.substr(i, end - i), cls);
        return end;
    }

    void bindNames() {
        CheckerState& ck = vm_.symbols;
        size_t n = static_cast<size_t>(vm_.tokens.count) + 4;
        ck.tokVar.assign(n, 0);
        ck.tokArr.assign(n, 0);
        for (int32_t i = 1; i <= vm_.tokens.count; ++i) {
            if (vm_.tokens.classAt(i) != CLS_NAME) continue;
            std::string lower;
            for (char ch : vm_.tokens.textAt(i)) lower.push_back(static_cast<char>(std::tolower(ch)));
            if (vm_.tokens.classAt(i + 1) == CLS_LBRK) {
                for (int32_t a = 1; a <= ck.arrayCount(); ++a)
                    if (ck.arrays[a].name == lower) { ck.tokArr[i] = a; break; }
            } else {
                for (int32_t v = 1; v <= ck.varCount(); ++v)
                    if (ck.vars[v].name == lower) { ck.tokVar[i] = v; break; }
            }
        }
    }
};

}  // namespace tessel::testing
