// Reads expressions twice, over run tables with every one-step flag set and
// with none, and tells where the two readings part: the value (bit for bit,
// any not-a-number equal to any other, text for strings), the token the
// reading ends on, and whether it aborts the run and with which box. Shared by
// the differential unit test and the fuzz target, so it uses no test library.
#pragma once

#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "checker/checker.h"
#include "exec/executor.h"
#include "exec/handlers.h"
#include "expr/expr.h"
#include "gfx/gfx_state.h"
#include "lexer/tokenizer.h"
#include "platform/platform.h"

namespace tessel::fastpath {

// The declarations every corpus script starts with. n and m are number
// arrays only; w and k are a string and a pointer variable as well as arrays.
inline constexpr const char* kPrologue =
    "VAR r, x, y, z, n[20], m[8]\n"
    "STR s, t, u, w[10]\n"
    "PTR p, q, k[10]\n"
    "FUNC f ( )\n"
    "ENDFN\n";

// How the tokens from a start position are read.
enum class Reading : uint8_t {
    Numeric,    // a numeric expression
    String,     // a string expression
    Condition,  // a condition
    Statement,  // the name statement at the start (the "x = expression" case)
};
inline constexpr Reading kReadings[] = {Reading::Numeric, Reading::String, Reading::Condition,
                                        Reading::Statement};

inline const char* readingName(Reading r) {
    switch (r) {
        case Reading::Numeric: return "numeric";
        case Reading::String: return "string";
        case Reading::Condition: return "condition";
        default: return "statement";
    }
}

// What one reading gave.
struct Outcome {
    float num = 0.0f;     // numeric value, or the statement's target after it
    int32_t truth = 0;    // condition
    std::string text;     // string value
    int32_t end = 0;      // program counter after the reading
    bool aborted = false;
    std::string box;      // "caption|text" of the last box shown
};

inline bool sameNumber(float a, float b) {
    if (a != a && b != b) return true;  // payloads aside
    uint32_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

inline bool sameOutcome(const Outcome& a, const Outcome& b) {
    return sameNumber(a.num, b.num) && a.truth == b.truth && a.text == b.text && a.end == b.end &&
           a.aborted == b.aborted && a.box == b.box;
}

inline std::string describe(const Outcome& o) {
    std::string s = "value " + numberToText(o.num) + " truth " + std::to_string(o.truth) + " text \"" +
                    o.text + "\" end " + std::to_string(o.end);
    if (o.aborted) s += " aborted with " + o.box;
    return s;
}

// Keeps the last box; everything else a run reports is dropped.
class BoxRecorder final : public Reporter, public RunLog {
   public:
    void diagnostic(std::string_view caption, std::string_view text, const DiagnosticPlace& where) override {
        last = std::string(caption) + "|" + std::string(text);
        lastLine = where.at.line;
    }
    void countReport(std::string_view) override {}
    void printed(int, int, std::string_view) override {}

    std::string last;
    int lastLine = 0;
};

struct Mismatch {
    Reading reading;
    int32_t start;     // the token the readings started on
    std::string what;  // both outcomes
};

// A machine for one checked script at a time.
class DiffMachine {
   public:
    DiffMachine() : platform_(makeHeadlessWindow(), PlatformConfig{}), vm_(gfx_, platform_, rec_, rec_) {}

    // Tokenizes and checks `source` with the real front end and prepares the
    // run. Returns "" or the front end's box ("caption|text (line n)").
    std::string load(std::string_view source) {
        vm_.symbols = CheckerState{};
        rec_.last.clear();
        if (lexingPhase(std::string(source), vm_.tokens, lex_, rec_) != 1 || runChecker(vm_.tokens, vm_.symbols, rec_) != 1)
            return rec_.last.empty() ? "rejected" : rec_.last + " (line " + std::to_string(rec_.lastLine) + ")";
        prepareExecution(vm_);
        mode_ = RunTableMode::OneStep;
        built_ = true;
        return "";
    }

    // The first token of every line from line `firstLine` on (1-based).
    std::vector<int32_t> lineStarts(int firstLine) const {
        std::vector<int32_t> starts;
        int line = 1;
        for (int32_t i = 1; i <= vm_.tokens.count; ++i) {
            if (line >= firstLine && vm_.tokens.classAt(i) != CLS_EOL &&
                (i == 1 || vm_.tokens.classAt(i - 1) == CLS_EOL))
                starts.push_back(i);
            if (vm_.tokens.classAt(i) == CLS_EOL) ++line;
        }
        return starts;
    }

    // Reads from token `start` over tables built in `mode` (rebuilt only
    // when the mode changes). Generators start from fixed states every time.
    Outcome read(Reading r, int32_t start, RunTableMode mode) {
        if (!built_ || mode != mode_) {
            buildRunTables(vm_, mode);
            mode_ = mode;
            built_ = true;
        }
        vm_.expr.rndState = 0x12345678u;
        vm_.expr.randState = 0x9e3779b9u;
        rec_.last.clear();
        Outcome o;
        vm_.exec.pc = start;
        try {
            evaluate(r, o);
        } catch (const RunAbort&) {
            o.aborted = true;
            o.box = rec_.last;
        }
        o.end = vm_.exec.pc;
        return o;
    }

    // Every reading from every start, once over each table; what differs.
    // The statement reading starts on the start token, the others
    // `expressionOffset` tokens on (2 for lines of the form "x = ...").
    std::vector<Mismatch> compareAll(const std::vector<int32_t>& starts, int32_t expressionOffset) {
        auto from = [expressionOffset](Reading r, int32_t start) {
            return r == Reading::Statement ? start : start + expressionOffset;
        };
        std::vector<Outcome> oneStep;
        oneStep.reserve(starts.size() * std::size(kReadings));
        for (int32_t start : starts)
            for (Reading r : kReadings) oneStep.push_back(read(r, from(r, start), RunTableMode::OneStep));
        std::vector<Mismatch> found;
        size_t k = 0;
        for (int32_t start : starts) {
            for (Reading r : kReadings) {
                Outcome longWay = read(r, from(r, start), RunTableMode::LongWayOnly);
                const Outcome& one = oneStep[k++];
                if (sameOutcome(one, longWay)) continue;
                found.push_back({r, start, std::string(readingName(r)) + " reading: one step gives " +
                                               describe(one) + "; the long way gives " + describe(longWay)});
            }
        }
        return found;
    }

    Vm& vm() { return vm_; }
    // The source line of the last box (a rejected script's first error).
    int boxLine() const { return rec_.lastLine; }

   private:
    // Gives `place` its saved value back when the reading ends (or aborts).
    template <class T>
    struct PutBack {
        T& place;
        const T saved;
        ~PutBack() { place = saved; }
    };

    void evaluate(Reading r, Outcome& o) {
        switch (r) {
            case Reading::Numeric: o.num = numericExpression(vm_); break;
            case Reading::String: o.text = stringExpression(vm_); break;
            case Reading::Condition: o.truth = condition(vm_); break;
            case Reading::Statement: statement(o); break;
        }
    }

    // Runs the name statement at the program counter and reports the value
    // it stored: a variable's value, or an element store's changes as text
    // (what it changed is put back afterwards, so later readings see the
    // same memory).
    void statement(Outcome& o) {
        const int32_t at = vm_.exec.pc;
        if (vm_.tokens.classAt(at) != CLS_NAME) return;
        if (vm_.tokens.classAt(at + 1) == CLS_LBRK) return elementStatement(o);
        exec::VarRef target = exec::variableAt(vm_, at);
        if (!target || vm_.tokens.classAt(at + 1) != CLS_EQ) return;
        PutBack<VariableValue> restore{*target.value, *target.value};
        exec::execNameStatement(vm_);
        o.num = target.type == TYPE_PTR ? static_cast<float>(target->ptr) : target->num;
        o.text = target->str;
    }

    // "a[...] = ...": the elements that changed, as "index=value" items.
    void elementStatement(Outcome& o) {
        exec::ArrayRef target = exec::arrayAt(vm_, vm_.exec.pc);
        if (!target) return;
        PutBack<ArrayElements> restore{*target.elements, *target.elements};
        const ArrayElements& saved = restore.saved;
        exec::execNameStatement(vm_);
        const ArrayElements& now = *target.elements;
        for (size_t i = 0; i < now.nums.size(); ++i)
            if (!sameNumber(now.nums[i], saved.nums[i])) o.text += std::to_string(i) + "=" + numberToText(now.nums[i]) + " ";
        for (size_t i = 0; i < now.ptrs.size(); ++i)
            if (now.ptrs[i] != saved.ptrs[i]) o.text += std::to_string(i) + "=" + std::to_string(now.ptrs[i]) + " ";
        for (size_t i = 0; i < now.strs.size(); ++i)
            if (now.strs[i] != saved.strs[i]) o.text += std::to_string(i) + "=\"" + now.strs[i] + "\" ";
    }

    WindowCore platform_;
    GfxState gfx_;
    BoxRecorder rec_;
    LexState lex_;
    Vm vm_;
    RunTableMode mode_ = RunTableMode::OneStep;
    bool built_ = false;
};

}  // namespace tessel::fastpath
