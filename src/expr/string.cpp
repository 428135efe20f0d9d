// String expressions: concatenation and the string factor with STRS, CHRS,
// LSTR, RSTR and MSTR. Factors append to the running string in place so that
// reading a variable or a literal copies its bytes once.
#include <string>
#include <string_view>

#include "expr/cursor.h"

namespace tessel {

namespace {

// Order of each string factor alternative (see the numeric factor).
constexpr int kStringOrder[] = {
    0,   // SA_NONE
    1,   // SA_LPAR
    2,   // SA_STRVAR
    3,   // SA_STRARR
    4,   // SA_STRS
    5,   // SA_CHRS
    6,   // SA_LSTR
    7,   // SA_RSTR
    8,   // SA_MSTR
    9,   // SA_NUM
    10,  // SA_QSTR
};

void appendStringExpression(Vm& vm, std::string& out);

[[noreturn]] void notString(Vm& vm) {
    abortRun(vm, "TYPE ERROR", "Not String! -{ " + std::string(vm.tokens.textAt(vm.exec.pc)) + " }", AtToken{vm.exec.pc});
}

// The source of LSTR, RSTR and MSTR: a string variable or a string literal.
std::string_view substringSource(const Vm& vm) {
    const RunToken& t = current(vm);
    if (t.strAlt == SA_STRVAR) return vm.memory.vars[t.ref].str;
    if (t.strAlt == SA_QSTR) return vm.tokens.textAt(vm.exec.pc);
    return {};
}

// A count or start: one token (a number literal, a number or pointer
// variable), negated by a "-" before it; any other token gives 0.
int32_t smallArgument(Vm& vm) {
    bool negate = current(vm).cls == CLS_MINUS;
    if (negate) fetch(vm);
    const RunToken& t = current(vm);
    double v = 0.0;
    if (t.cls == CLS_NUM) v = t.num;
    else if (t.numAlt == NA_NUMVAR) v = vm.memory.vars[t.ref].num;
    else if (t.numAlt == NA_PTRVAR) v = vm.memory.vars[t.ref].ptr;
    fetch(vm);
    return toInt32(negate ? -v : v);
}

// Passes over a "," between arguments; false when the token is no ",".
bool passComma(Vm& vm) {
    if (current(vm).cls != CLS_COMMA) return false;
    fetch(vm);
    return true;
}

std::string_view leftPart(std::string_view s, int32_t n) {
    if (n <= 0) return {};
    return s.substr(0, static_cast<size_t>(n));
}

std::string_view rightPart(std::string_view s, int32_t n) {
    int64_t len = static_cast<int64_t>(s.size());
    if (n == 0) return s;
    if (n > 0) return n >= len ? s : s.substr(static_cast<size_t>(len - n));
    int64_t from = -static_cast<int64_t>(n);  // 1-based position
    return from > len ? std::string_view() : s.substr(static_cast<size_t>(from - 1));
}

std::string_view middlePart(std::string_view s, int32_t start, int32_t count) {
    int64_t len = static_cast<int64_t>(s.size());
    int64_t p = start;
    if (p == 0) p = 1;
    if (p < 0) p = len + 1 + p;
    if (p < 1) p = 1;
    if (p > len || count <= 0) return {};
    return s.substr(static_cast<size_t>(p - 1), static_cast<size_t>(count));
}

// LSTR, RSTR or MSTR on its keyword. Appends the result and returns true, or
// returns false (nothing appended) when a "," is missing.
bool substringFunction(Vm& vm, int alt, std::string& out) {
    fetch(vm);
    fetch(vm);
    std::string_view source = substringSource(vm);
    fetch(vm);
    if (!passComma(vm)) return false;
    int32_t first = smallArgument(vm);
    std::string_view part;
    if (alt == SA_MSTR) {
        if (!passComma(vm)) return false;
        part = middlePart(source, first, smallArgument(vm));
    } else {
        part = alt == SA_LSTR ? leftPart(source, first) : rightPart(source, first);
    }
    out.append(part);
    fetch(vm);  // the closing parenthesis: concatenation goes on after it
    return true;
}

// STRS and CHRS take a whole numeric expression.
void numberFunction(Vm& vm, int alt, std::string& out) {
    enterNesting(vm);
    fetch(vm);
    float v = numericExpression(vm);
    leaveNesting(vm);
    if (alt == SA_STRS) appendNumberText(out, v);
    else out.push_back(static_cast<char>(toInt32(v) & 0xFF));
}

// Appends one string factor to `out`. When several alternatives match in
// turn, the last one's value is what the factor gives.
void appendStringFactor(Vm& vm, std::string& out) {
    const size_t base = out.size();
    int last = 0;
    for (;;) {
        const RunToken& t = current(vm);
        int order = kStringOrder[t.strAlt];
        if (order <= last) return;
        last = order;
        out.resize(base);
        switch (t.strAlt) {
            case SA_LPAR:
                enterNesting(vm);
                fetch(vm);
                appendStringExpression(vm, out);
                fetch(vm);
                leaveNesting(vm);
                break;
            case SA_STRVAR: out += vm.memory.vars[t.ref].str; fetch(vm); break;
            case SA_STRARR: {
                int32_t a = t.ref;
                enterNesting(vm);
                fetch(vm);
                fetch(vm);
                int32_t index = toInt32(numericExpression(vm));
                leaveNesting(vm);
                out += stringElement(vm, a, index);
                fetch(vm);
                break;
            }
            case SA_STRS:
            case SA_CHRS: numberFunction(vm, t.strAlt, out); break;
            case SA_LSTR:
            case SA_RSTR:
            case SA_MSTR:
                if (substringFunction(vm, t.strAlt, out)) return;
                break;
            case SA_NUM: notString(vm);
            case SA_QSTR: out += vm.tokens.textAt(vm.exec.pc); fetch(vm); break;
            default: return;
        }
    }
}

// Strings may hold any bytes but not any amount of them: a script that keeps
// doubling a string stops with a diagnostic instead of exhausting memory.
void checkLength(Vm& vm, const std::string& s) {
    if (s.size() <= kMaxStringBytes) return;
    abortRun(vm, "Run Error!", "String too long! : " + std::to_string(s.size()) + " bytes", AtToken{vm.exec.pc});
}

}  // namespace

void continueStringExpression(Vm& vm, std::string& out) {
    while (current(vm).op == OP_PLUS) {
        fetch(vm);
        appendStringFactor(vm, out);
        checkLength(vm, out);
    }
}

namespace {

void appendStringExpression(Vm& vm, std::string& out) {
    if (current(vm).op != OP_PLUS) appendStringFactor(vm, out);
    continueStringExpression(vm, out);
}

}  // namespace

std::string stringFactor(Vm& vm) {
    std::string s;
    appendStringFactor(vm, s);
    return s;
}

std::string stringExpression(Vm& vm) {
    std::string s;
    appendStringExpression(vm, s);
    return s;
}

}  // namespace tessel
