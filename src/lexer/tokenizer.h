// The tokenizer and the lexing phase around it.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/reporter.h"
#include "lexer/token_store.h"

namespace tessel {

struct LexState {
    int32_t errorCode = 0;  // 0 none, 1..6 as reported under "T:Error"
};

// Splits `source` into `tokens`. Returns the number of tokens stored, or 0
// after an error (reported through `rep`; `lex.errorCode` says which).
int32_t tokenize(std::string_view source, TokenStore& tokens, LexState& lex, Reporter& rep);

// One tokenizer run with its count report. Returns 1 when the checker may
// run, 0 otherwise.
int lexingPhase(std::string_view source, TokenStore& tokens, LexState& lex, Reporter& rep);

}  // namespace tessel
