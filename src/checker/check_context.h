// What the checker's passes share while they run: the token store they read
// and re-code, the tables they fill, the diagnostic path, and the name indexes
// that keep every lookup constant-time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checker/name_index.h"
#include "checker/symbols.h"
#include "base/reporter.h"
#include "lexer/token_store.h"

namespace tessel {

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

    // Reports the checker's one error and returns false, so a pass can
    // `return ctx.fail(...)`.
    bool fail(std::string_view caption, const std::string& body, int line) {
        rep.diagnostic(caption, body, line);
        return false;
    }

    // "<message>" + token text + " }-Line: " + line: the shape of most errors.
    bool failQuoting(std::string_view caption, std::string_view message, int64_t quoted, int line) {
        return fail(caption, std::string(message) + std::string(text(quoted)) + " }-Line: " + std::to_string(line),
                    line);
    }
};

// ASCII case folding (other bytes unchanged).
std::string lowerAscii(std::string_view s);
std::string upperAscii(std::string_view s);

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
