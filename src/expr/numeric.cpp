// Numeric expressions: the additive level, the multiplicative level and the
// factor with the built-in numeric functions, over the run tables.
#include <cmath>

#include "expr/cursor.h"

namespace tessel {

namespace {

// "%": the quotient truncated toward zero (not the remainder).
float truncatedQuotient(float a, float b) {
    if (std::fabs(a) < 0x1p24f && std::fabs(b) < 0x1p24f) {
        // Whole operands below 2^24 (the usual case, i % 2). An exact
        // quotient that is not whole lies at least 1/|b| from every integer;
        // the single-precision quotient is off by at most 2^-24 |a/b|, which
        // is less than 1/|b| because |a| < 2^24. So truncating the rounded
        // quotient truncates the exact one (and the quicker division does).
        int32_t ia = static_cast<int32_t>(a);
        int32_t ib = static_cast<int32_t>(b);
        if (static_cast<float>(ia) == a && static_cast<float>(ib) == b && ib != 0) {
            int32_t t = static_cast<int32_t>(a / b);  // |a / b| <= |a|: in range
            if (t != 0) return static_cast<float>(t);  // (a zero keeps its sign below)
        }
    }
    double q = static_cast<double>(a) / static_cast<double>(b);
    if (!std::isfinite(q)) return static_cast<float>(q);
    // Below 2^62 the integer conversion truncates without a library call.
    double t = std::fabs(q) < 0x1p62 ? static_cast<double>(static_cast<int64_t>(q)) : std::trunc(q);
    if (t == 0.0) t = std::copysign(0.0, q);
    // The rounded quotient may reach an integer the exact one falls short of;
    // the exact remainder's sign tells.
    if (t == 0.0) return static_cast<float>(t);
    // Rounding is monotonic and keeps integers: a rounded quotient with a
    // fraction lies strictly between the same two integers as the exact one.
    if (t != q) return static_cast<float>(t);
    if (std::fabs(t) < 0x1p28) {
        // t * b is exact here: 28 + 24 bits fit a double.
        if (std::fabs(t * b) > std::fabs(static_cast<double>(a))) t -= std::copysign(1.0, t);
    } else {
        double r = std::fma(-t, static_cast<double>(b), static_cast<double>(a));
        if (r != 0.0 && std::signbit(r) != std::signbit(a)) t -= std::copysign(1.0, t);
    }
    return static_cast<float>(t);
}

// "^": |a| to the power b through the base-2 logarithm, negated for an odd
// integer part of b and a negative a. A zero base gives the usual powers.
float power(float a, float b) {
    double bd = b;
    long double mag;
    if (a == 0.0f) {
        mag = std::pow(0.0, bd);
    } else {
        long double lg = std::log2(std::fabs(static_cast<long double>(a)));
        mag = std::exp2(static_cast<long double>(bd) * lg);
    }
    bool odd = std::isfinite(bd) && std::fmod(std::trunc(bd), 2.0) != 0.0;
    if (odd && std::signbit(a)) mag = -mag;
    return static_cast<float>(mag);
}

float applyFunction(Interpreter& in, int32_t code, float x) {
    double d = x;
    switch (code) {
        case KW_RND: return rndStep(in.expr);
        case KW_RAND: return static_cast<float>(randStep(in.expr, toInt32(d)));
        case KW_SIN: return static_cast<float>(std::sin(d));
        case KW_COS: return static_cast<float>(std::cos(d));
        case KW_TAN: return static_cast<float>(std::tan(d));
        case KW_ATAN: return static_cast<float>(std::atan(d));
        case KW_ABS: return std::fabs(x);
        case KW_SQR: return static_cast<float>(std::sqrt(d));
        case KW_LOG: return static_cast<float>(std::log(d));
        case KW_ROUND: return std::nearbyint(x);
        case KW_INT: return static_cast<float>(toInt32(d));
        case KW_FRAC: return x - std::trunc(x);
        default: return 0.0f;
    }
}

// A built-in function; the current token is its keyword.
float functionFactor(Interpreter& in, int32_t code) {
    NestGuard guard(in);
    fetch(in);
    if (code == KW_VAL) return static_cast<float>(textToNumber(stringFactor(in)));
    if (code == KW_LEN) return static_cast<float>(stringFactor(in).size());
    return applyFunction(in, code, numericFactor(in));
}

// "(" or "[" groups a numeric expression; the closing token is passed over
// without looking at it.
float groupFactor(Interpreter& in) {
    NestGuard guard(in);
    fetch(in);
    float v = numericExpression(in);
    fetch(in);
    return v;
}

// The subscript of an element: a whole expression up to the closing bracket.
int32_t subscript(Interpreter& in) {
    NestGuard guard(in);
    fetch(in);
    fetch(in);
    int32_t index = toInt32(numericExpression(in));
    fetch(in);
    return index;
}

// A unary sign: "-" negates the factor that follows, "+" passes over itself.
float signedFactor(Interpreter& in, bool negate) {
    NestGuard guard(in);
    fetch(in);
    float v = numericFactor(in);
    return negate ? -v : v;
}

// One factor, reading a lone literal or number variable directly.
inline float factorValue(Interpreter& in) {
    const RunToken& t = current(in);
    if (t.flags & RF_LITERAL) {
        ++in.exec.pc;  // a real token: the step stays inside the store
        return t.num;
    }
    if (t.flags & RF_NUMVAR) {
        ++in.exec.pc;
        return in.checker.vars[t.ref].num;
    }
    return numericFactor(in);
}

// v op f for the four term operators, rounded to single as the term keeps it.
inline float applyTermOperator(uint8_t op, float v, float f) {
    switch (op) {
        case OP_STAR: return v * f;
        case OP_SLASH: return static_cast<float>(static_cast<double>(v) / static_cast<double>(f));
        case OP_PCT: return truncatedQuotient(v, f);
        default: return power(v, f);
    }
}

// The value of a whole-factor token (RF_LITERAL or RF_NUMVAR).
inline float wholeFactorValue(const Interpreter& in, const RunToken& t) {
    return (t.flags & RF_LITERAL) ? t.num : in.checker.vars[t.ref].num;
}

inline float numericTerm(Interpreter& in) {
    const RunToken& first = current(in);
    if (first.flags & RF_TERM2) {
        // "a op b" and nothing more: the factors and operator are the three
        // tokens from here.
        const RunToken* t = &first;
        float v = applyTermOperator(t[1].op, wholeFactorValue(in, t[0]), wholeFactorValue(in, t[2]));
        in.exec.pc += 3;
        return v;
    }
    float v = factorValue(in);
    for (;;) {
        uint8_t op = current(in).op;
        if (op != OP_STAR && op != OP_SLASH && op != OP_PCT && op != OP_CARET) return v;
        fetch(in);
        v = applyTermOperator(op, v, factorValue(in));
    }
}

// The value of the two-operand term or sum that starts at t.
inline float twoOperandValue(const Interpreter& in, const RunToken* t) {
    float a = wholeFactorValue(in, t[0]);
    float b = wholeFactorValue(in, t[2]);
    switch (t[1].op) {
        case OP_PLUS: return a + b;
        case OP_MINUS: return a - b;
        default: return applyTermOperator(t[1].op, a, b);
    }
}

}  // namespace

float numericFactor(Interpreter& in) {
    const RunToken* t = &current(in);
    if ((t->flags & (RF_GROUP3 | RF_ELEMENT)) && in.expr.depth < kMaxExprDepth) {
        // "(a op b)" or "a[x]" in one step (at the nesting limit the general
        // way reports).
        if (t->flags & RF_GROUP3) {
            in.exec.pc += 5;
            return twoOperandValue(in, t + 1);
        }
        in.exec.pc += 4;
        return readNumberElement(in, t->ref, toInt32(wholeFactorValue(in, t[2])));
    }
    if (t->numAlt == NA_MINUS || t->numAlt == NA_PLUS)
        return signedFactor(in, t->numAlt == NA_MINUS);
    float v = 0.0f;
    int last = 0;
    for (;;) {
        int order = factorOrder(t->numAlt);
        if (order <= last) return v;
        last = order;
        switch (t->numAlt) {
            case NA_DIGIT: v = t->num; fetch(in); break;
            case NA_LPAR:
            case NA_LBRK: v = groupFactor(in); break;
            case NA_NUMVAR: v = in.checker.vars[t->ref].num; fetch(in); break;
            case NA_PTRVAR: v = static_cast<float>(in.checker.vars[t->ref].ptr); fetch(in); break;
            case NA_NAME: fetch(in); break;
            case NA_NUMARR: {
                int32_t a = t->ref;
                v = readNumberElement(in, a, subscript(in));
                break;
            }
            case NA_PTRARR: {
                int32_t a = t->ref;
                v = static_cast<float>(readPointerElement(in, a, subscript(in)));
                break;
            }
            case NA_FUNC: v = functionFactor(in, t->cls); break;
            default: return v;
        }
        t = &current(in);
    }
}

namespace {

// The general expression: an optional leading sign, then terms joined by
// "+" and "-".
[[gnu::noinline]] float longNumericExpression(Interpreter& in) {
    float v;
    const RunToken& first = current(in);
    if (first.op == OP_MINUS) {
        // A leading "-" negates the whole first term: -2^2 is -4.
        fetch(in);
        v = -numericTerm(in);
    } else if (first.op == OP_PLUS) {
        v = 0.0f;  // the "+" is read below as an addition to 0
    } else {
        v = numericTerm(in);
    }
    for (;;) {
        const RunToken& o = current(in);
        // A sign before a string operand ends the expression: STRS(5) + "A".
        if ((o.op != OP_PLUS && o.op != OP_MINUS) || (o.flags & RF_BEFORE_STRING)) return v;
        bool add = o.op == OP_PLUS;
        fetch(in);
        float f = numericTerm(in);
        v = add ? v + f : v - f;
    }
}

}  // namespace

// The commonest shapes are read here in one step; the general case is a
// separate function so that these pay for no register saving.
float numericExpression(Interpreter& in) {
    const RunToken& first = current(in);
    if (first.flags & RF_ALONE) {
        // The whole expression is one literal or variable (x < 10, a[i]).
        ++in.exec.pc;
        return wholeFactorValue(in, first);
    }
    if (first.flags & RF_SUM2) {
        // "a + b" or "a - b" and nothing more.
        const RunToken* t = &first;
        float a = wholeFactorValue(in, t[0]);
        float b = wholeFactorValue(in, t[2]);
        in.exec.pc += 3;
        return t[1].op == OP_PLUS ? a + b : a - b;
    }
    if (first.flags & RF_TERM2) {
        // "a op b" with a term operator, when no sign continues the sum.
        const RunToken& after = (&first)[3];
        if ((after.op != OP_PLUS && after.op != OP_MINUS) || (after.flags & RF_BEFORE_STRING)) {
            in.exec.pc += 3;
            return twoOperandValue(in, &first);
        }
    }
    return longNumericExpression(in);
}

float rndStep(ExprState& ex) {
    uint32_t s = ex.rndState;
    s = ((s << 7) | (s >> 25)) * 13u;
    ex.rndState = s;
    double magnitude = std::fabs(static_cast<double>(static_cast<int32_t>(s)));
    return static_cast<float>(magnitude * 0x1p-31);
}

int32_t randStep(ExprState& ex, int32_t n) {
    int32_t lo = n < 0 ? n : 0;
    int32_t hi = n < 0 ? 0 : n;
    uint32_t count = static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo) + 1u;
    ex.randState = ex.randState * 134775813u + 1u;
    uint64_t offset = (static_cast<uint64_t>(count) * ex.randState) >> 32;
    return static_cast<int32_t>(static_cast<int64_t>(lo) + static_cast<int64_t>(offset));
}

}  // namespace tessel
