// The token walker's evaluator: numeric expressions (additive level, term,
// factor with the built-in functions), string expressions and conditions,
// each starting at the current token and leaving the first token it did not
// use as the current one.
#include <string>

#include "expr/ops.h"
#include "oracle/walk.h"

namespace tessel::oracle {

namespace {

// Order of each factor alternative: after one has used its tokens only
// later alternatives are tried on the token that follows.
int factorOrder(uint8_t alt) {
    static constexpr int kOrder[] = {0, 0, 0, 1, 2, 3, 4, 4, 4, 5, 5, 6};
    return kOrder[alt];
}

constexpr int kStringOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

bool isComparison(int32_t cls) {
    return cls == CLS_EQ || cls == CLS_BANG || cls == CLS_LT || cls == CLS_GT;
}

CompareOp compareOp(int32_t cls) {
    return cls == CLS_EQ ? CMP_EQ : cls == CLS_BANG ? CMP_NE : cls == CLS_LT ? CMP_LT : CMP_GT;
}

float termOperator(uint8_t op, float v, float f) {
    switch (op) {
        case OP_STAR: return arith(AOP_MUL, v, f);
        case OP_SLASH: return arith(AOP_DIV, v, f);
        case OP_PCT: return arith(AOP_QUO, v, f);
        default: return arith(AOP_POW, v, f);
    }
}

}  // namespace

void Walk::enterNesting() {
    if (w.depth >= kMaxDepth) abort("ERROR", "Expression nested too deeply! -{ " + text() + " }", AtToken{w.pc});
    ++w.depth;
}

// --- numeric ----------------------------------------------------------------

float Walk::functionFactor(int32_t code) {
    enterNesting();
    fetch();
    float v;
    if (code == KW_VAL) v = static_cast<float>(textToNumber(stringFactor()));
    else if (code == KW_LEN) v = static_cast<float>(stringFactor().size());
    else {
        float x = numericFactor();
        if (code == KW_RND) v = rndStep(vm.expr.rndState);
        else if (code == KW_RAND) v = static_cast<float>(randStep(vm.expr.randState, toInt32(static_cast<double>(x))));
        else v = pureFunction(code, x);
    }
    leaveNesting();
    return v;
}

float Walk::groupFactor() {
    enterNesting();
    fetch();
    float v = numericExpression();
    fetch();
    leaveNesting();
    return v;
}

int32_t Walk::subscript() {
    enterNesting();
    fetch();
    fetch();
    int32_t index = toInt32(numericExpression());
    fetch();
    leaveNesting();
    return index;
}

float Walk::numericFactor() {
    const Tok* t = &cur();
    if (t->numAlt == NA_MINUS || t->numAlt == NA_PLUS) {
        bool negate = t->numAlt == NA_MINUS;
        enterNesting();
        fetch();
        float v = numericFactor();
        leaveNesting();
        return negate ? -v : v;
    }
    float v = 0.0f;
    int last = 0;
    for (;;) {
        int order = factorOrder(t->numAlt);
        if (order <= last) return v;
        last = order;
        switch (t->numAlt) {
            case NA_DIGIT: v = t->num; fetch(); break;
            case NA_LPAR:
            case NA_LBRK: v = groupFactor(); break;
            case NA_NUMVAR: v = num(t->ref); fetch(); break;
            case NA_PTRVAR: v = static_cast<float>(ptr(t->ref)); fetch(); break;
            case NA_NAME: fetch(); break;
            case NA_NUMARR: {
                int32_t a = t->ref;
                v = numElem(a, subscript());
                break;
            }
            case NA_PTRARR: {
                int32_t a = t->ref;
                v = static_cast<float>(ptrElem(a, subscript()));
                break;
            }
            case NA_FUNC: v = functionFactor(t->cls); break;
            default: return v;
        }
        t = &cur();
    }
}

float Walk::numericTerm() {
    float v = numericFactor();
    for (;;) {
        uint8_t op = cur().op;
        if (op != OP_STAR && op != OP_SLASH && op != OP_PCT && op != OP_CARET) return v;
        fetch();
        v = termOperator(op, v, numericFactor());
    }
}

float Walk::numericExpression() {
    float v;
    const Tok& first = cur();
    if (first.op == OP_MINUS) {
        // A leading "-" negates the whole first term: -2^2 is -4.
        fetch();
        v = -numericTerm();
    } else if (first.op == OP_PLUS) {
        v = 0.0f;  // the "+" is read below as an addition to 0
    } else {
        v = numericTerm();
    }
    for (;;) {
        const Tok& o = cur();
        // A sign before a string operand ends the expression: STRS(5) + "A".
        if ((o.op != OP_PLUS && o.op != OP_MINUS) || o.beforeString) return v;
        bool add = o.op == OP_PLUS;
        fetch();
        float f = numericTerm();
        v = add ? arith(AOP_ADD, v, f) : arith(AOP_SUB, v, f);
    }
}

// --- strings ----------------------------------------------------------------

// A count or start of LSTR, RSTR or MSTR: one token, negated by a "-".
int32_t Walk::smallArgument() {
    bool negate = cur().cls == CLS_MINUS;
    if (negate) fetch();
    const Tok& t = cur();
    double v = 0.0;
    if (t.cls == CLS_NUM) v = t.num;
    else if (t.numAlt == NA_NUMVAR) v = num(t.ref);
    else if (t.numAlt == NA_PTRVAR) v = ptr(t.ref);
    fetch();
    return toInt32(negate ? -v : v);
}

bool Walk::substringFunction(int alt, std::string& out) {
    fetch();
    fetch();
    std::string source;
    const Tok& s = cur();
    if (s.strAlt == SA_STRVAR) source = str(s.ref);
    else if (s.strAlt == SA_QSTR) source = text();
    fetch();
    if (cur().cls != CLS_COMMA) return false;
    fetch();
    int32_t first = smallArgument();
    std::string_view part;
    if (alt == SA_MSTR) {
        if (cur().cls != CLS_COMMA) return false;
        fetch();
        part = middlePart(source, first, smallArgument());
    } else {
        part = alt == SA_LSTR ? leftPart(source, first) : rightPart(source, first);
    }
    out.append(part);
    fetch();  // the closing parenthesis: concatenation goes on after it
    return true;
}

void Walk::numberFunction(int alt, std::string& out) {
    enterNesting();
    fetch();
    float v = numericExpression();
    leaveNesting();
    if (alt == SA_STRS) appendNumberText(out, v);
    else out.push_back(static_cast<char>(toInt32(v) & 0xFF));
}

// Appends one string factor; when several alternatives match in turn, the
// last one's value is what the factor gives.
void Walk::appendStringFactor(std::string& out) {
    const size_t base = out.size();
    int last = 0;
    for (;;) {
        const Tok& t = cur();
        int order = kStringOrder[t.strAlt];
        if (order <= last) return;
        last = order;
        out.resize(base);
        switch (t.strAlt) {
            case SA_LPAR:
                enterNesting();
                fetch();
                appendStringExpression(out);
                fetch();
                leaveNesting();
                break;
            case SA_STRVAR: out += str(t.ref); fetch(); break;
            case SA_STRARR: {
                int32_t a = t.ref;
                enterNesting();
                fetch();
                fetch();
                int32_t index = toInt32(numericExpression());
                leaveNesting();
                out += strElem(a, index);
                fetch();
                break;
            }
            case SA_STRS:
            case SA_CHRS: numberFunction(t.strAlt, out); break;
            case SA_LSTR:
            case SA_RSTR:
            case SA_MSTR:
                if (substringFunction(t.strAlt, out)) return;
                break;
            case SA_NUM: abort("TYPE ERROR", "Not String! -{ " + text() + " }", AtToken{w.pc});
            case SA_QSTR: out += text(); fetch(); break;
            default: return;
        }
    }
}

void Walk::continueStringExpression(std::string& out) {
    while (cur().op == OP_PLUS) {
        fetch();
        appendStringFactor(out);
        if (out.size() > kMaxStringBytes)
            abort("Run Error!", "String too long! : " + std::to_string(out.size()) + " bytes", AtToken{w.pc});
    }
}

void Walk::appendStringExpression(std::string& out) {
    if (cur().op != OP_PLUS) appendStringFactor(out);
    continueStringExpression(out);
}

std::string Walk::stringFactor() {
    std::string s;
    appendStringFactor(s);
    return s;
}

std::string Walk::stringExpression() {
    std::string s;
    appendStringExpression(s);
    return s;
}

// --- conditions -------------------------------------------------------------

int32_t Walk::numericComparison(float left, int32_t op) {
    float right = 0.0f;
    uint8_t kind = cur().nameKind;
    if (kind == NK_NUMVAR || kind == NK_NUMARR) right = numericExpression();
    else if (kind == NK_STRARR) stringExpression();  // read, but nothing to compare with
    int32_t cls = cur().cls;
    if (cls == CLS_NUM || cls == CLS_LPAR) right = numericExpression();
    return numericRelation(left, right, compareOp(op));
}

int32_t Walk::stringComparison(const std::string& left, int32_t op) {
    float right = 0.0f;
    uint8_t kind = cur().nameKind;
    if (kind == NK_STRVAR || kind == NK_STRARR) return stringRelation(left, stringExpression(), compareOp(op));
    if (kind == NK_NUMVAR || kind == NK_NUMARR) right = numericExpression();
    int32_t cls = cur().cls;
    if (cls == CLS_NUM || cls == CLS_LPAR) right = numericExpression();
    else if (cls == CLS_QSTR) return stringRelation(left, stringExpression(), compareOp(op));
    return numericRelation(0.0f, right, compareOp(op));
}

int32_t Walk::comparison() {
    uint8_t kind = cur().nameKind;
    if (kind == NK_STRVAR || kind == NK_STRARR) {
        std::string left = stringExpression();
        int32_t op = cur().cls;
        if (!isComparison(op)) return 0;
        fetch();
        return stringComparison(left, op);
    }
    float left = 0.0f;
    if (kind == NK_NUMVAR || kind == NK_NUMARR) left = numericExpression();
    int32_t op = cur().cls;
    if (!isComparison(op)) return 0;
    fetch();
    return numericComparison(left, op);
}

// Comparisons joined by "&" and "|", grouping to the right (a & b | c is
// a & (b | c)); every comparison is evaluated, left to right. Read so far,
// the chain is the function rest -> (rest & keep) | set of the part still
// to come, which each join updates in place.
int32_t Walk::condition() {
    int32_t keep = -1, set = 0, last = comparison();
    for (int32_t join = cur().cls; join == CLS_AMP || join == CLS_BAR; join = cur().cls) {
        if (join == CLS_AMP) keep &= last;
        else set |= last & keep;
        fetch();
        last = comparison();
    }
    return (last & keep) | set;
}

// --- what each token means ---------------------------------------------------

namespace {

Op operatorOf(int32_t cls, std::string_view text) {
    switch (cls) {
        case CLS_PLUS: return OP_PLUS;
        case CLS_MINUS: return OP_MINUS;
        case CLS_STAR: return OP_STAR;
        case CLS_SLASH: return OP_SLASH;
        case CLS_PCT: return OP_PCT;
        // The caret's class is also the STR keyword's code: only the caret
        // itself is "^".
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

void classifyName(Walk& k, int32_t i, Tok& t) {
    const int32_t v = k.varOf(i), a = k.arrOf(i);
    const int32_t vt = k.varType(v), at = k.arrType(a);
    if (k.clsAt(i + 1) != CLS_LBRK) {
        t.ref = v;
        t.numAlt = vt == TYPE_NUM ? NA_NUMVAR : vt == TYPE_PTR ? NA_PTRVAR : NA_NAME;
        if (vt == TYPE_STR) t.strAlt = SA_STRVAR;
    } else {
        t.ref = a;
        t.numAlt = at == TYPE_NUM ? NA_NUMARR : at == TYPE_PTR ? NA_PTRARR : NA_NONE;
        if (at == TYPE_STR) t.strAlt = SA_STRARR;
    }
    // Comparison operands look at the binding, not at what follows.
    if (vt == TYPE_STR) t.nameKind = NK_STRVAR;
    else if (vt == TYPE_NUM || vt == TYPE_PTR) t.nameKind = NK_NUMVAR;
    else if (at == TYPE_STR) t.nameKind = NK_STRARR;
    else if (at == TYPE_NUM || at == TYPE_PTR) t.nameKind = NK_NUMARR;
}

Tok classify(Walk& k, int32_t i) {
    Tok t;
    std::string_view text = k.vm.tokens.textAt(i);
    int32_t cls = k.clsAt(i);
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
        case CLS_NAME: classifyName(k, i, t); break;
        default:
            if (isNumericFunction(t.cls)) t.numAlt = NA_FUNC;
            t.strAlt = stringFunctionAlt(t.cls);
            break;
    }
    return t;
}

// A string literal, string variable, string-array element or string function.
bool isStringOperand(const Tok& t) {
    return t.strAlt == SA_QSTR || t.strAlt == SA_STRVAR || t.strAlt == SA_STRARR ||
           (t.strAlt >= SA_STRS && t.strAlt <= SA_MSTR);
}

}  // namespace

void classifyTokens(Vm& vm, Walker& w) {
    Walk k(vm, w);
    const int32_t n = vm.tokens.count;
    w.run.assign(static_cast<size_t>(n) + 2, Tok{});
    for (int32_t i = 1; i <= n; ++i) w.run[static_cast<size_t>(i)] = classify(k, i);
    for (int32_t i = 1; i <= n; ++i) {
        Tok& t = w.run[static_cast<size_t>(i)];
        t.beforeString = (t.op == OP_PLUS || t.op == OP_MINUS) && isStringOperand(w.run[static_cast<size_t>(i) + 1]);
    }
}

}  // namespace tessel::oracle
