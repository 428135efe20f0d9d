// Conditions: comparisons joined by "&" and "|", grouping to the right.
#include <string>
#include <vector>

#include "expr/cursor.h"

namespace tessel {

namespace {

bool isComparison(int32_t cls) {
    return cls == CLS_EQ || cls == CLS_BANG || cls == CLS_LT || cls == CLS_GT;
}

// One comparison as a truth value. Strings compare byte by byte (a prefix is
// smaller); numbers are ordered, so with not-a-number only "!" holds.
template <class T>
[[gnu::always_inline]] inline int32_t relation(const T& l, const T& r, int32_t op) {
    switch (op) {
        case CLS_EQ: return l == r ? -1 : 0;
        case CLS_BANG: return l != r ? -1 : 0;
        case CLS_LT: return l < r ? -1 : 0;
        case CLS_GT: return l > r ? -1 : 0;
        default: return 0;
    }
}

int32_t stringRelation(const std::string& l, const std::string& r, int32_t op) {
    return relation(l, r, op);
}

int32_t numericRelation(float l, float r, int32_t op) { return relation(l, r, op); }

// The right operand of a comparison whose left operand was a number.
int32_t numericComparison(Interpreter& in, float left, int32_t op) {
    float right = 0.0f;
    uint8_t kind = current(in).nameKind;
    if (kind == NK_NUMVAR || kind == NK_NUMARR) right = numericExpression(in);
    else if (kind == NK_STRARR) stringExpression(in);  // read, but nothing to compare with
    int32_t cls = current(in).cls;
    if (cls == CLS_NUM || cls == CLS_LPAR) right = numericExpression(in);
    return numericRelation(left, right, op);
}

// The right operand of a comparison whose left operand was a string. A string
// variable, string element or string literal there compares texts; anything
// else compares numbers, the left side counting 0.
int32_t stringComparison(Interpreter& in, const std::string& left, int32_t op) {
    float right = 0.0f;
    uint8_t kind = current(in).nameKind;
    if (kind == NK_STRVAR || kind == NK_STRARR) return stringRelation(left, stringExpression(in), op);
    if (kind == NK_NUMVAR || kind == NK_NUMARR) right = numericExpression(in);
    int32_t cls = current(in).cls;
    if (cls == CLS_NUM || cls == CLS_LPAR) right = numericExpression(in);
    else if (cls == CLS_QSTR) return stringRelation(left, stringExpression(in), op);
    return numericRelation(0.0f, right, op);
}

// One comparison. The left operand must start with a variable or an
// element; otherwise nothing is read and the comparison is false.
[[gnu::noinline]] int32_t longComparison(Interpreter& in) {
    uint8_t kind = current(in).nameKind;
    if (kind == NK_STRVAR || kind == NK_STRARR) {
        std::string left = stringExpression(in);
        int32_t op = current(in).cls;
        if (!isComparison(op)) return 0;
        fetch(in);
        return stringComparison(in, left, op);
    }
    float left = 0.0f;
    if (kind == NK_NUMVAR || kind == NK_NUMARR) left = numericExpression(in);
    int32_t op = current(in).cls;
    if (!isComparison(op)) return 0;
    fetch(in);
    return numericComparison(in, left, op);
}

// "x op y" of a number variable and a variable or literal, read in one
// step; anything else the long way.
inline int32_t comparison(Interpreter& in) {
    const RunToken& first = current(in);
    if (!(first.flags & RF_CMP2)) return longComparison(in);
    const RunToken* t = &first;
    float left = in.checker.vars[static_cast<size_t>(t[0].ref)].num;
    float right = (t[2].flags & RF_LITERAL) ? t[2].num : in.checker.vars[static_cast<size_t>(t[2].ref)].num;
    in.exec.pc += 3;
    return numericRelation(left, right, t[1].cls);
}

bool isJoin(int32_t cls) { return cls == CLS_AMP || cls == CLS_BAR; }

// A chain after its first comparison `r`: every comparison is evaluated left
// to right, then the results are joined from the right (a & b | c is
// a & (b | c)). Out of line, so that a lone comparison stays cheap.
[[gnu::noinline]] int32_t joinedCondition(Interpreter& in, int32_t r) {
    std::vector<int32_t> values{r};
    std::vector<int32_t> joins;
    while (isJoin(current(in).cls)) {
        joins.push_back(current(in).cls);
        fetch(in);
        values.push_back(comparison(in));
    }
    int32_t acc = values.back();
    for (size_t i = joins.size(); i-- > 0;)
        acc = joins[i] == CLS_AMP ? (values[i] & acc) : (values[i] | acc);
    return acc;
}

}  // namespace

int32_t condition(Interpreter& in) {
    int32_t r = comparison(in);
    if (!isJoin(current(in).cls)) return r;
    return joinedCondition(in, r);
}

}  // namespace tessel
