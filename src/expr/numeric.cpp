// Numeric expressions: the additive level, the multiplicative level and the
// factor with the built-in numeric functions, over the run tables.
#include <cmath>

#include "expr/cursor.h"
#include "expr/ops.h"

namespace tessel {

namespace {

float applyFunction(Vm& vm, int32_t code, float x) {
    switch (code) {
        case KW_RND: return rndStep(vm.expr.rndState);
        case KW_RAND: return static_cast<float>(randStep(vm.expr.randState, toInt32(static_cast<double>(x))));
        default: return pureFunction(code, x);
    }
}

// A built-in function; the current token is its keyword.
float functionFactor(Vm& vm, int32_t code) {
    enterNesting(vm);
    fetch(vm);
    float v;
    if (code == KW_VAL) v = static_cast<float>(textToNumber(stringFactor(vm)));
    else if (code == KW_LEN) v = static_cast<float>(stringFactor(vm).size());
    else v = applyFunction(vm, code, numericFactor(vm));
    leaveNesting(vm);
    return v;
}

// "(" or "[" groups a numeric expression; the closing token is passed over
// without looking at it.
float groupFactor(Vm& vm) {
    enterNesting(vm);
    fetch(vm);
    float v = numericExpression(vm);
    fetch(vm);
    leaveNesting(vm);
    return v;
}

// The subscript of an element: a whole expression up to the closing bracket.
int32_t subscript(Vm& vm) {
    enterNesting(vm);
    fetch(vm);
    fetch(vm);
    int32_t index = toInt32(numericExpression(vm));
    fetch(vm);
    leaveNesting(vm);
    return index;
}

// A unary sign: "-" negates the factor that follows, "+" passes over itself.
float signedFactor(Vm& vm, bool negate) {
    enterNesting(vm);
    fetch(vm);
    float v = numericFactor(vm);
    leaveNesting(vm);
    return negate ? -v : v;
}

// One factor, reading a lone literal or number variable directly.
inline float factorValue(Vm& vm) {
    const RunToken& t = current(vm);
    if (t.flags & RF_LITERAL) {
        ++vm.exec.pc;  // a real token: the step stays inside the store
        return t.num;
    }
    if (t.flags & RF_NUMVAR) {
        ++vm.exec.pc;
        return vm.memory.vars[t.ref].num;
    }
    return numericFactor(vm);
}

// v op f for the four term operators, rounded to single as the term keeps it.
inline float applyTermOperator(uint8_t op, float v, float f) {
    switch (op) {
        case OP_STAR: return v * f;
        case OP_SLASH: return arith(AOP_DIV, v, f);
        case OP_PCT: return truncatedQuotient(v, f);
        default: return power(v, f);
    }
}

inline float numericTerm(Vm& vm) {
    const RunToken& first = current(vm);
    if (first.flags & RF_TERM2) {
        // "a op b" and nothing more: the factors and operator are the three
        // tokens from here.
        const RunToken* t = &first;
        float v = applyTermOperator(t[1].op, wholeFactorValue(vm, t[0]), wholeFactorValue(vm, t[2]));
        vm.exec.pc += 3;
        return v;
    }
    float v = factorValue(vm);
    for (;;) {
        uint8_t op = current(vm).op;
        if (op != OP_STAR && op != OP_SLASH && op != OP_PCT && op != OP_CARET) return v;
        fetch(vm);
        v = applyTermOperator(op, v, factorValue(vm));
    }
}

// The value of the two-operand term or sum that starts at t.
inline float twoOperandValue(const Vm& vm, const RunToken* t) {
    float a = wholeFactorValue(vm, t[0]);
    float b = wholeFactorValue(vm, t[2]);
    switch (t[1].op) {
        case OP_PLUS: return a + b;
        case OP_MINUS: return a - b;
        default: return applyTermOperator(t[1].op, a, b);
    }
}

}  // namespace

float numericFactor(Vm& vm) {
    const RunToken* t = &current(vm);
    if ((t->flags & (RF_GROUP3 | RF_ELEMENT)) && vm.expr.depth < kMaxExprDepth) {
        // "(a op b)" or "a[x]" in one step (at the nesting limit the general
        // way reports).
        if (t->flags & RF_GROUP3) {
            vm.exec.pc += 5;
            return twoOperandValue(vm, t + 1);
        }
        vm.exec.pc += 4;
        return readNumberElement(vm, t->ref, toInt32(wholeFactorValue(vm, t[2])));
    }
    if (t->numAlt == NA_MINUS || t->numAlt == NA_PLUS)
        return signedFactor(vm, t->numAlt == NA_MINUS);
    float v = 0.0f;
    int last = 0;
    for (;;) {
        int order = factorOrder(t->numAlt);
        if (order <= last) return v;
        last = order;
        switch (t->numAlt) {
            case NA_DIGIT: v = t->num; fetch(vm); break;
            case NA_LPAR:
            case NA_LBRK: v = groupFactor(vm); break;
            case NA_NUMVAR: v = vm.memory.vars[t->ref].num; fetch(vm); break;
            case NA_PTRVAR: v = static_cast<float>(vm.memory.vars[t->ref].ptr); fetch(vm); break;
            case NA_NAME: fetch(vm); break;
            case NA_NUMARR: {
                int32_t a = t->ref;
                v = readNumberElement(vm, a, subscript(vm));
                break;
            }
            case NA_PTRARR: {
                int32_t a = t->ref;
                v = static_cast<float>(readPointerElement(vm, a, subscript(vm)));
                break;
            }
            case NA_FUNC: v = functionFactor(vm, t->cls); break;
            default: return v;
        }
        t = &current(vm);
    }
}

namespace {

// The general expression: an optional leading sign, then terms joined by
// "+" and "-".
[[gnu::noinline]] float longNumericExpression(Vm& vm) {
    float v;
    const RunToken& first = current(vm);
    if (first.op == OP_MINUS) {
        // A leading "-" negates the whole first term: -2^2 is -4.
        fetch(vm);
        v = -numericTerm(vm);
    } else if (first.op == OP_PLUS) {
        v = 0.0f;  // the "+" is read below as an addition to 0
    } else {
        v = numericTerm(vm);
    }
    for (;;) {
        const RunToken& o = current(vm);
        // A sign before a string operand ends the expression: STRS(5) + "A".
        if ((o.op != OP_PLUS && o.op != OP_MINUS) || (o.flags & RF_BEFORE_STRING)) return v;
        bool add = o.op == OP_PLUS;
        fetch(vm);
        float f = numericTerm(vm);
        v = add ? v + f : v - f;
    }
}

// A RF_PROGRAM expression: its steps over a value stack, each the operation
// the general procedures would apply at that point. A program that would
// nest past the limit is read the long way, which reports.
[[gnu::noinline]] float runProgram(Vm& vm) {
    ExprState& ex = vm.expr;
    const ExprProgram& p = ex.programs[ex.programAt[static_cast<size_t>(vm.exec.pc)]];
    if (ex.depth + p.nesting > kMaxExprDepth) return longNumericExpression(vm);
    const VariableValue* vars = vm.memory.vars.data();
    float stack[kMaxProgramStack];
    int32_t top = -1;
    for (const ProgramCode *c = ex.code.data() + p.first, *end = c + p.length; c != end; ++c) {
        switch (c->step) {
            case PS_LITERAL: stack[++top] = c->num; break;
            case PS_NUMVAR: stack[++top] = vars[c->ref].num; break;
            case PS_PTRVAR: stack[++top] = static_cast<float>(vars[c->ref].ptr); break;
            case PS_NEGATE: stack[top] = -stack[top]; break;
            case PS_PLUS: --top; stack[top] = stack[top] + stack[top + 1]; break;
            case PS_MINUS: --top; stack[top] = stack[top] - stack[top + 1]; break;
            case PS_TERM: --top; stack[top] = applyTermOperator(c->op, stack[top], stack[top + 1]); break;
            case PS_PLUS_LITERAL: stack[top] = stack[top] + c->num; break;
            case PS_PLUS_NUMVAR: stack[top] = stack[top] + vars[c->ref].num; break;
            case PS_MINUS_LITERAL: stack[top] = stack[top] - c->num; break;
            case PS_MINUS_NUMVAR: stack[top] = stack[top] - vars[c->ref].num; break;
            case PS_TERM_LITERAL: stack[top] = applyTermOperator(c->op, stack[top], c->num); break;
            default: stack[top] = applyTermOperator(c->op, stack[top], vars[c->ref].num); break;
        }
    }
    vm.exec.pc = p.end;
    return stack[0];
}

}  // namespace

// The commonest shapes are read here in one step; the general case is a
// separate function so that these pay for no register saving.
float numericExpression(Vm& vm) {
    const RunToken& first = current(vm);
    if (first.flags & RF_ALONE) {
        // The whole expression is one literal or variable (x < 10, a[i]).
        ++vm.exec.pc;
        return wholeFactorValue(vm, first);
    }
    if (first.flags & RF_SUM2) {
        // "a + b" or "a - b" and nothing more.
        const RunToken* t = &first;
        float a = wholeFactorValue(vm, t[0]);
        float b = wholeFactorValue(vm, t[2]);
        vm.exec.pc += 3;
        return t[1].op == OP_PLUS ? a + b : a - b;
    }
    if (first.flags & RF_TERM2) {
        // "a op b" with a term operator, when no sign continues the sum.
        const RunToken& after = (&first)[3];
        if ((after.op != OP_PLUS && after.op != OP_MINUS) || (after.flags & RF_BEFORE_STRING)) {
            vm.exec.pc += 3;
            return twoOperandValue(vm, &first);
        }
    }
    if (first.flags & RF_PROGRAM) return runProgram(vm);
    return longNumericExpression(vm);
}

}  // namespace tessel
