// Conditions: comparisons joined by "&" and "|", grouping to the right.
#include <string>

#include "expr/cursor.h"
#include "expr/ops.h"

namespace tessel {

namespace {

bool isComparison(int32_t cls) {
    return cls == CLS_EQ || cls == CLS_BANG || cls == CLS_LT || cls == CLS_GT;
}

CompareOp compareOp(int32_t cls) {
    switch (cls) {
        case CLS_EQ: return CMP_EQ;
        case CLS_BANG: return CMP_NE;
        case CLS_LT: return CMP_LT;
        default: return CMP_GT;
    }
}

int32_t stringRelation(const std::string& l, const std::string& r, int32_t op) {
    return tessel::stringRelation(l, r, compareOp(op));
}

int32_t numericRelation(float l, float r, int32_t op) { return tessel::numericRelation(l, r, compareOp(op)); }

// The right operand of a comparison whose left operand was a number.
int32_t numericComparison(Vm& vm, float left, int32_t op) {
    float right = 0.0f;
    uint8_t kind = current(vm).nameKind;
    if (kind == NK_NUMVAR || kind == NK_NUMARR) right = numericExpression(vm);
    else if (kind == NK_STRARR) stringExpression(vm);  // read, but nothing to compare with
    int32_t cls = current(vm).cls;
    if (cls == CLS_NUM || cls == CLS_LPAR) right = numericExpression(vm);
    return numericRelation(left, right, op);
}

// The right operand of a comparison whose left operand was a string. A string
// variable, string element or string literal there compares texts; anything
// else compares numbers, the left side counting 0.
int32_t stringComparison(Vm& vm, const std::string& left, int32_t op) {
    float right = 0.0f;
    uint8_t kind = current(vm).nameKind;
    if (kind == NK_STRVAR || kind == NK_STRARR) return stringRelation(left, stringExpression(vm), op);
    if (kind == NK_NUMVAR || kind == NK_NUMARR) right = numericExpression(vm);
    int32_t cls = current(vm).cls;
    if (cls == CLS_NUM || cls == CLS_LPAR) right = numericExpression(vm);
    else if (cls == CLS_QSTR) return stringRelation(left, stringExpression(vm), op);
    return numericRelation(0.0f, right, op);
}

// One comparison. The left operand must start with a variable or an
// element; otherwise nothing is read and the comparison is false.
[[gnu::noinline]] int32_t longComparison(Vm& vm) {
    uint8_t kind = current(vm).nameKind;
    if (kind == NK_STRVAR || kind == NK_STRARR) {
        std::string left = stringExpression(vm);
        int32_t op = current(vm).cls;
        if (!isComparison(op)) return 0;
        fetch(vm);
        return stringComparison(vm, left, op);
    }
    float left = 0.0f;
    if (kind == NK_NUMVAR || kind == NK_NUMARR) left = numericExpression(vm);
    int32_t op = current(vm).cls;
    if (!isComparison(op)) return 0;
    fetch(vm);
    return numericComparison(vm, left, op);
}

// "a[x] op y": the element, then the comparison (at the nesting limit the
// long way reports).
[[gnu::noinline]] int32_t elementComparison(Vm& vm) {
    const RunToken* t = &current(vm);
    if (vm.expr.depth >= kMaxExprDepth) return longComparison(vm);
    float left = readNumberElement(vm, t[0].ref, toInt32(wholeFactorValue(vm, t[2])));
    float right = wholeFactorValue(vm, t[5]);
    vm.exec.pc += 6;
    return numericRelation(left, right, t[4].cls);
}

// "x op y" of a number variable and a variable or literal, read in one
// step, and "a[x] op y" in another; anything else the long way.
inline int32_t comparison(Vm& vm) {
    const RunToken& first = current(vm);
    if (!(first.flags & RF_CMP2)) {
        if (first.flags & RF_CMPELEM) return elementComparison(vm);
        return longComparison(vm);
    }
    const RunToken* t = &first;
    float left = vm.memory.vars[static_cast<size_t>(t[0].ref)].num;
    float right = wholeFactorValue(vm, t[2]);
    vm.exec.pc += 3;
    return numericRelation(left, right, t[1].cls);
}

bool isJoin(int32_t cls) { return cls == CLS_AMP || cls == CLS_BAR; }

// A chain after its first comparison `r`: every comparison is evaluated left
// to right, then the results are joined from the right (a & b | c is
// a & (b | c)). Read so far, the chain is the function
// rest -> (rest & keep) | set of the part still to come, which each join
// updates in place: no list of values. Out of line, so that a lone
// comparison stays cheap.
[[gnu::noinline]] int32_t joinedCondition(Vm& vm, int32_t r) {
    int32_t keep = -1, set = 0, last = r;
    while (isJoin(current(vm).cls)) {
        if (current(vm).cls == CLS_AMP) keep &= last;
        else set |= last & keep;
        fetch(vm);
        last = comparison(vm);
    }
    return (last & keep) | set;
}

}  // namespace

int32_t condition(Vm& vm) {
    int32_t r = comparison(vm);
    if (!isJoin(current(vm).cls)) return r;
    return joinedCondition(vm, r);
}

}  // namespace tessel
