// The lint's view of statements and its rules on statements that start
// with a keyword of their own or with a name: FOR, PRINT and assignments.
#include <array>

#include "compile/reader.h"
#include "lint/lint_context.h"

namespace tessel {

// ---------------------------------------------------------------------------
// Shared helpers

int32_t LintContext::scalarType(int32_t token) const {
    if (cls(token) != CLS_NAME || cls(token + 1) == CLS_LBRK) return TYPE_NONE;
    int32_t v = symbols.varAt(token);
    return v > 0 ? symbols.vars[v].type : TYPE_NONE;
}

int32_t LintContext::elementType(int32_t token) const {
    if (cls(token) != CLS_NAME || cls(token + 1) != CLS_LBRK) return TYPE_NONE;
    int32_t a = symbols.arrayAt(token);
    return a > 0 ? symbols.arrays[a].type : TYPE_NONE;
}

int32_t LintContext::closingBracket(int32_t open, int32_t limit) const {
    int depth = 0;
    for (int32_t i = open; i < limit; ++i) {
        if (cls(i) == CLS_LBRK) ++depth;
        if (cls(i) == CLS_RBRK && --depth == 0) return i;
    }
    return 0;
}

std::vector<Statement> splitStatements(const TokenStore& tokens) {
    std::vector<Statement> out;
    int32_t first = 1;
    for (int32_t i = 1; i <= tokens.count; ++i) {
        int32_t c = tokens.classAt(i);
        if (c == CLS_EOL || c == CLS_COLON) {
            if (i > first) out.push_back({first, i});
            first = i + 1;
        } else if (c == KW_ELSE && i == first) {
            // What follows a reached ELSE on its line starts a statement.
            out.push_back({i, i + 1});
            first = i + 1;
        }
    }
    if (first <= tokens.count) out.push_back({first, tokens.count + 1});
    return out;
}

namespace {

bool isNumberType(int32_t type) {
    return type == TYPE_NUM || type == TYPE_PTR;
}

bool isOperator(const LintContext& ctx, int32_t i) {
    int32_t c = ctx.cls(i);
    return c == CLS_PLUS || c == CLS_MINUS || c == CLS_STAR || c == CLS_SLASH || ctx.text(i) == "^";
}

// The statement's tokens after its first, split at the commas outside
// parentheses and brackets: inclusive [first, last] token ranges.
std::vector<std::array<int32_t, 2>> splitArguments(const LintContext& ctx, const Statement& st) {
    std::vector<std::array<int32_t, 2>> parts;
    int depth = 0;
    int32_t start = st.first + 1;
    for (int32_t i = st.first + 1; i < st.end; ++i) {
        int32_t c = ctx.cls(i);
        if (c == CLS_LPAR || c == CLS_LBRK) ++depth;
        if (c == CLS_RPAR || c == CLS_RBRK) --depth;
        if (c == CLS_COMMA && depth == 0) {
            parts.push_back({start, i - 1});
            start = i + 1;
        }
    }
    if (start < st.end) parts.push_back({start, st.end - 1});
    return parts;
}

}  // namespace

// ---------------------------------------------------------------------------
// FOR ... TO ... NEXT: every word of it is passed over, except an assignment
// right after FOR, which runs once as an ordinary statement.

void lintLoops(LintContext& ctx) {
    for (const Statement& st : ctx.statements) {
        if (ctx.cls(st.first) != KW_FOR) continue;
        int32_t to = st.first + 1;
        while (to < st.end && ctx.cls(to) != KW_TO) ++to;
        bool assigns = ctx.cls(st.first + 1) == CLS_NAME && ctx.cls(st.first + 2) == CLS_EQ;
        std::string runs = assigns ? "only " + ctx.spelling(st.first + 1, to - 1) + " runs"
                                   : "the line does nothing";
        ctx.warn(st.first, "for-next",
                 "FOR has no loop meaning here: " + runs + "; write a WHILE loop with a counter");
    }
}

// ---------------------------------------------------------------------------
// PRINT x, y, item: the item is read from its first token alone (a variable,
// a literal, an element or a parenthesised numeric expression).

namespace {

struct PrintItem {
    bool readable = true;  // its first token is one PRINT can show
    bool whole = true;     // PRINT shows all of it
    std::string shown;     // what PRINT shows of it
};

PrintItem readPrintItem(const LintContext& ctx, int32_t a, int32_t b) {
    PrintItem item;
    int32_t c = ctx.cls(a);
    int32_t last = a;
    if (c == CLS_LPAR) {
        last = b;  // a numeric expression that runs on past its parenthesis
        item.shown = ctx.spelling(a, b);
    } else if (c == CLS_NAME && ctx.cls(a + 1) == CLS_LBRK) {
        last = ctx.closingBracket(a + 1, b + 1);
        item.shown = ctx.spelling(a, last);
    } else if (c == CLS_NAME || c == CLS_NUM || c == CLS_QSTR) {
        item.shown = ctx.text(a);
    } else {
        item.readable = false;
        item.shown = "nothing";
    }
    item.whole = item.readable && last == b;
    return item;
}

// What to write instead of an item PRINT does not show whole.
std::string printAdvice(const LintContext& ctx, int32_t a, int32_t b) {
    int32_t c = ctx.cls(a);
    bool numeric = c == CLS_NUM || isNumberType(ctx.scalarType(a)) ||
                   isNumberType(ctx.elementType(a)) || isNumericFunction(c);
    if (numeric) return "write the expression in parentheses: (" + ctx.spelling(a, b) + ")";
    return "build the text in a STR variable and print that";
}

void lintPrintStatement(LintContext& ctx, const Statement& st) {
    auto parts = splitArguments(ctx, st);
    if (parts.size() < 3) return;
    auto [a, b] = parts[2];
    PrintItem item = readPrintItem(ctx, a, b);
    if (parts.size() > 3) {
        std::string first = item.whole ? ctx.spelling(a, b) : item.shown;
        ctx.warn(
            parts[3][0], "print-items",
            "PRINT shows one item: it shows " + first +
                " and drops everything after it; build the text in a STR variable and print that");
    } else if (!item.readable) {
        ctx.warn(a, "print-items",
                 "PRINT shows nothing for " + ctx.spelling(a, b) + " (it cannot start with " +
                     ctx.text(a) + "); " + printAdvice(ctx, a, b));
    } else if (!item.whole) {
        ctx.warn(a, "print-items",
                 "PRINT shows only the first token of its item: " + ctx.spelling(a, b) + " shows " +
                     item.shown + "; " + printAdvice(ctx, a, b));
    }
}

}  // namespace

void lintPrint(LintContext& ctx) {
    for (const Statement& st : ctx.statements)
        if (ctx.cls(st.first) == KW_PRINT) lintPrintStatement(ctx, st);
}

// ---------------------------------------------------------------------------
// Assignments and other statements that start with a name.

namespace {

// A name not followed by '=', '(' or '[' makes a statement that does nothing.
void lintNoEffect(LintContext& ctx, const Statement& st) {
    int32_t n = st.first + 1;
    std::string name = ctx.text(st.first);
    std::string written = ctx.spelling(st.first, st.end - 1);
    std::string advice;
    if (st.size() == 1) {
        advice = "a line holding only a variable's name does nothing";
    } else if (isOperator(ctx, n) && (ctx.cls(n + 1) == CLS_EQ || ctx.cls(n + 1) == ctx.cls(n))) {
        std::string op = ctx.cls(n) == CLS_MINUS ? "-" : ctx.cls(n) == CLS_PLUS ? "+" : ctx.text(n);
        std::string operand = ctx.cls(n + 1) == CLS_EQ ? ctx.spelling(n + 2, st.end - 1) : "1";
        if (operand.empty()) operand = "1";
        advice = written + " does nothing; write " + name + " = " + name + " " + op + " " + operand;
    } else {
        advice = written + " does nothing: a statement that starts with a variable is " + name +
                 " = VALUE";
    }
    ctx.warn(st.first, "no-effect", advice);
}

// A number variable or element that is given a text gets 0, or the
// number a quoted text begins with ("12" gives 12, "7up" 7).
void lintTextIntoNumber(LintContext& ctx, int32_t target, int32_t v) {
    std::string name = ctx.text(target);
    if (ctx.cls(v) == CLS_QSTR) {
        const std::string literal = ctx.text(v);
        std::string_view inside = literal;
        if (!inside.empty() && inside.front() == '"') inside.remove_prefix(1);
        const bool spellsNumber = !inside.empty() && std::string_view("0123456789.+- ").find(inside.front()) != std::string_view::npos;
        ctx.warn(v, "string-to-number",
                 spellsNumber ? name + " = " + ctx.spelling(v, v) + " gives the number the text begins with: " + name +
                                    " holds numbers; write the number without quotes, or declare " + name +
                                    " with STR to hold a text"
                              : name + " = " + ctx.spelling(v, v) + " gives 0: " + name +
                                    " holds numbers; declare it with STR to hold a text");
    } else if (ctx.scalarType(v) == TYPE_STR || ctx.elementType(v) == TYPE_STR) {
        ctx.warn(v, "string-to-number",
                 name + " = " + ctx.text(v) + " gives 0: " + ctx.text(v) +
                     " is a text; write VAL(" + ctx.text(v) + ") for the number it spells");
    }
}

// A number variable in a string expression adds nothing and ends it; a
// number literal stops the run. The string expression from `v` is read as
// the run reads it (the compile layer's reader): it ends at such a
// variable, first or after a "+", and aborts at such a literal.
void lintNumberIntoText(LintContext& ctx, Reader& reader, int32_t v, int32_t end) {
    reader.beginStatement();
    reader.pos = v;
    Builder built;
    reader.stringExpression(built);
    const int32_t j = reader.pos;
    if (j >= end) return;
    if (reader.dead) {
        if (ctx.cls(j) != CLS_NUM) return;
        ctx.warn(j, "number-literal-in-string",
                 ctx.spelling(v, end - 1) + " stops the run with TYPE ERROR Not String! -{ " + ctx.text(j) +
                     " }: a number may not stand in a text; write it inside the quotes, or STRS(" +
                     ctx.text(j) + ")");
        return;
    }
    if (j > v && ctx.cls(j - 1) != CLS_PLUS) return;
    if (!isNumberType(ctx.scalarType(j)) && !isNumberType(ctx.elementType(j))) return;
    std::string before = j > v ? ctx.spelling(v, j - 2) : "";
    std::string gives = before.empty() ? "an empty text" : "only " + before;
    std::string number = ctx.cls(j + 1) == CLS_LBRK ? ctx.spelling(j, ctx.closingBracket(j + 1, end)) : ctx.text(j);
    ctx.warn(j, "number-in-string",
             ctx.spelling(v, end - 1) + " gives " + gives + ": " + number +
                 " is a number, which adds nothing to a text and ends it; write STRS(" + number + ")");
}

void lintAssignment(LintContext& ctx, Reader& reader, const Statement& st) {
    int32_t target = st.first;
    int32_t n = target + 1;
    int32_t type = TYPE_NONE;
    int32_t value = 0;
    if (ctx.cls(n) == CLS_EQ) {
        int32_t var = ctx.symbols.varAt(target);
        if (var == 0) return;
        type = ctx.symbols.vars[var].type;
        value = n + 1;
    } else {
        int32_t close = ctx.closingBracket(n, st.end);
        if (close == 0 || ctx.cls(close + 1) != CLS_EQ) return;
        type = ctx.elementType(target);
        value = close + 2;
    }
    if (value >= st.end) return;
    if (isNumberType(type)) lintTextIntoNumber(ctx, target, value);
    if (type == TYPE_STR) lintNumberIntoText(ctx, reader, value, st.end);
}

// An operator with nothing after it is dropped: x = 1 + stores 1.
void lintDanglingOperator(LintContext& ctx, const Statement& st) {
    int32_t last = st.end - 1;
    if (st.size() < 2 || !isOperator(ctx, last)) return;
    std::string op = ctx.text(last);
    std::string effect;
    if (ctx.cls(st.first) == CLS_NAME && ctx.cls(st.first + 1) == CLS_EQ) {
        std::string value = ctx.spelling(st.first + 2, last - 1);
        effect = ": " + ctx.spelling(st.first, last) + " stores " + (value.empty() ? "0" : value);
    }
    ctx.warn(last, "dangling-operator",
             "the " + op + " at the end has nothing after it and is passed over" + effect +
                 "; finish the expression or drop the " + op);
}

bool startsNoEffectStatement(const LintContext& ctx, const Statement& st) {
    int32_t n = ctx.cls(st.first + 1);
    if (ctx.cls(st.first) != CLS_NAME || n == CLS_EQ || n == CLS_LPAR || n == CLS_LBRK)
        return false;
    return ctx.symbols.varAt(st.first) != 0 || ctx.symbols.arrayAt(st.first) != 0;
}

}  // namespace

void lintAssignments(LintContext& ctx) {
    // The reader writes its instructions to code of its own, which nothing runs.
    Code scratch;
    Emitter out(scratch, 0, ctx.symbols);
    Reader reader(ctx.tokens, ctx.symbols, out);
    for (const Statement& st : ctx.statements) {
        // SETTEXT h, TEXT: a string expression from its third token on, when
        // it starts with a text (a number variable there gets a box of its own).
        const int32_t text = st.first + 3;
        if (ctx.cls(st.first) == KW_SETTEXT && ctx.cls(st.first + 2) == CLS_COMMA && text < st.end &&
            (ctx.cls(text) == CLS_QSTR || ctx.scalarType(text) == TYPE_STR))
            lintNumberIntoText(ctx, reader, text, st.end);
        if (startsNoEffectStatement(ctx, st)) {
            lintNoEffect(ctx, st);
            continue;
        }
        if (ctx.cls(st.first) == CLS_NAME) lintAssignment(ctx, reader, st);
        lintDanglingOperator(ctx, st);
    }
}

}  // namespace tessel
