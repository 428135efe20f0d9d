// What the checker's passes share while they run: the token store they read
// and re-code, the tables they fill, the diagnostic path, and the name indexes
// that keep every lookup constant-time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checker/checker.h"
#include "checker/name_index.h"
#include "checker/symbols.h"
#include "base/reporter.h"
#include "lexer/token_store.h"

namespace tessel {

struct CheckContext;
// What to write instead, for an error at token `at` that names a reserved
// word where a name belongs or a word of another language ("" when nothing
// is known; checker/hints.cpp).
std::string hintFor(const CheckContext& ctx, int64_t at);

struct CheckContext {
    TokenStore& tokens;   // read by every pass; keyword classes written
    CheckerState& state;  // tables the passes fill
    Reporter& rep;        // where the first error goes

    NameIndex varByName{tokens};    // variable name -> its first declaring token
    NameIndex arrayByName{tokens};  // array name -> its first declaring token
    NameIndex labelByName{tokens};  // label -> first label name token
    NameIndex funcByName{tokens};   // function name -> first FUNC name token
    int64_t arrayBytes = 0;         // element storage handed out so far
    std::vector<int32_t> declaringWords{};  // name tokens spelling VAR, STR or PTR, in order

    int32_t count() const { return tokens.count; }
    int32_t cls(int64_t i) const { return tokens.classAt(i); }
    std::string_view text(int64_t i) const { return tokens.textAt(i); }
    bool isName(int64_t i) const { return cls(i) == CLS_NAME; }

    // Reports the checker's one error at token `at` (0: at no place) and
    // returns false, so a pass can `return ctx.fail(...)`. Without a hint of its own the error
    // gets the one hintFor gives the token.
    // (Out of line and cold: the passes' loops stay as they were.)
    [[gnu::cold, gnu::noinline]] bool fail(std::string_view caption, const std::string& body, int64_t at,
                                           std::string hint = {});

    // "<message>" + token text + " }-Line: " + line: the shape of most errors.
    [[gnu::cold, gnu::noinline]] bool failQuoting(std::string_view caption, std::string_view message,
                                                  int64_t quoted, int line, std::string hint = {}) {
        return fail(caption, std::string(message) + std::string(text(quoted)) + " }-Line: " + std::to_string(line),
                    quoted, std::move(hint));
    }
};

// The hint for a statement whose keyword is at `keyword` and whose token at
// `offset` after it has the wrong shape: a signed value, two comparison
// signs, an element after & or |, an expression in SHOWIMG; else hintFor.
std::string shapeHint(const CheckContext& ctx, int64_t keyword, int offset);


// The passes, in the order the checker runs them. Each returns false after
// reporting its first error.
void recogniseKeywords(CheckContext& ctx);
bool collectLabels(CheckContext& ctx);
bool collectFunctions(CheckContext& ctx);
bool declareNames(CheckContext& ctx);
bool resolveNames(CheckContext& ctx);
bool validateStatements(CheckContext& ctx);
bool matchBlocks(CheckContext& ctx);

// Parts of the validation walk that bind and register (blocks.cpp).
bool registerEventBlock(CheckContext& ctx, int32_t i, int line);
bool bindGoto(CheckContext& ctx, int32_t i, int line);

}  // namespace tessel
