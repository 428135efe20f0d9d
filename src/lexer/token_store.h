// The token store: the one representation of a program that every phase walks.
//
// Tokens live at indices 1..count. Every index outside that range reads as an
// empty text and class CLS_NONE, so passes may look ahead freely. The store
// keeps the script's bytes and, per token, only where the token starts and its
// class (five bytes a token): a token's text is read back from the source, so
// a large script costs little more than its own size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/reporter.h"

namespace tessel {

// Lexical classes. Values 32..34 coincide with the statement codes of STR, VAR
// and PTR; a pass that tests those values matches both kinds of token.
enum : int32_t {
    CLS_NONE = 0,
    CLS_PLUS = 1,
    CLS_MINUS = 2,
    CLS_STAR = 3,
    CLS_SLASH = 4,
    CLS_COLON = 5,
    CLS_COMMA = 6,
    CLS_LPAR = 7,
    CLS_RPAR = 8,
    CLS_LBRK = 9,
    CLS_RBRK = 10,
    CLS_NAME = 11,
    CLS_NUM = 12,
    CLS_QSTR = 13,
    // 14 is produced by no rule
    CLS_EOL = 15,
    CLS_EQ = 16,
    CLS_GT = 17,
    CLS_LT = 18,
    CLS_AMP = 19,
    CLS_BAR = 20,
    CLS_BANG = 21,
    CLS_HASH = 22,
    CLS_DOLLAR = 23,
    CLS_PCT = 24,
    CLS_SEMI = 25,
    CLS_DOT = 26,
    CLS_LBRACE = 27,
    CLS_RBRACE = 28,
    CLS_QMARK = 29,
    CLS_AT = 30,
    CLS_BSLASH = 31,
    CLS_CARET = 32,
    CLS_BACKTICK = 33,
    CLS_TILDE = 34,
};

// A token's place (base/reporter.h): 1-based line and byte column, and the
// bytes it covers (a string literal with its quotes, a comment's line end
// from its apostrophe to the line feed).
using TokenPlace = SourcePlace;

// Largest source a store can hold (offsets are 32-bit).
inline constexpr size_t kMaxStoreSource = UINT32_MAX;

class TokenStore {
   public:
    // Tokens in use, set by the lexing phase after a clean run.
    int32_t count = 0;
    // End-of-line tokens stored.
    int32_t eolCount = 0;

    // The bytes the tokens were read from.
    const std::string& source() const { return source_; }

    // Forgets every token and takes `source` as the text to read tokens from.
    void reset(std::string source);

    // Number of tokens appended so far (the tokenizer's running index).
    int32_t appended() const { return static_cast<int32_t>(cls_.size()) - 1; }

    // Appends a token of class `c` that starts at byte `offset` of the source.
    void append(uint32_t offset, int32_t c) {
        start_.push_back(offset);
        cls_.push_back(static_cast<uint8_t>(c));
        if (c == CLS_EOL) {
            eols_.push_back(appended());
            ++eolCount;
        }
    }
    // Room for `n` tokens without regrowth.
    void reserve(size_t n);

    bool valid(int64_t i) const { return i >= 1 && i <= count; }

    // Reads outside 1..count see the empty token. A line end reads "EOL".
    std::string_view textAt(int64_t i) const {
        return valid(i) ? textOf(static_cast<size_t>(i)) : std::string_view();
    }
    int32_t classAt(int64_t i) const {
        return valid(i) ? int32_t{cls_[static_cast<size_t>(i)]} : int32_t{CLS_NONE};
    }
    // The checker re-codes keyword and declaration tokens (codes below 256).
    void setClass(int64_t i, int32_t c) { cls_[static_cast<size_t>(i)] = static_cast<uint8_t>(c); }
    // Every appended token's class, indexed like the store (slot 0 unused).
    const uint8_t* classes() const { return cls_.data(); }

    // Byte offset where token i starts (the source's size outside 1..count).
    uint32_t offsetAt(int64_t i) const {
        return valid(i) ? start_[static_cast<size_t>(i)] : static_cast<uint32_t>(source_.size());
    }
    // 1-based source line of token i: one plus the line ends before it.
    int32_t lineAt(int64_t i) const;
    // Line, column and extent of token i.
    TokenPlace placeAt(int64_t i) const;
    // Offset of the first byte of 1-based `line` (the source's size past the last).
    uint32_t lineStart(int32_t line) const;
    // The source from the start of token a to the end of token b, as written
    // (empty when b comes before a or either is outside the store).
    std::string_view spelling(int64_t a, int64_t b) const;
    // The place of the one byte at `offset` of the source (inside a token,
    // a literal or a comment alike), for findings that point into a token.
    SourcePlace placeAtOffset(uint32_t offset) const;

   private:
    std::string_view textOf(size_t i) const {
        const uint32_t offset = start_[i];
        const size_t size = source_.size();
        if (offset >= size) return {};
        const char* p = source_.data() + offset;
        // Names are most of the texts a pass reads: cut them here.
        if (isNameByte(*p) && !isDigitByte(*p)) {
            size_t n = 1;
            while (offset + n < size && isNameByte(p[n])) ++n;
            return std::string_view(p, n);
        }
        return slowTextOf(offset);
    }
    std::string_view slowTextOf(uint32_t offset) const;
    static bool isDigitByte(char c) { return c >= '0' && c <= '9'; }
    static bool isNameByte(char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || isDigitByte(c);
    }
    // Bytes the token at `offset` covers in the source.
    uint32_t extentAt(uint32_t offset) const;

    std::string source_;                  // the script's bytes
    std::vector<uint32_t> start_{0};      // where each token starts; slot 0 unused
    std::vector<uint8_t> cls_{CLS_NONE};  // lexical class or statement code
    std::vector<int32_t> eols_;           // index of every end-of-line token, in order
};

}  // namespace tessel
