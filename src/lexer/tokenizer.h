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

// Byte offset in the source where each token starts, indexed like the token
// store (slot 0 unused). An end-of-line token that ends a comment starts at
// the comment's apostrophe. Filled only for tools that point into the source
// (the lint); a run does without it.
using TokenOffsets = std::vector<size_t>;

// Splits `source` into `tokens`. Returns the number of tokens stored, or 0
// after an error (reported through `rep`; `lex.errorCode` says which).
int32_t tokenize(std::string_view source, TokenStore& tokens, LexState& lex, Reporter& rep);
// The same, also recording where each token starts in `offsets`.
int32_t tokenize(std::string_view source, TokenStore& tokens, LexState& lex, Reporter& rep,
                 TokenOffsets* offsets);

// One tokenizer run with its count report. Returns 1 when the checker may
// run, 0 otherwise.
int lexingPhase(std::string_view source, TokenStore& tokens, LexState& lex, Reporter& rep);

}  // namespace tessel
