// The lint's rule on statements given fewer arguments than they read. The
// reading does not stop at the statement's end: it goes on into the next
// statement, or the next line, and takes its first tokens as the missing
// arguments, so that statement never runs as written. A loop such as
//   WHILE i < 3 : FCOLOR 255 : i = i + 1 : WEND
// never ends. Scripts may rely on the reading; the lint names it.
#include "lint/lint_context.h"

namespace tessel {

namespace {

struct ArgumentReading {
    int32_t keyword;
    int count;          // the arguments the statement reads
    bool singleTokens;  // each argument one token at a fixed place (after the keyword, then after
                        // each separator)
};

// (WCOLOR, BCOLOR and LOADIMG are missing here: the checker requires every
// separator of theirs, so their reading never runs past the statement.)
constexpr ArgumentReading kReadings[] = {
    {KW_PSET, 2, false},     {KW_PLOT, 2, false},    {KW_DRAW, 2, false},
    {KW_LINE, 4, false},     {KW_RECT, 4, false},    {KW_CIRCLE, 3, false},
    {KW_PRINT, 3, false},    {KW_SETFONT, 4, false}, {KW_SHOWIMGT, 5, false},
    {KW_INPUTBOX, 6, false}, {KW_SETTEXT, 2, false}, {KW_GETTEXT, 2, false},
    {KW_FCOLOR, 3, true},    {KW_SHOWIMG, 5, true},
};

const ArgumentReading* readingOf(int32_t code) {
    for (const ArgumentReading& r : kReadings)
        if (r.keyword == code) return &r;
    return nullptr;
}

// The arguments the statement holds as its reading counts them: single
// tokens by the places inside it, expressions by the separators outside
// parentheses and brackets.
int argumentsGiven(const LintContext& ctx, const Statement& st, const ArgumentReading& r) {
    if (r.singleTokens) return st.size() / 2;
    int given = 1, depth = 0;
    for (int32_t i = st.first + 1; i < st.end; ++i) {
        int32_t c = ctx.cls(i);
        if (c == CLS_LPAR || c == CLS_LBRK) ++depth;
        if (c == CLS_RPAR || c == CLS_RBRK) --depth;
        if (c == CLS_COMMA && depth == 0) ++given;
    }
    return given;
}

// Where the missing arguments come from.
std::string takenFrom(const LintContext& ctx, const Statement& st) {
    if (st.end >= ctx.tokens.count)
        return "nothing follows, and they are read past the end of the script";
    if (ctx.cls(st.end) == CLS_COLON)
        return "the next statement's first tokens are read as the missing ones, so that statement "
               "does not "
               "run as written";
    return "the next line's first tokens are read as the missing ones, so that line does not run "
           "as written";
}

}  // namespace

void lintMissingArguments(LintContext& ctx) {
    for (const Statement& st : ctx.statements) {
        const ArgumentReading* r = readingOf(ctx.cls(st.first));
        if (!r) continue;
        if (argumentsGiven(ctx, st, *r) >= r->count) continue;
        std::string keyword = ctx.text(st.first);
        std::string count = std::to_string(r->count);
        ctx.warn(st.end, "missing-argument",
                 keyword + " takes " + count + " arguments; " + takenFrom(ctx, st) +
                     "; write all " + count);
    }
}

}  // namespace tessel
