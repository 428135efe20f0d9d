// The lint's rules on what a script declares and what it can reach: reserved
// words dropped from declaration lists, and statements that never run.
#include <set>

#include "checker/checker.h"
#include "lint/lint_context.h"

namespace tessel {

namespace {

bool isDeclaration(const LintContext& ctx, const Statement& st) {
    const std::string upper = upperAscii(ctx.text(st.first));
    return isDeclaringClass(ctx.cls(st.first)) && (upper == "VAR" || upper == "STR" || upper == "PTR");
}

// Statements a jump or a block can lead to: a label, or a keyword that ends,
// splits or starts a block (the run may come back to a WHILE from its WEND).
bool mayBeReached(int32_t code) {
    switch (code) {
        case KW_LABEL:
        case KW_ELSE:
        case KW_ENDIF:
        case KW_WHILE:
        case KW_WEND:
        case KW_FUNC:
        case KW_ENDFN:
        case KW_WINMSG:
        case KW_ENDWM: return true;
        default: return false;
    }
}

std::string lineOf(const LintContext& ctx, int32_t token) {
    return std::to_string(ctx.tokens.lineAt(token));
}

// Outside its event blocks and functions, nothing after the first WINMSG
// runs: the main program ends there, unless a GOTO leads to a label.
void afterFirstEventBlock(LintContext& ctx, std::set<int32_t>& reported) {
    int32_t firstBlock = 0;
    bool inBlock = false, inFunction = false, reachable = false;
    for (const Statement& st : ctx.statements) {
        const int32_t code = ctx.cls(st.first);
        if (code == KW_WINMSG) {
            if (firstBlock == 0) firstBlock = st.first;
            inBlock = true;
            reachable = false;
            continue;
        }
        if (firstBlock == 0) continue;
        if (code == KW_ENDWM) inBlock = false;
        if (code == KW_FUNC) inFunction = true;
        if (code == KW_ENDFN) inFunction = false;
        if (code == KW_LABEL) reachable = true;
        if (inBlock || inFunction || reachable || mayBeReached(code)) continue;
        reachable = true;  // one finding for each stretch
        reported.insert(st.first);
        ctx.warn(st.first, "unreachable",
                 "this statement never runs: the main program ends at the first WINMSG (line " +
                     lineOf(ctx, firstBlock) +
                     "), and after it only event blocks and functions run; move it above that line");
    }
}

// The statement after a GOTO runs only when a label or a block leads to it.
void afterGoto(LintContext& ctx, const std::set<int32_t>& reported) {
    for (size_t k = 0; k + 1 < ctx.statements.size(); ++k) {
        const Statement& jump = ctx.statements[k];
        const Statement& next = ctx.statements[k + 1];
        if (ctx.cls(jump.first) != KW_GOTO || mayBeReached(ctx.cls(next.first)) || reported.count(next.first))
            continue;
        ctx.warn(next.first, "unreachable",
                 "this statement never runs: the GOTO " + ctx.text(jump.first + 1) + " before it (line " +
                     lineOf(ctx, jump.first) +
                     ") always jumps, and no LABEL stands between them; remove it or put a LABEL before it");
    }
}

}  // namespace

// VAR n, len declares n and passes over len, a keyword: later uses of len
// are the keyword too.
void lintDeclarations(LintContext& ctx) {
    for (const Statement& st : ctx.statements) {
        if (!isDeclaration(ctx, st)) continue;
        for (int32_t i = st.first + 2; i < st.end; ++i) {
            if (ctx.cls(i - 1) != CLS_COMMA || ctx.cls(i) == CLS_NAME || ctx.cls(i) == CLS_QSTR) continue;
            const std::string upper = upperAscii(ctx.text(i));
            if (keywordCode(upper) == 0) continue;
            ctx.warn(i, "reserved-name",
                     upper + " is a reserved word of the language: " + ctx.text(st.first) +
                         " passes over it without a word and declares only the other names of the list, and "
                         "every later " + ctx.text(i) + " is the keyword; choose another name");
        }
    }
}

void lintReach(LintContext& ctx) {
    std::set<int32_t> reported;
    afterFirstEventBlock(ctx, reported);
    afterGoto(ctx, reported);
}

}  // namespace tessel
