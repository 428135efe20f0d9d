// The run tables: what every token means to the evaluator, worked out once
// after checking. Also the nesting guard's diagnostic and string elements.
#include <string>

#include "expr/cursor.h"
#include "expr/program.h"

namespace tessel {

namespace {

int32_t variableType(const CheckerState& ck, int32_t v) {
    return v > 0 && v <= ck.varCount() ? ck.vars[v].type : TYPE_NONE;
}

int32_t arrayType(const CheckerState& ck, int32_t a) {
    return a > 0 && a <= ck.arrayCount() ? ck.arrays[a].type : TYPE_NONE;
}

ExprOp operatorOf(int32_t cls, std::string_view text) {
    switch (cls) {
        case CLS_PLUS: return OP_PLUS;
        case CLS_MINUS: return OP_MINUS;
        case CLS_STAR: return OP_STAR;
        case CLS_SLASH: return OP_SLASH;
        case CLS_PCT: return OP_PCT;
        // The caret's class is also the STR keyword's code (isDeclaringClass):
        // only the caret itself is "^".
        case CLS_CARET: return text == "^" ? OP_CARET : OP_NONE;
        default: return OP_NONE;
    }
}

StrAlt stringFunctionAlt(int32_t cls) {
    switch (cls) {
        case KW_STRS: return SA_STRS;
        case KW_CHRS: return SA_CHRS;
        case KW_LSTR: return SA_LSTR;
        case KW_RSTR: return SA_RSTR;
        case KW_MSTR: return SA_MSTR;
        default: return SA_NONE;
    }
}

// Fills in the name-dependent fields of identifier token i.
void classifyName(const Vm& vm, int32_t i, RunToken& t) {
    const CheckerState& ck = vm.symbols;
    bool element = vm.tokens.classAt(i + 1) == CLS_LBRK;
    int32_t v = ck.varAt(i);
    int32_t a = ck.arrayAt(i);
    if (!element) {
        t.ref = v;
        int32_t type = variableType(ck, v);
        t.numAlt = type == TYPE_NUM ? NA_NUMVAR : type == TYPE_PTR ? NA_PTRVAR : NA_NAME;
        if (type == TYPE_STR) t.strAlt = SA_STRVAR;
    } else {
        t.ref = a;
        int32_t type = arrayType(ck, a);
        t.numAlt = type == TYPE_NUM ? NA_NUMARR : type == TYPE_PTR ? NA_PTRARR : NA_NONE;
        if (type == TYPE_STR) t.strAlt = SA_STRARR;
    }
    // Comparison operands look at the binding, not at what follows.
    int32_t vt = variableType(ck, v);
    int32_t at = arrayType(ck, a);
    if (vt == TYPE_STR) t.nameKind = NK_STRVAR;
    else if (vt == TYPE_NUM || vt == TYPE_PTR) t.nameKind = NK_NUMVAR;
    else if (at == TYPE_STR) t.nameKind = NK_STRARR;
    else if (at == TYPE_NUM || at == TYPE_PTR) t.nameKind = NK_NUMARR;
}

RunToken classify(const Vm& vm, int32_t i) {
    RunToken t;
    std::string_view text = vm.tokens.textAt(i);
    int32_t cls = vm.tokens.classAt(i);
    t.cls = static_cast<uint8_t>(cls >= 0 && cls < 256 ? cls : CLS_NONE);
    t.op = operatorOf(t.cls, text);
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
        // A string literal that begins with a digit reads as its number too.
        t.numAlt = NA_DIGIT;
        t.num = static_cast<float>(textToNumber(text));
    }
    switch (t.cls) {
        case CLS_MINUS: t.numAlt = NA_MINUS; break;
        case CLS_PLUS: t.numAlt = NA_PLUS; break;
        case CLS_LPAR: t.numAlt = NA_LPAR; t.strAlt = SA_LPAR; break;
        case CLS_LBRK: t.numAlt = NA_LBRK; break;
        case CLS_NUM: t.strAlt = SA_NUM; break;
        case CLS_QSTR: t.strAlt = SA_QSTR; break;
        case CLS_NAME: classifyName(vm, i, t); break;
        default:
            if (isNumericFunction(t.cls)) t.numAlt = NA_FUNC;
            t.strAlt = stringFunctionAlt(t.cls);
            break;
    }
    return t;
}

// A string literal, string variable, string-array element or string function.
bool isStringOperand(const RunToken& t) {
    return t.strAlt == SA_QSTR || t.strAlt == SA_STRVAR || t.strAlt == SA_STRARR ||
           (t.strAlt >= SA_STRS && t.strAlt <= SA_MSTR);
}

bool isTermOperator(uint8_t op) {
    return op == OP_STAR || op == OP_SLASH || op == OP_PCT || op == OP_CARET;
}

bool isComparisonClass(uint8_t cls) {
    return cls == CLS_EQ || cls == CLS_BANG || cls == CLS_LT || cls == CLS_GT;
}

// The one-token flags: the sign before a string (in every mode) and, with
// `oneStep`, whole factors and lone factors.
void setTokenFlags(ExprState& ex, int32_t n, bool oneStep) {
    for (int32_t i = 1; i <= n; ++i) {
        RunToken& t = ex.run[i];
        const RunToken& next = ex.run[i + 1];
        if ((t.op == OP_PLUS || t.op == OP_MINUS) && isStringOperand(next))
            t.flags |= RF_BEFORE_STRING;
        if (!oneStep) continue;
        // A literal or number variable that no later factor alternative can
        // follow is the whole factor: the evaluator reads it without the table.
        if (factorOrder(next.numAlt) <= factorOrder(t.numAlt)) {
            if (t.numAlt == NA_DIGIT) t.flags |= RF_LITERAL;
            if (t.numAlt == NA_NUMVAR) t.flags |= RF_NUMVAR;
            if ((t.flags & (RF_LITERAL | RF_NUMVAR)) && next.op == OP_NONE) t.flags |= RF_ALONE;
        }
        if (t.numAlt == NA_NUMVAR && next.cls == CLS_EQ) t.flags |= RF_NUMSET;
        if (t.cls == CLS_NAME && next.cls == CLS_LPAR) t.flags |= RF_CALL;
    }
}

// A right operand that RF_CMP2 reads in one step: a lone number variable or
// number literal that no second right operand follows.
bool isPlainRightOperand(const RunToken& b, const RunToken& after) {
    return (b.flags & RF_ALONE) && ((b.flags & RF_NUMVAR) || b.cls == CLS_NUM) && after.cls != CLS_NUM &&
           after.cls != CLS_LPAR;
}

// Two-operand terms, sums and comparisons; tokens i + 1 and i + 2 exist when
// token i is a whole factor (the table has one empty entry past the last
// token).
void setTwoOperandFlags(ExprState& ex, int32_t n) {
    for (int32_t i = 1; i + 2 <= n; ++i) {
        RunToken& t = ex.run[i];
        if (!(t.flags & (RF_LITERAL | RF_NUMVAR))) continue;
        const RunToken& o = ex.run[i + 1];
        const RunToken& b = ex.run[i + 2];
        const RunToken& after = ex.run[i + 3];
        if (isTermOperator(o.op) && (b.flags & (RF_LITERAL | RF_NUMVAR)) && !isTermOperator(after.op))
            t.flags |= RF_TERM2;
        if ((o.op == OP_PLUS || o.op == OP_MINUS) && !(o.flags & RF_BEFORE_STRING) &&
            (b.flags & RF_ALONE))
            t.flags |= RF_SUM2;
        if ((t.flags & RF_NUMVAR) && (t.flags & RF_ALONE) && isComparisonClass(o.cls) &&
            isPlainRightOperand(b, after))
            t.flags |= RF_CMP2;
    }
}

// Elements with a one-token subscript, the element stores and comparisons
// built on them, then two-operand groups (which need every token's term and
// sum flags).
void setFactorFlags(ExprState& ex, int32_t n) {
    for (int32_t i = 1; i + 3 <= n; ++i) {
        RunToken& t = ex.run[i];
        if (t.numAlt != NA_NUMARR || !(ex.run[i + 2].flags & RF_ALONE) || ex.run[i + 3].cls != CLS_RBRK)
            continue;
        if (factorOrder(ex.run[i + 4].numAlt) <= factorOrder(NA_NUMARR)) t.flags |= RF_ELEMENT;
        if (ex.run[i + 4].cls == CLS_EQ) t.flags |= RF_ELEMSET;
    }
    // A comparison reads its left operand as a number when the name is bound
    // to a number array or to a number or pointer variable (a string binding
    // of the same name would make it a string comparison).
    for (int32_t i = 1; i + 5 <= n; ++i) {
        RunToken& t = ex.run[i];
        if ((t.flags & RF_ELEMENT) && (t.nameKind == NK_NUMARR || t.nameKind == NK_NUMVAR) &&
            isComparisonClass(ex.run[i + 4].cls) && isPlainRightOperand(ex.run[i + 5], ex.run[i + 6]))
            t.flags |= RF_CMPELEM;
    }
    for (int32_t i = 1; i + 4 <= n; ++i) {
        RunToken& t = ex.run[i];
        if (t.numAlt != NA_LPAR || ex.run[i + 4].cls != CLS_RPAR) continue;
        // Inside, the ")" ends the term or sum: it is no operator.
        bool inner = ex.run[i + 1].flags & (RF_TERM2 | RF_SUM2);
        if (inner && factorOrder(ex.run[i + 5].numAlt) <= factorOrder(NA_LPAR)) t.flags |= RF_GROUP3;
    }
}

}  // namespace

void buildRunTables(Vm& vm, RunTableMode mode) {
    ExprState& ex = vm.expr;
    int32_t n = vm.tokens.count;
    ex.run.assign(static_cast<size_t>(n) + 2, RunToken{});
    for (int32_t i = 1; i <= n; ++i) ex.run[i] = classify(vm, i);
    const bool oneStep = mode == RunTableMode::OneStep;
    setTokenFlags(ex, n, oneStep);
    if (oneStep) {
        setTwoOperandFlags(ex, n);
        setFactorFlags(ex, n);
        buildExpressionPrograms(ex, n);
    } else {
        ex.code.clear();
        ex.programs.clear();
        ex.programAt.clear();
    }
    ex.runData = ex.run.data();
    ex.runSize = static_cast<uint32_t>(ex.run.size());
    ex.depth = 0;
}

void nestingTooDeep(Vm& vm) {
    abortRun(vm, "ERROR", "Expression nested too deeply! -{ " + std::string(vm.tokens.textAt(vm.exec.pc)) + " }", AtToken{vm.exec.pc});
}

const std::string& stringElement(const Vm& vm, int32_t array, int32_t index) {
    static const std::string kEmpty;
    const auto& arrays = vm.memory.arrays;
    if (array <= 0 || static_cast<size_t>(array) >= arrays.size()) return kEmpty;
    const auto& v = arrays[static_cast<size_t>(array)].strs;
    return index >= 0 && static_cast<size_t>(index) < v.size() ? v[static_cast<size_t>(index)] : kEmpty;
}

float fetchNumeric(Vm& vm) {
    fetch(vm);
    return numericExpression(vm);
}

std::string fetchString(Vm& vm) {
    fetch(vm);
    return stringExpression(vm);
}

}  // namespace tessel
