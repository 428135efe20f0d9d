// The checker's driver and its first pass, keyword recognition.
#include "checker/checker.h"

#include "checker/check_context.h"

namespace tessel {

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Re-codes every identifier token that spells a keyword (other than VAR, STR
// and PTR, which the declaration pass re-codes where they start a
// declaration) and counts the block keywords. String literals are never
// re-coded, whatever they spell.
void recogniseKeywords(CheckContext& ctx) {
    for (int32_t i = 1; i <= ctx.count(); ++i) {
        if (!ctx.isName(i)) continue;
        int32_t code = keywordCode(upperAscii(ctx.text(i)));
        if (code == 0 || keywordRole(code) == KeywordRole::DECL) continue;
        ctx.tokens.cls[i] = code;
        BlockCounter bc = keywordCounter(code);
        if (bc != BC_NONE) ++ctx.state.counters[bc];
    }
}

void sizeTokenTables(CheckerState& st, int32_t count) {
    size_t n = static_cast<size_t>(count) + kTokenPadding + 1;
    st.tokVar.assign(n, 0);
    st.tokArr.assign(n, 0);
    st.callTarget.assign(n, 0);
    st.gotoTarget.assign(n, 0);
}

int runChecker(TokenStore& tokens, CheckerState& state, Reporter& rep) {
    sizeTokenTables(state, tokens.count);
    CheckContext ctx{tokens, state, rep, {}, {}, {}, {}, 0};
    recogniseKeywords(ctx);
    bool ok = collectLabels(ctx) && collectFunctions(ctx) && declareNames(ctx) &&
              resolveNames(ctx) && validateStatements(ctx) && matchBlocks(ctx);
    return ok ? 1 : 0;
}

}  // namespace tessel
