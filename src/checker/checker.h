// The checker: seven passes between the tokenizer and the executor.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "checker/symbols.h"
#include "base/reporter.h"
#include "lexer/token_store.h"

namespace tessel {

// Extra slots past the last token in every per-token table, so fixed-distance
// look-ahead never leaves the tables.
inline constexpr int kTokenPadding = 16;

// Gives every per-token table room for `count` tokens plus fixed look-ahead,
// all entries 0 (the checker's first step).
void sizeTokenTables(CheckerState& state, int32_t count);

// ASCII case folding (other bytes unchanged).
std::string lowerAscii(std::string_view s);
std::string upperAscii(std::string_view s);

// The lower-cased name a variable or an array was declared with.
std::string declaredName(const TokenStore& tokens, int32_t nameToken);

// What a name token stands for by its place, as the resolution pass binds
// it: the name after LABEL or GOTO is a label, after FUNC a function's
// definition, after WINMSG a message; any other name is a call before "(",
// an array before "[", and a variable otherwise.
enum class NameUse : uint8_t { Variable, Array, Call, Label, Function, Message };
NameUse nameUseAt(const TokenStore& tokens, int64_t i);

// Runs every pass in order. Returns 1 for a valid program, 0 after the first
// error has been reported through `rep`.
int runChecker(TokenStore& tokens, CheckerState& state, Reporter& rep);

}  // namespace tessel
