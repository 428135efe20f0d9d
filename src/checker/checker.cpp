// The checker's driver and its first pass, keyword recognition.
#include "checker/checker.h"

#include "checker/check_context.h"

namespace tessel {

bool CheckContext::fail(std::string_view caption, const std::string& body, int64_t at, std::string hint) {
    DiagnosticPlace where{at > 0 ? tokens.placeAt(at) : SourcePlace{}, std::move(hint)};
    if (where.hint.empty()) where.hint = hintFor(*this, at);
    rep.diagnostic(caption, body, where);
    return false;
}

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

std::string declaredName(const TokenStore& tokens, int32_t nameToken) {
    return lowerAscii(tokens.textAt(nameToken));
}

// Re-codes every identifier token that spells a keyword (other than VAR, STR
// and PTR, which the declaration pass re-codes where they start a
// declaration) and counts the block keywords. String literals are never
// re-coded, whatever they spell.
void recogniseKeywords(CheckContext& ctx) {
    for (int32_t i = 1; i <= ctx.count(); ++i) {
        if (!ctx.isName(i)) continue;
        int32_t code = keywordCodeAnyCase(ctx.text(i));
        if (code == 0) continue;
        if (keywordRole(code) == KeywordRole::DECL) {
            ctx.declaringWords.push_back(i);
            continue;
        }
        ctx.tokens.setClass(i, code);
        BlockCounter bc = keywordCounter(code);
        if (bc != BC_NONE) ++ctx.state.counters[bc];
    }
}

void sizeTokenTables(CheckerState& st, int32_t count) {
    size_t n = static_cast<size_t>(count) + kTokenPadding + 1;
    st.binding.assign(n, BIND_NONE);
    st.secondBinding.clear();
}

void CheckerState::bind(int64_t i, BindingKind kind, int32_t number) {
    const uint32_t b = (static_cast<uint32_t>(number) << kBindingKindBits) | kind;
    uint32_t& first = binding[static_cast<size_t>(i)];
    if (kindOf(first) == BIND_NONE || kindOf(first) == kind)
        first = b;
    else
        secondBinding[static_cast<int32_t>(i)] = b;
}

int32_t CheckerState::bound(int64_t i, BindingKind kind) const {
    if (i < 0 || static_cast<uint64_t>(i) >= binding.size()) return 0;
    uint32_t b = binding[static_cast<size_t>(i)];
    if (kindOf(b) != kind) {
        if (secondBinding.empty() || kindOf(b) == BIND_NONE) return 0;
        auto it = secondBinding.find(static_cast<int32_t>(i));
        if (it == secondBinding.end() || kindOf(it->second) != kind) return 0;
        b = it->second;
    }
    return static_cast<int32_t>(b >> kBindingKindBits);
}

int runChecker(TokenStore& tokens, CheckerState& state, Reporter& rep) {
    sizeTokenTables(state, tokens.count);
    CheckContext ctx{tokens, state, rep};
    recogniseKeywords(ctx);
    bool ok = collectLabels(ctx) && collectFunctions(ctx) && declareNames(ctx) &&
              resolveNames(ctx) && validateStatements(ctx) && matchBlocks(ctx);
    return ok ? 1 : 0;
}

}  // namespace tessel
