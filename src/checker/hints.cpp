// Hints under the checker's errors: what the writer most likely meant and
// what to write instead. They go to the terminal, the lint, JSON and the
// editor; a box's text never changes.
#include <map>

#include "checker/check_context.h"

namespace tessel {

namespace {

// Words writers bring from other languages that name nothing here.
std::string foreignWordHint(std::string_view upper) {
    static const std::map<std::string, std::string, std::less<>> kHints = {
        {"OR", "OR is no word of this language: a condition joins comparisons with | (and & for AND)"},
        {"AND", "AND is no word of this language: a condition joins comparisons with & (and | for OR)"},
        {"NOT", "NOT is no word of this language: compare with ! for \"not equal\""},
        {"REM", "REM is no word of this language: a comment starts with '"},
        {"THEN", "THEN is no word of this language: the IF branch starts on the next line"},
        {"LET", "LET is no word of this language: assign with NAME = VALUE"},
        {"DIM", "DIM is no word of this language: declare with VAR, STR or PTR"},
        {"END", "END is no word of this language: close blocks with ENDIF, WEND, ENDFN or ENDWM"},
        {"ELSEIF", "ELSEIF is no word of this language: nest an IF inside the ELSE branch"},
        {"RETURN", "RETURN is no word of this language: a function returns at its ENDFN"},
    };
    auto it = kHints.find(upper);
    return it == kHints.end() ? std::string() : it->second;
}

// What a name after `before` (FUNC, a declaring word, LABEL or GOTO) names.
std::string_view namedThing(std::string_view before) {
    if (before == "FUNC") return "a function";
    if (before == "VAR" || before == "STR" || before == "PTR") return "a variable";
    if (before == "LABEL" || before == "GOTO") return "a label";
    return {};
}

bool isComparisonSign(std::string_view t) {
    return t == "=" || t == "<" || t == ">" || t == "!";
}

// The last token of the statement the token at `i` belongs to.
int64_t statementEnd(const CheckContext& ctx, int64_t i) {
    while (ctx.tokens.valid(i + 1) && ctx.cls(i + 1) != CLS_EOL && ctx.cls(i + 1) != CLS_COLON) ++i;
    return i;
}

// A value written with a sign where one token is read: -1 needs brackets,
// or, where no bracket is taken, a variable.
std::string negativeValueHint(const CheckContext& ctx, int64_t at, bool bracketsTaken) {
    const std::string value = std::string(ctx.text(at)) + std::string(ctx.text(at + 1));
    const std::string hint = "a value with a sign is two tokens, and the checker takes one here: ";
    if (bracketsTaken) return hint + "write a negative number in brackets, (" + value + ")";
    return hint + "put " + value + " into a variable first and compare with that";
}

// Two comparison signs in a row (<=, >=, <>, ==, !=): a comparison has one.
std::string twoSignHint(const CheckContext& ctx, int64_t first) {
    const std::string left(ctx.text(first - 1)), right(ctx.text(first + 2));
    const std::string pair = std::string(ctx.text(first)) + std::string(ctx.text(first + 1));
    std::string instead;
    if (pair == "<=" || pair == "=<") instead = left + " < " + right + " | " + left + " = " + right;
    else if (pair == ">=" || pair == "=>") instead = left + " > " + right + " | " + left + " = " + right;
    else if (pair == "<>" || pair == "!=") instead = left + " ! " + right;
    else if (pair == "==") instead = left + " = " + right;
    std::string hint = "a comparison has one sign, = < > or ! (not equal), and " + pair + " is none of them";
    return instead.empty() ? hint : hint + ": write " + instead;
}

// IF reads a comparison joined by & or | as three single tokens; an element
// there is refused, while it is taken as the first comparison.
std::string joinedElementHint(const CheckContext& ctx, int64_t keyword) {
    const int64_t end = statementEnd(ctx, keyword);
    int64_t secondEnd = keyword + 5;
    while (secondEnd < end && ctx.cls(secondEnd + 1) != CLS_AMP && ctx.cls(secondEnd + 1) != CLS_BAR) ++secondEnd;
    std::string hint =
        "the comparison after the first & or | is read as three single tokens (a variable, a sign and a "
        "value): an element or an expression there is refused, while the first comparison may start with "
        "an element";
    if (secondEnd != end) return hint + "; copy the element into a variable first";
    return hint + ": put it first, IF " + std::string(ctx.tokens.spelling(keyword + 5, end)) + " " +
           std::string(ctx.text(keyword + 4)) + " " + std::string(ctx.tokens.spelling(keyword + 1, keyword + 3)) +
           ", or copy the element into a variable first";
}

}  // namespace

std::string hintFor(const CheckContext& ctx, int64_t at) {
    // The error quotes the reserved word itself (FUNC draw()), or the token
    // after it when the word starts a statement of its own (STR label).
    for (int64_t word : {at, at - 1}) {
        const std::string upper = upperAscii(ctx.text(word));
        const bool reserved = ctx.cls(word) != CLS_QSTR && keywordCode(upper) != 0;
        const std::string_view thing = namedThing(upperAscii(ctx.text(word - 1)));
        if (reserved && !thing.empty() && ctx.tokens.lineAt(word - 1) == ctx.tokens.lineAt(at))
            return upper + " is a reserved word of the language and cannot name " + std::string(thing) +
                   ": the checker reads it as the keyword; choose another name";
    }
    if (ctx.cls(at) == CLS_NAME) return foreignWordHint(upperAscii(ctx.text(at)));
    return {};
}

std::string shapeHint(const CheckContext& ctx, int64_t keyword, int offset) {
    const int32_t code = ctx.cls(keyword);
    const int64_t at = keyword + offset;
    const bool comparison = code == KW_IF || code == KW_WHILE;
    // Only IF's first comparison takes a bracketed value on its right.
    if (comparison && (offset == 3 || offset == 7) && (ctx.cls(at) == CLS_MINUS || ctx.cls(at) == CLS_PLUS))
        return negativeValueHint(ctx, at, code == KW_IF && offset == 3);
    if (comparison && isComparisonSign(ctx.text(at)) && isComparisonSign(ctx.text(at - 1)))
        return twoSignHint(ctx, at - 1);
    if (code == KW_IF && offset >= 5) return joinedElementHint(ctx, keyword);
    if (code == KW_WHILE && offset == 2 && ctx.cls(at) == CLS_LBRK)
        return "WHILE compares a variable, not an element: copy the element into a variable before the loop "
               "and again at its end";
    if (code == KW_SHOWIMG)
        return "SHOWIMG takes single tokens (a name or a number) for x, y and w; SHOWIMGT draws the same and "
               "takes expressions: write SHOWIMGT " + std::string(ctx.tokens.spelling(keyword + 1, statementEnd(ctx, keyword)));
    return hintFor(ctx, at);
}

}  // namespace tessel
