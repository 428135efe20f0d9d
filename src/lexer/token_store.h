// The token store: the one representation of a program that every phase walks.
//
// Tokens live at indices 1..count. Every index outside that range reads as an
// empty text and class CLS_NONE, so passes may look ahead freely. The arrays
// grow with the program; there is no fixed capacity.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

struct TokenStore {
    // Slot 0 is never a token; the vectors always hold at least one slot.
    std::vector<std::string> text{std::string()};  // spelling; "EOL" for line ends
    std::vector<int32_t> cls{CLS_NONE};            // lexical class or statement code
    int32_t count = 0;     // tokens in use, set by the lexing phase after a clean run
    int32_t eolCount = 0;  // end-of-line tokens stored

    // Number of tokens appended so far (the tokenizer's running index).
    int32_t appended() const { return static_cast<int32_t>(cls.size()) - 1; }

    void append(std::string t, int32_t c) {
        text.push_back(std::move(t));
        cls.push_back(c);
    }

    bool valid(int64_t i) const { return i >= 1 && i <= count; }

    // Reads outside 1..count see the empty token.
    const std::string& textAt(int64_t i) const { return valid(i) ? text[i] : empty(); }
    int32_t classAt(int64_t i) const { return valid(i) ? cls[i] : CLS_NONE; }

    void clear() {
        text.assign(1, std::string());
        cls.assign(1, CLS_NONE);
        count = 0;
        eolCount = 0;
    }

   private:
    static const std::string& empty() {
        static const std::string e;
        return e;
    }
};

}  // namespace tessel
