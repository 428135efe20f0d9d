#include "debug/expression.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <utility>

#include "base/convert.h"
#include "base/cp1252.h"
#include "checker/checker.h"
#include "checker/keywords.h"
#include "compile/emitter.h"
#include "compile/reader.h"
#include "exec/executor.h"
#include "lexer/tokenizer.h"

namespace tessel::debug {

namespace {

// Keeps the first box the tokenizer would show, as text.
class CaptureReporter final : public Reporter {
   public:
    void diagnostic(std::string_view caption, std::string_view text, const DiagnosticPlace&) override {
        if (message.empty()) message = std::string(caption) + ": " + std::string(text);
    }
    void countReport(std::string_view) override {}
    std::string message;
};

// Whether the expression at token i is a string expression, by its first
// token as the statements read it.
bool startsString(const TokenStore& t, const CheckerState& s, int32_t i) {
    const int32_t cls = t.classAt(i);
    if (cls == CLS_QSTR) return true;
    if (isStringFunction(cls)) return true;
    if (cls != CLS_NAME) return false;
    const int32_t v = s.varAt(i), a = s.arrayAt(i);
    if (a > 0) return s.arrays[static_cast<size_t>(a)].type == TYPE_STR;
    return v > 0 && s.vars[static_cast<size_t>(v)].type == TYPE_STR;
}

// Exchanges what a run reads of two codes: the instructions and their
// operands. (Vectors only, whose exchange costs nothing: a condition runs at
// every pass of its breakpoint. The texts of folded constants stay where
// they are, and so do the views of them.)
void swapRunnable(Code& a, Code& b) {
    a.ins.swap(b.ins);
    a.tokenOf.swap(b.tokenOf);
    a.aux.swap(b.aux);
    a.strings.swap(b.strings);
}

}  // namespace

std::string valueText(const Value& v) {
    switch (v.type) {
        case TYPE_NUM: return numberToText(v.num);
        case TYPE_PTR: return std::to_string(v.ptr);
        case TYPE_STR: {
            std::string out = "\"";
            for (char c : windows1252ToUtf8(v.str)) {
                if (c == '"' || c == '\\') out.push_back('\\');
                out.push_back(c);
            }
            return out + "\"";
        }
        default: return "";
    }
}

Expression::Expression(const Vm& vm, std::string_view text, bool condition)
    : tokens_(std::make_unique<TokenStore>()), condition_(condition) {
    CaptureReporter rep;
    LexState lex;
    const int32_t count = tokenize(std::string(text), *tokens_, lex, rep);
    if (count <= 0 || lex.errorCode != 0) {
        error_ = rep.message.empty() ? "nothing to evaluate" : rep.message;
        return;
    }
    tokens_->count = count;
    if (bindNames(vm)) read();
}

// Recognises the keywords and binds every other name to the program's
// variable or array of that name, by its place as the checker does.
bool Expression::bindNames(const Vm& vm) {
    std::unordered_map<std::string, int32_t> vars, arrays;
    for (size_t v = 1; v < vm.symbols.vars.size(); ++v)
        vars.emplace(declaredName(vm.tokens, vm.symbols.vars[v].nameToken), static_cast<int32_t>(v));
    for (size_t a = 1; a < vm.symbols.arrays.size(); ++a)
        arrays.emplace(declaredName(vm.tokens, vm.symbols.arrays[a].nameToken), static_cast<int32_t>(a));
    symbols_.vars = vm.symbols.vars;
    symbols_.arrays = vm.symbols.arrays;
    TokenStore& t = *tokens_;
    sizeTokenTables(symbols_, t.count);
    for (int32_t i = 1; i <= t.count; ++i) {
        if (t.classAt(i) != CLS_NAME) continue;
        const int32_t code = keywordCodeAnyCase(t.textAt(i));
        if (code != 0) {
            t.setClass(i, code);
            continue;
        }
        const std::string name = lowerAscii(t.textAt(i));
        const bool isArray = nameUseAt(t, i) == NameUse::Array;
        const auto& table = isArray ? arrays : vars;
        auto found = table.find(name);
        if (found == table.end()) {
            error_ = "no " + std::string(isArray ? "array" : "variable") + " is named " + std::string(t.textAt(i));
            return false;
        }
        symbols_.bind(i, isArray ? BIND_ARRAY : BIND_VAR, found->second);
    }
    return true;
}

// Reads the whole text with the program's reader; what is left over is an
// error (a number expression followed by a comparison is read again as a
// condition).
bool Expression::read() {
    const TokenStore& t = *tokens_;
    auto readAs = [&](bool asCondition) {
        Emitter out(code_, t.count, symbols_);
        Reader r(t, symbols_, out);
        r.pos = 1;
        r.beginStatement();
        if (asCondition) {
            resultType_ = TYPE_NUM;
            resultReg_ = r.truthRegister(r.condition());
        } else if (startsString(t, symbols_, 1)) {
            Builder b;
            r.stringExpression(b);
            resultType_ = TYPE_STR;
            resultReg_ = r.builtOperand(b);
        } else {
            resultType_ = TYPE_NUM;
            resultReg_ = r.inRegister(r.numericExpression());
        }
        while (r.pos <= t.count && t.classAt(r.pos) == CLS_EOL) ++r.pos;
        const int32_t stop = r.pos;
        out.emit(stop, OP_END, stop);
        out.finish();
        if (r.dead) return std::string("cannot be read: too deeply nested, or a number where text belongs");
        if (stop <= t.count) return "unexpected " + std::string(t.textAt(stop));
        return std::string();
    };
    error_ = readAs(condition_);
    if (!error_.empty() && !condition_) {
        // "x > 3" in a watch: a condition.
        std::string asCondition = readAs(true);
        if (asCondition.empty()) {
            condition_ = true;
            error_.clear();
        }
    }
    return error_.empty();
}

bool Expression::evaluate(Vm& vm, Value& out, std::string& why) {
    if (!valid()) {
        why = error_;
        return false;
    }
    // The expression's code takes the program's place for the evaluation;
    // its temporaries are the program's, free at a statement start, or a
    // copy of the memory when it needs more. RND's and RAND's generators
    // are put back afterwards.
    Memory& memory = vm.memory;
    const bool roomy = static_cast<size_t>(code_.numRegisters) <= memory.num.size() &&
                       static_cast<size_t>(code_.strRegisters) <= memory.str.size() &&
                       static_cast<size_t>(code_.intRegisters) <= memory.ptr.size();
    std::optional<Memory> copy;
    if (!roomy) {
        copy = memory;
        copy->num.resize(std::max(copy->num.size(), static_cast<size_t>(code_.numRegisters)));
        copy->str.resize(std::max(copy->str.size(), static_cast<size_t>(code_.strRegisters)));
        copy->ptr.resize(std::max(copy->ptr.size(), static_cast<size_t>(code_.intRegisters)));
        std::swap(*copy, memory);
    }
    const ExprState generators = vm.expr;
    const int32_t appendTarget = vm.exec.appendTarget;
    const size_t appendBase = vm.exec.appendBase;
    swapRunnable(vm.code, code_);
    const bool ran = runDetached(vm, 0);
    swapRunnable(vm.code, code_);
    out.type = resultType_;
    if (ran && resultType_ == TYPE_NUM) out.num = vm.memory.num[static_cast<size_t>(resultReg_)];
    if (ran && resultType_ == TYPE_STR)
        out.str = resultReg_ >= 0 ? vm.memory.str[static_cast<size_t>(resultReg_)].str()
                                  : std::string(code_.strings[static_cast<size_t>(~resultReg_)]);
    vm.expr = generators;
    vm.exec.appendTarget = appendTarget;
    vm.exec.appendBase = appendBase;
    if (copy) std::swap(*copy, memory);
    if (!ran) why = "cannot be evaluated: an expression nested too deeply, or text too long";
    return ran;
}

}  // namespace tessel::debug
