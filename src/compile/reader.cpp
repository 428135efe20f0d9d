#include "compile/reader.h"

#include <string>

namespace tessel {

namespace {

// Deepest nesting an expression may have (groups, subscripts, signs and
// function arguments); deeper, the run is aborted where the limit is met.
constexpr int32_t kMaxNesting = 1000;

// Binary operators, by token.
enum TokenOp : uint8_t { TOP_NONE = 0, TOP_PLUS, TOP_MINUS, TOP_STAR, TOP_SLASH, TOP_PCT, TOP_CARET };

// What the numeric factor does with a token.
enum NumAlt : uint8_t {
    NA_NONE = 0,
    NA_MINUS,   // unary "-": negates the factor that follows
    NA_PLUS,    // unary "+": passes over the sign
    NA_DIGIT,   // text begins with a digit: its value
    NA_LPAR,    // "(" groups a numeric expression
    NA_LBRK,    // "[" groups like "("
    NA_NUMVAR,  // name of a number variable
    NA_PTRVAR,  // name of a pointer variable
    NA_NAME,    // any other name not followed by "[": reads as nothing, used
    NA_NUMARR,  // element of a number array
    NA_PTRARR,  // element of a pointer array
    NA_FUNC,    // numeric function keyword
};

// The order of each numeric factor alternative: after one has used its
// tokens only later alternatives are tried on the token that follows.
constexpr int kFactorOrder[] = {0, 0, 0, 1, 2, 3, 4, 4, 4, 5, 5, 6};

// What the string factor does with a token, in the order the alternatives
// are tried.
enum StrAlt : uint8_t {
    SA_NONE = 0,
    SA_LPAR,    // "(" groups a string expression
    SA_STRVAR,  // name of a string variable
    SA_STRARR,  // element of a string array
    SA_STRS,
    SA_CHRS,
    SA_LSTR,
    SA_RSTR,
    SA_MSTR,
    SA_NUM,     // number literal: a type error
    SA_QSTR,    // string literal
};

// What a name stands for as a comparison operand (its binding, whatever
// follows it).
enum NameKind : uint8_t { NK_NONE = 0, NK_NUMVAR, NK_STRVAR, NK_NUMARR, NK_STRARR };

bool isComparison(int32_t cls) {
    return cls == CLS_EQ || cls == CLS_BANG || cls == CLS_LT || cls == CLS_GT;
}

CompareOp compareOp(int32_t cls) {
    return cls == CLS_EQ ? CMP_EQ : cls == CLS_BANG ? CMP_NE : cls == CLS_LT ? CMP_LT : CMP_GT;
}

ArithOp termOp(uint8_t op) {
    return op == TOP_STAR ? AOP_MUL : op == TOP_SLASH ? AOP_DIV : op == TOP_PCT ? AOP_QUO : AOP_POW;
}

uint8_t stringFunctionAlt(int32_t cls) {
    switch (cls) {
        case KW_STRS: return SA_STRS;
        case KW_CHRS: return SA_CHRS;
        case KW_LSTR: return SA_LSTR;
        case KW_RSTR: return SA_RSTR;
        case KW_MSTR: return SA_MSTR;
        default: return SA_NONE;
    }
}

constexpr uint16_t kCheck = SF_CHECK;
constexpr uint16_t kAssign = SF_ASSIGN;

}  // namespace

Reader::Reader(const TokenStore& tokens, const CheckerState& symbols, Emitter& out)
    : out(out), tokens_(tokens), symbols_(symbols), count_(tokens.count) {
    emptyString_ = out.foldedString(std::string());
}

// --- what a token names ------------------------------------------------------------

int32_t Reader::varOf(int32_t token) const {
    const int32_t v = symbols_.varAt(token);
    return v > 0 && v <= symbols_.varCount() ? v : 0;
}

int32_t Reader::arrOf(int32_t token) const {
    const int32_t a = symbols_.arrayAt(token);
    return a > 0 && a <= symbols_.arrayCount() ? a : 0;
}

float Reader::digitValue(int32_t token) const {
    std::string_view t = text(token);
    if (t.empty() || t[0] < '0' || t[0] > '9') return 0.0f;
    return static_cast<float>(textToNumber(t));
}

uint8_t Reader::numAlt(int32_t token) const {
    const int32_t c = cls(token);
    switch (c) {
        case CLS_MINUS: return NA_MINUS;
        case CLS_PLUS: return NA_PLUS;
        case CLS_LPAR: return NA_LPAR;
        case CLS_LBRK: return NA_LBRK;
        case CLS_NAME:
            if (cls(token + 1) == CLS_LBRK) {
                const int32_t type = arrType(arrOf(token));
                return type == TYPE_NUM ? NA_NUMARR : type == TYPE_PTR ? NA_PTRARR : NA_NONE;
            } else {
                const int32_t type = varType(varOf(token));
                return type == TYPE_NUM ? NA_NUMVAR : type == TYPE_PTR ? NA_PTRVAR : NA_NAME;
            }
        default: break;
    }
    if (isNumericFunction(c)) return NA_FUNC;
    // A number, or a string literal that begins with a digit (which reads as
    // its number too); no other token's text begins with a digit.
    if (c != CLS_NUM && c != CLS_QSTR) return NA_NONE;
    std::string_view t = text(token);
    return !t.empty() && t[0] >= '0' && t[0] <= '9' ? NA_DIGIT : NA_NONE;
}

uint8_t Reader::strAlt(int32_t token) const {
    const int32_t c = cls(token);
    switch (c) {
        case CLS_LPAR: return SA_LPAR;
        case CLS_NUM: return SA_NUM;
        case CLS_QSTR: return SA_QSTR;
        case CLS_NAME:
            if (cls(token + 1) == CLS_LBRK) return arrType(arrOf(token)) == TYPE_STR ? SA_STRARR : SA_NONE;
            return varType(varOf(token)) == TYPE_STR ? SA_STRVAR : SA_NONE;
        default: return stringFunctionAlt(c);
    }
}

uint8_t Reader::nameKind(int32_t token) const {
    if (cls(token) != CLS_NAME) return NK_NONE;
    const int32_t vt = varType(varOf(token)), at = arrType(arrOf(token));
    if (vt == TYPE_STR) return NK_STRVAR;
    if (vt == TYPE_NUM || vt == TYPE_PTR) return NK_NUMVAR;
    if (at == TYPE_STR) return NK_STRARR;
    if (at == TYPE_NUM || at == TYPE_PTR) return NK_NUMARR;
    return NK_NONE;
}

uint8_t Reader::opOf(int32_t token) const {
    switch (cls(token)) {
        case CLS_PLUS: return TOP_PLUS;
        case CLS_MINUS: return TOP_MINUS;
        case CLS_STAR: return TOP_STAR;
        case CLS_SLASH: return TOP_SLASH;
        case CLS_PCT: return TOP_PCT;
        // The caret's class is also the STR keyword's code: only the caret
        // itself is "^".
        case CLS_CARET: return text(token) == "^" ? TOP_CARET : TOP_NONE;
        default: return TOP_NONE;
    }
}

// A "+" or "-" before a string operand ends a numeric expression, so that
// STRS(5) + "A" concatenates.
bool Reader::beforeString(int32_t token) const {
    const uint8_t next = strAlt(token + 1);
    return next == SA_QSTR || next == SA_STRVAR || next == SA_STRARR || (next >= SA_STRS && next <= SA_MSTR);
}

// --- nesting and aborts -------------------------------------------------------------

bool Reader::enterNesting() {
    if (depth_ >= kMaxNesting) {
        abortHere(ABORT_TOO_DEEP);
        return false;
    }
    ++depth_;
    return true;
}

void Reader::abortHere(uint16_t kind) {
    out.emit(pos, OP_ABORT, pos, 0, 0, kind);
    dead = true;
}

void Reader::beginStatement() {
    dead = false;
    depth_ = 0;
}

// --- numbers -------------------------------------------------------------------------

int32_t Reader::inRegister(Num n) {
    if (!n.isConst) return n.reg;
    const int32_t reg = out.numTemp();
    out.emit(pos, OP_MOVK, reg, floatBits(n.k));
    return reg;
}

void Reader::moveTo(int32_t reg, Num n) {
    if (n.isConst) out.emit(pos, OP_MOVK, reg, floatBits(n.k));
    else if (n.reg != reg) out.emit(pos, OP_MOV, reg, n.reg);
}

void Reader::release(Num n) {
    if (!n.isConst && out.isNumTemp(n.reg)) out.freeNum(n.reg);
}

// The register a result of l and r goes to: a temporary one of them lives
// in (the other given back), or a new one.
int32_t Reader::destination(Num l, Num r) {
    const bool lt = !l.isConst && out.isNumTemp(l.reg), rt = !r.isConst && out.isNumTemp(r.reg);
    if (lt) {
        if (rt) out.freeNum(r.reg);
        return l.reg;
    }
    if (rt) return r.reg;
    return out.numTemp();
}

Num Reader::binary(ArithOp op, Num l, Num r) {
    if (l.isConst && r.isConst) return Num::constant(arith(op, l.k, r.k));
    const int32_t dst = destination(l, r);
    const int32_t k = static_cast<int32_t>(op);  // the six instructions of each form are in ArithOp's order
    if (!l.isConst && !r.isConst) out.emit(pos, static_cast<uint8_t>(OP_ADD + k), dst, l.reg, r.reg);
    else if (!l.isConst) out.emit(pos, static_cast<uint8_t>(OP_ADDK + k), dst, l.reg, floatBits(r.k));
    else out.emit(pos, static_cast<uint8_t>(OP_KADD + k), dst, floatBits(l.k), r.reg);
    return Num::inReg(dst);
}

Num Reader::negate(Num v) {
    if (v.isConst) return Num::constant(-v.k);
    const int32_t dst = out.isNumTemp(v.reg) ? v.reg : out.numTemp();
    out.emit(pos, OP_NEG, dst, v.reg);
    return Num::inReg(dst);
}

// An optional leading sign, then terms joined by "+" and "-".
Num Reader::numericExpression() {
    if (dead) return {};
    Num v;
    const uint8_t first = opOf(pos);
    if (first == TOP_MINUS) {
        // A leading "-" negates the whole first term: -2^2 is -4.
        fetch();
        v = numericTerm();
        if (dead) return {};
        v = negate(v);
    } else if (first == TOP_PLUS) {
        v = Num::constant(0.0f);  // the "+" is read below as an addition to 0
    } else {
        v = numericTerm();
        if (dead) return {};
    }
    for (;;) {
        const uint8_t o = opOf(pos);
        if ((o != TOP_PLUS && o != TOP_MINUS) || beforeString(pos)) return v;
        fetch();
        const Num f = numericTerm();
        if (dead) return {};
        v = binary(o == TOP_PLUS ? AOP_ADD : AOP_SUB, v, f);
    }
}

// Factors joined by "*", "/", "%" and "^", from the left.
Num Reader::numericTerm() {
    Num v = numericFactor();
    for (;;) {
        if (dead) return {};
        const uint8_t op = opOf(pos);
        if (op != TOP_STAR && op != TOP_SLASH && op != TOP_PCT && op != TOP_CARET) return v;
        fetch();
        const Num f = numericFactor();
        if (dead) return {};
        v = binary(termOp(op), v, f);
    }
}

// "(" or "[" groups a numeric expression; the closing token is passed over
// without looking at it.
Num Reader::groupFactor() {
    if (!enterNesting()) return {};
    fetch();
    const Num v = numericExpression();
    if (dead) return {};
    fetch();
    leaveNesting();
    return v;
}

// The subscript of an element: a whole expression up to the closing bracket.
Num Reader::subscript() {
    if (!enterNesting()) return {};
    fetch();
    fetch();
    const Num index = numericExpression();
    if (dead) return {};
    fetch();
    leaveNesting();
    return index;
}

// A built-in function; the current token is its keyword.
Num Reader::functionFactor(int32_t code) {
    if (!enterNesting()) return {};
    fetch();
    Num v;
    if (code == KW_VAL || code == KW_LEN) {
        const int32_t s = stringOperand();
        if (dead) return {};
        if (s < 0) {
            std::string_view k = out.constantText(s);
            v = Num::constant(code == KW_VAL ? static_cast<float>(textToNumber(k)) : static_cast<float>(k.size()));
        } else {
            v = Num::inReg(out.numTemp());
            out.emit(pos, code == KW_VAL ? OP_VAL : OP_LEN, v.reg, s);
        }
    } else {
        const Num x = numericFactor();
        if (dead) return {};
        if (code == KW_RND) {
            v = Num::inReg(!x.isConst && out.isNumTemp(x.reg) ? x.reg : out.numTemp());
            out.emit(pos, OP_RND, v.reg);
        } else if (code == KW_RAND) {
            const int32_t arg = inRegister(x);
            v = Num::inReg(out.isNumTemp(arg) ? arg : out.numTemp());
            out.emit(pos, OP_RAND, v.reg, arg);
        } else if (x.isConst) {
            v = Num::constant(pureFunction(code, x.k));
        } else {
            v = Num::inReg(out.isNumTemp(x.reg) ? x.reg : out.numTemp());
            out.emit(pos, OP_FN, v.reg, x.reg, 0, static_cast<uint16_t>(code));
        }
    }
    leaveNesting();
    return v;
}

Num Reader::numericFactor() {
    if (dead) return {};
    const uint8_t sign = numAlt(pos);
    if (sign == NA_MINUS || sign == NA_PLUS) {
        // A unary sign: "-" negates the factor that follows, "+" passes
        // over itself.
        if (!enterNesting()) return {};
        fetch();
        const Num v = numericFactor();
        if (dead) return {};
        leaveNesting();
        return sign == NA_MINUS ? negate(v) : v;
    }
    Num v = Num::constant(0.0f);
    int last = 0;
    for (;;) {
        const uint8_t alt = numAlt(pos);
        const int order = kFactorOrder[alt];
        if (order <= last) return v;
        last = order;
        switch (alt) {
            case NA_DIGIT:
                v = Num::constant(digitValue(pos));
                fetch();
                break;
            case NA_LPAR:
            case NA_LBRK: v = groupFactor(); break;
            case NA_NUMVAR:
                v = Num::inReg(varOf(pos));
                fetch();
                break;
            case NA_PTRVAR:
                v = Num::inReg(out.numTemp());
                out.emit(pos, OP_MOVP, v.reg, varOf(pos));
                fetch();
                break;
            case NA_NAME: fetch(); break;  // the value stays as it was
            case NA_NUMARR:
            case NA_PTRARR: {
                const int32_t a = arrOf(pos);
                const Num index = subscript();
                if (dead) return {};
                const int32_t i = inRegister(index);
                v = Num::inReg(out.isNumTemp(i) ? i : out.numTemp());
                out.emit(pos, alt == NA_NUMARR ? OP_LDEL : OP_LDELP, v.reg, a, i);
                break;
            }
            case NA_FUNC: v = functionFactor(cls(pos)); break;
            default: return v;
        }
        if (dead) return {};
    }
}

// --- strings -----------------------------------------------------------------------

int32_t Reader::builtOperand(const Builder& b) {
    switch (b.state) {
        case Builder::EMPTY: return emptyString_;
        case Builder::SINGLE: return b.operand;
        default: return b.reg;
    }
}

// Appends s(operand) to the built string.
void Reader::append(Builder& b, int32_t operand, bool check) {
    const uint16_t flags = check ? kCheck : 0;
    switch (b.state) {
        case Builder::EMPTY:
            if (!check) {
                b.state = Builder::SINGLE;
                b.operand = operand;
                return;
            }
            b.reg = out.strTemp();
            out.emit(pos, OP_SSET, b.reg, operand, 0, flags);
            break;
        case Builder::SINGLE:
            b.reg = out.strTemp();
            out.emit(pos, OP_SSET, b.reg, b.operand);
            out.emit(pos, OP_SAPP, b.reg, operand, 0, flags);
            break;
        default: out.emit(pos, OP_SAPP, b.reg, operand, 0, flags); break;
    }
    b.state = Builder::REG;
}

// Appends with one of the instructions that compute what they append
// (an element, a number's text, a byte, a substring).
void Reader::appendWith(Builder& b, uint8_t op, int32_t operandB, int32_t operandC, uint16_t flags) {
    if (b.state == Builder::EMPTY) {
        b.reg = out.strTemp();
        flags |= kAssign;
    } else if (b.state == Builder::SINGLE) {
        b.reg = out.strTemp();
        out.emit(pos, OP_SSET, b.reg, b.operand);
    }
    b.state = Builder::REG;
    out.emit(pos, op, b.reg, operandB, operandC, flags);
}

// A count or start of LSTR, RSTR or MSTR: one token (a number literal, a
// number or pointer variable), negated by a "-" before it; any other token
// gives 0. Its two aux entries are appended.
int32_t Reader::smallArgument() {
    const bool negate = cls(pos) == CLS_MINUS;
    if (negate) fetch();
    int32_t kind = SMALL_CONST, value = 0;
    const uint8_t alt = numAlt(pos);
    if (cls(pos) == CLS_NUM) {
        const double v = digitValue(pos);
        value = toInt32(negate ? -v : v);
    } else if (alt == NA_NUMVAR) {
        kind = negate ? SMALL_NEGNUM : SMALL_NUM;
        value = varOf(pos);
    } else if (alt == NA_PTRVAR) {
        kind = negate ? SMALL_NEGPTR : SMALL_PTR;
        value = varOf(pos);
    }
    fetch();
    out.aux().push_back(kind);
    out.aux().push_back(value);
    return kind;
}

// LSTR, RSTR or MSTR on its keyword; false (and nothing appended) when a ","
// is missing. The closing parenthesis is passed over, so concatenation goes
// on after it.
bool Reader::substringFunction(uint8_t alt, Builder& b) {
    fetch();
    fetch();
    int32_t source = emptyString_;
    const uint8_t s = strAlt(pos);
    if (s == SA_STRVAR) source = varOf(pos);
    else if (s == SA_QSTR) source = out.stringConstant(text(pos));
    fetch();
    if (cls(pos) != CLS_COMMA) return false;
    fetch();
    const int32_t args = static_cast<int32_t>(out.aux().size());
    bool known = smallArgument() == SMALL_CONST && source < 0;
    if (alt == SA_MSTR) {
        if (cls(pos) != CLS_COMMA) {
            out.aux().resize(static_cast<size_t>(args));
            return false;
        }
        fetch();
        known = smallArgument() == SMALL_CONST && known;
    }
    const int32_t kind = alt - SA_LSTR;
    if (known) {
        // A constant source with constant arguments: the part is known.
        const std::vector<int32_t>& aux = out.aux();
        std::string_view text = out.constantText(source);
        const int32_t first = aux[static_cast<size_t>(args) + 1];
        std::string_view part = alt == SA_LSTR   ? leftPart(text, first)
                                : alt == SA_RSTR ? rightPart(text, first)
                                                 : middlePart(text, first, aux[static_cast<size_t>(args) + 3]);
        std::string folded(part);
        out.aux().resize(static_cast<size_t>(args));
        append(b, out.foldedString(std::move(folded)), false);
    } else {
        appendWith(b, OP_SAPPSUB, source, args, static_cast<uint16_t>(kind << 2));
    }
    fetch();
    return true;
}

// STRS and CHRS take a whole numeric expression.
void Reader::numberFunction(uint8_t alt, Builder& b) {
    if (!enterNesting()) return;
    fetch();
    const Num v = numericExpression();
    if (dead) return;
    leaveNesting();
    if (v.isConst) {
        std::string text;
        if (alt == SA_STRS) appendNumberText(text, v.k);
        else text.push_back(static_cast<char>(toInt32(v.k) & 0xFF));
        append(b, out.foldedString(std::move(text)), false);
    } else {
        appendWith(b, alt == SA_STRS ? OP_SAPPNUM : OP_SAPPCHR, v.reg, 0, 0);
    }
}

// One string factor appended to the built string. When several
// alternatives match in turn, the last one's value is what the factor
// gives: the built string is cut back before each further one.
void Reader::stringFactor(Builder& b) {
    if (dead) return;
    const Builder before = b;
    const int32_t startsAt = out.size();
    int32_t baseLength = -1;  // integer register with the length before, once needed
    int last = 0;
    for (;;) {
        const uint8_t alt = strAlt(pos);
        const int order = alt;  // the alternatives are numbered in their order
        if (order <= last) return;
        if (last != 0) {
            if (before.state == Builder::REG) {
                if (baseLength < 0) {
                    baseLength = out.intTemp();
                    out.insert(startsAt, pos, OP_SLENGTH, baseLength, before.reg);
                }
                out.emit(pos, OP_SCUT, before.reg, baseLength);
            }
            b = before;
        }
        last = order;
        switch (alt) {
            case SA_LPAR:
                if (!enterNesting()) return;
                fetch();
                stringExpression(b);
                if (dead) return;
                fetch();
                leaveNesting();
                break;
            case SA_STRVAR:
                append(b, varOf(pos), false);
                fetch();
                break;
            case SA_STRARR: {
                const int32_t a = arrOf(pos);
                if (!enterNesting()) return;
                fetch();
                fetch();
                const Num index = numericExpression();
                if (dead) return;
                leaveNesting();
                appendWith(b, OP_SAPPEL, a, inRegister(index), 0);
                fetch();
                break;
            }
            case SA_STRS:
            case SA_CHRS: numberFunction(alt, b); break;
            case SA_LSTR:
            case SA_RSTR:
            case SA_MSTR:
                if (substringFunction(alt, b)) return;
                break;
            case SA_NUM: abortHere(ABORT_NOT_STRING); return;
            case SA_QSTR:
                append(b, out.stringConstant(text(pos)), false);
                fetch();
                break;
            default: return;
        }
        if (dead) return;
    }
}

// After a "+ factor": the built string's length is checked; a string too
// long is reported at the token after the factor. The last append checks
// when it can report there: it begins no statement, or it was read there.
void Reader::checkLength(Builder& b) {
    if (dead || b.state == Builder::EMPTY) return;
    if (b.state == Builder::SINGLE) {
        const int32_t operand = b.operand;
        b.state = Builder::EMPTY;
        append(b, operand, true);
        return;
    }
    const int32_t index = out.size() - 1;
    Instr& last = out.at(index);
    const bool appends = last.op == OP_SSET || last.op == OP_SAPP || last.op == OP_SAPPEL ||
                         last.op == OP_SAPPNUM || last.op == OP_SAPPCHR || last.op == OP_SAPPSUB;
    if (appends && last.a == b.reg && (last.ticks == 0 || out.tokenOf(index) == pos)) {
        last.x |= kCheck;
        out.setToken(index, pos);
    } else {
        out.emit(pos, OP_SCHECK, b.reg);
    }
}

void Reader::continueStringExpression(Builder& b) {
    while (!dead && opOf(pos) == TOP_PLUS) {
        fetch();
        stringFactor(b);
        checkLength(b);
    }
}

// An optional first factor, then "+ factor" pairs; a leading "+" starts
// from the empty string.
void Reader::stringExpression(Builder& b) {
    if (dead) return;
    if (opOf(pos) != TOP_PLUS) stringFactor(b);
    continueStringExpression(b);
}

int32_t Reader::stringOperand() {
    Builder b;
    stringFactor(b);
    return builtOperand(b);
}

// --- conditions ----------------------------------------------------------------------

Truth Reader::numericTruth(Num l, Num r, CompareOp op) {
    Truth t;
    if (l.isConst && r.isConst) {
        t.value = numericRelation(l.k, r.k, op);
        return t;
    }
    t.kind = Truth::NUMCMP;
    t.op = op;
    t.left = l;
    t.right = r;
    return t;
}

Truth Reader::stringTruth(int32_t l, int32_t r, CompareOp op) {
    Truth t;
    if (l < 0 && r < 0) {
        t.value = stringRelation(out.constantText(l), out.constantText(r), op);
        return t;
    }
    t.kind = Truth::STRCMP;
    t.op = op;
    t.sleft = l;
    t.sright = r;
    return t;
}

// The right operand of a comparison whose left operand was a number.
Truth Reader::numericComparison(Num left, CompareOp op) {
    Num right = Num::constant(0.0f);
    const uint8_t kind = nameKind(pos);
    if (kind == NK_NUMVAR || kind == NK_NUMARR) {
        right = numericExpression();
    } else if (kind == NK_STRARR) {
        Builder ignored;  // read, but nothing to compare with
        stringExpression(ignored);
    }
    if (dead) return {};
    const int32_t c = cls(pos);
    if (c == CLS_NUM || c == CLS_LPAR) right = numericExpression();
    if (dead) return {};
    return numericTruth(left, right, op);
}

// The right operand of a comparison whose left operand was a string. A
// string variable, element or literal there compares texts; anything else
// compares numbers, the left side counting 0.
Truth Reader::stringComparison(int32_t left, CompareOp op) {
    const uint8_t kind = nameKind(pos);
    if (kind == NK_STRVAR || kind == NK_STRARR) {
        Builder r;
        stringExpression(r);
        return dead ? Truth{} : stringTruth(left, builtOperand(r), op);
    }
    Num right = Num::constant(0.0f);
    if (kind == NK_NUMVAR || kind == NK_NUMARR) right = numericExpression();
    if (dead) return {};
    const int32_t c = cls(pos);
    if (c == CLS_NUM || c == CLS_LPAR) {
        right = numericExpression();
    } else if (c == CLS_QSTR) {
        Builder r;
        stringExpression(r);
        return dead ? Truth{} : stringTruth(left, builtOperand(r), op);
    }
    if (dead) return {};
    return numericTruth(Num::constant(0.0f), right, op);
}

// One comparison. The left operand must start with a variable or an
// element; otherwise nothing is read and the comparison is false.
Truth Reader::comparison() {
    const uint8_t kind = nameKind(pos);
    if (kind == NK_STRVAR || kind == NK_STRARR) {
        Builder l;
        stringExpression(l);
        if (dead) return {};
        const int32_t c = cls(pos);
        if (!isComparison(c)) return Truth{};
        fetch();
        return stringComparison(builtOperand(l), compareOp(c));
    }
    Num left = Num::constant(0.0f);
    if (kind == NK_NUMVAR || kind == NK_NUMARR) left = numericExpression();
    if (dead) return {};
    const int32_t c = cls(pos);
    if (!isComparison(c)) return Truth{};
    fetch();
    return numericComparison(left, compareOp(c));
}

int32_t Reader::truthRegister(const Truth& t) {
    switch (t.kind) {
        case Truth::CONST: return inRegister(Num::constant(static_cast<float>(t.value)));
        case Truth::REG: return t.reg;
        case Truth::STRCMP: {
            const int32_t dst = out.numTemp();
            out.emit(pos, OP_SCMP, dst, t.sleft, t.sright, t.op);
            return dst;
        }
        default: break;
    }
    Num l = t.left, r = t.right;
    CompareOp op = t.op;
    if (l.isConst) {
        std::swap(l, r);
        op = mirror(op);
    }
    const int32_t dst = destination(l, r);
    if (r.isConst) out.emit(pos, OP_CMPK, dst, l.reg, floatBits(r.k), op);
    else out.emit(pos, OP_CMP, dst, l.reg, r.reg, op);
    return dst;
}

// l & r (`both`) or l | r, folded where a side is known.
Truth Reader::join(const Truth& l, const Truth& r, bool both) {
    if (l.kind == Truth::CONST && r.kind == Truth::CONST) {
        Truth t;
        t.value = both ? (l.value & r.value) : (l.value | r.value);
        return t;
    }
    Truth t;
    t.kind = Truth::REG;
    const int32_t lr = truthRegister(l), rr = truthRegister(r);
    t.reg = out.isNumTemp(lr) ? lr : out.isNumTemp(rr) ? rr : out.numTemp();
    out.emit(pos, both ? OP_AND : OP_OR, t.reg, lr, rr);
    return t;
}

// Comparisons joined by "&" and "|": every comparison is read (and its
// operands computed) left to right, then the results are joined from the
// right: a & b | c is a & (b | c).
Truth Reader::condition() {
    if (dead) return {};
    std::vector<Truth> parts{comparison()};
    std::vector<bool> ands;
    for (int32_t c = cls(pos); !dead && (c == CLS_AMP || c == CLS_BAR); c = cls(pos)) {
        ands.push_back(c == CLS_AMP);
        fetch();
        parts.push_back(comparison());
    }
    if (dead) return {};
    Truth t = parts.back();
    for (size_t i = parts.size() - 1; i-- > 0;) t = join(parts[i], t, ands[i]);
    return t;
}

}  // namespace tessel
