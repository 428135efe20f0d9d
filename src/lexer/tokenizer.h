// The tokenizer and the lexing phase around it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/reporter.h"
#include "lexer/token_store.h"

namespace tessel {

struct LexState {
    int32_t errorCode = 0;  // 0 none, 1..6 as reported under "T:Error"
    size_t errorOffset = 0; // where the token being scanned at the error starts
};

// Splits `source` into `tokens`, which keeps it. Returns the number of tokens
// stored, or 0 after an error (reported through `rep`; `lex.errorCode` says
// which). Each token's text and place are read back from the store.
int32_t tokenize(std::string source, TokenStore& tokens, LexState& lex, Reporter& rep);

// One tokenizer run with its count report. Returns 1 when the checker may
// run, 0 otherwise.
int lexingPhase(std::string source, TokenStore& tokens, LexState& lex, Reporter& rep);

}  // namespace tessel
