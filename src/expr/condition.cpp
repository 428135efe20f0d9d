// Conditions: comparisons joined by "&" and "|", grouping to the right.
#include <string>
#include <vector>

#include "expr/cursor.h"

namespace tessel {

namespace {

bool isComparison(int32_t cls) {
    return cls == CLS_EQ || cls == CLS_BANG || cls == CLS_LT || cls == CLS_GT;
}

// Strings: equal, different, or ordered byte by byte (a prefix is smaller).
int32_t stringRelation(const std::string& l, const std::string& r, int32_t op) {
    switch (op) {
        case CLS_EQ: return l == r ? -1 : 0;
        case CLS_BANG: return l != r ? -1 : 0;
        case CLS_LT: return l < r ? -1 : 0;
        case CLS_GT: return l > r ? -1 : 0;
        default: return 0;
    }
}

// Numbers, ordered: with not-a-number only "!" holds.
int32_t numericRelation(float l, float r, int32_t op) {
    switch (op) {
        case CLS_EQ: return l == r ? -1 : 0;
        case CLS_BANG: return l != r ? -1 : 0;
        case CLS_LT: return l < r ? -1 : 0;
        case CLS_GT: return l > r ? -1 : 0;
        default: return 0;
    }
}

int32_t comparison(Interpreter& in) {
    float leftNum = 0.0f, rightNum = 0.0f;
    std::string leftStr, rightStr;
    bool leftIsString = false;
    uint8_t kind = current(in).nameKind;
    if (kind == NK_STRVAR || kind == NK_STRARR) {
        leftStr = stringExpression(in);
        leftIsString = true;
    } else if (kind == NK_NUMVAR || kind == NK_NUMARR) {
        leftNum = numericExpression(in);
    }
    int32_t op = current(in).cls;
    if (!isComparison(op)) return 0;
    fetch(in);
    kind = current(in).nameKind;
    if (kind == NK_STRVAR && leftIsString) {
        return stringRelation(leftStr, stringExpression(in), op);
    } else if (kind == NK_NUMVAR || kind == NK_NUMARR) {
        rightNum = numericExpression(in);
    } else if (kind == NK_STRARR) {
        rightStr = stringExpression(in);
        if (leftIsString) return stringRelation(leftStr, rightStr, op);
    }
    int32_t cls = current(in).cls;
    if (cls == CLS_NUM || cls == CLS_LPAR) {
        rightNum = numericExpression(in);
    } else if (cls == CLS_QSTR && leftIsString) {
        return stringRelation(leftStr, stringExpression(in), op);
    }
    return numericRelation(leftNum, rightNum, op);
}

bool isJoin(int32_t cls) { return cls == CLS_AMP || cls == CLS_BAR; }

}  // namespace

int32_t condition(Interpreter& in) {
    int32_t r = comparison(in);
    if (!isJoin(current(in).cls)) return r;
    // A chain: every comparison is evaluated left to right, then the results
    // are joined from the right (a & b | c is a & (b | c)).
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

}  // namespace tessel
