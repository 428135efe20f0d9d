// The tokenizer: one left-to-right scan of the source bytes into the token
// store, with the unknown-byte and bracket-balance checks, and the lexing
// phase that wraps it with the count report.
#include "lexer/tokenizer.h"

#include <algorithm>
#include <array>
#include <new>
#include <string>

namespace tessel {

namespace {

// Error codes, as the "T:Error" texts number them.
enum : int32_t {
    LEX_OK = 0,
    LEX_UNKNOWN_BYTE = 1,
    LEX_UNCLOSED_QUOTE = 2,
    LEX_MISSING_RPAREN = 3,
    LEX_MISSING_LPAREN = 4,
    LEX_MISSING_RBRACKET = 5,
    LEX_MISSING_LBRACKET = 6,
};

// At most this many token slots are reserved before the scan.
constexpr size_t kReserveTokenLimit = size_t{1} << 26;

// The one-character tokens and their classes, in the order they are tried.
struct SingleChar {
    char ch;
    int32_t cls;
};
constexpr SingleChar kSingleChars[] = {
    {'+', CLS_PLUS},    {'-', CLS_MINUS},  {'*', CLS_STAR},   {'/', CLS_SLASH},    {'(', CLS_LPAR},
    {')', CLS_RPAR},    {',', CLS_COMMA},  {':', CLS_COLON},  {';', CLS_SEMI},     {'<', CLS_LT},
    {'=', CLS_EQ},      {'>', CLS_GT},     {'?', CLS_QMARK},  {'@', CLS_AT},       {'[', CLS_LBRK},
    {'\\', CLS_BSLASH}, {']', CLS_RBRK},   {'^', CLS_CARET},  {'`', CLS_BACKTICK}, {'&', CLS_AMP},
    {'|', CLS_BAR},     {'!', CLS_BANG},   {'#', CLS_HASH},   {'$', CLS_DOLLAR},   {'%', CLS_PCT},
    {'.', CLS_DOT},     {'{', CLS_LBRACE}, {'}', CLS_RBRACE}, {'~', CLS_TILDE},
};
static_assert(sizeof(kSingleChars) / sizeof(kSingleChars[0]) == 29);

// Class of a one-character token for every byte, CLS_NONE for the others.
constexpr std::array<uint8_t, 256> singleCharClasses() {
    std::array<uint8_t, 256> table{};
    for (const SingleChar& s : kSingleChars)
        table[static_cast<unsigned char>(s.ch)] = static_cast<uint8_t>(s.cls);
    return table;
}
constexpr std::array<uint8_t, 256> kSingleCharClass = singleCharClasses();

int32_t singleCharClass(unsigned char c) {
    return kSingleCharClass[c];
}

bool isLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// The scan's working state.
struct Scanner {
    std::string_view src;                         // the source text (the store's copy)
    size_t pos = 0;                               // 0-based scan position (the byte being examined)
    TokenStore& tokens;                           // where tokens are appended
    LexState& lex;                                // error code
    Reporter& rep;                                // where the error box goes
    size_t tokenStart = 0;                        // offset of the scan cycle's first byte
    int32_t openParens = 0, closeParens = 0;      // running "(" / ")" totals
    int32_t openBrackets = 0, closeBrackets = 0;  // running "[" / "]" totals

    bool atEnd() const { return pos >= src.size(); }
    unsigned char peek() const { return static_cast<unsigned char>(src[pos]); }

    // The token the scan cycle began is stored; its text stays in the source.
    void emit(int32_t cls) { tokens.append(static_cast<uint32_t>(tokenStart), cls); }

    void emitEol() { emit(CLS_EOL); }

    // Shows the "T:Error" box for `code` and records it. `text` already holds
    // the message up to the line number.
    void fail(int32_t code, std::string text) {
        lex.errorCode = code;
        lex.errorOffset = tokenStart;  // the opening quote of an unclosed literal
        text += std::to_string(tokens.eolCount);
        rep.diagnostic("T:Error", text, tokens.eolCount + 1);
    }
};

// An apostrophe comment runs to the line feed (or the end of the source) and
// ends with an end-of-line token, without a bracket check. Any byte may stand
// in a comment, a zero byte included.
void scanComment(Scanner& s) {
    while (!s.atEnd() && s.peek() != '\n') ++s.pos;
    s.emitEol();
    ++s.pos;  // steps over the byte that ended the comment
}

// A line feed checks that parentheses, then brackets, balance so far.
bool scanLineFeed(Scanner& s) {
    if (s.openParens > s.closeParens) {
        s.fail(LEX_MISSING_RPAREN, "Missing right paren! ((...)- at LINE: ");
    } else if (s.openParens < s.closeParens) {
        s.fail(LEX_MISSING_LPAREN, "Missing left paren! (...))- at LINE: ");
    } else if (s.openBrackets > s.closeBrackets) {
        s.fail(LEX_MISSING_RBRACKET, "Missing right bracket!- at LINE: ");
    } else if (s.openBrackets < s.closeBrackets) {
        s.fail(LEX_MISSING_LBRACKET, "Missing left bracket!- at LINE: ");
    } else {
        s.emitEol();
        ++s.pos;
        return true;
    }
    return false;
}

// A string literal: the bytes up to the next double quote, taken unchanged.
// A line feed, or the end of the source, before that quote is an error.
bool scanString(Scanner& s) {
    ++s.pos;
    while (!s.atEnd() && s.peek() != '"' && s.peek() != '\n') ++s.pos;
    if (s.atEnd() || s.peek() == '\n') {
        s.fail(LEX_UNCLOSED_QUOTE, "Unclosed Quote!- at LINE: ");
        return false;
    }
    s.emit(CLS_QSTR);
    ++s.pos;
    return true;
}

// A run of bytes accepted by `accept`, starting at the scan position.
template <typename Accept>
void scanRun(Scanner& s, int32_t cls, Accept accept) {
    while (!s.atEnd() && accept(s.peek())) ++s.pos;
    s.emit(cls);
}

void scanSingleChar(Scanner& s, int32_t cls) {
    if (cls == CLS_LPAR) ++s.openParens;
    if (cls == CLS_RPAR) ++s.closeParens;
    if (cls == CLS_LBRK) ++s.openBrackets;
    if (cls == CLS_RBRK) ++s.closeBrackets;
    s.emit(cls);
    ++s.pos;
}

// One scan cycle at the current byte. Returns false after an error.
bool scanOne(Scanner& s) {
    s.tokenStart = s.pos;
    unsigned char c = s.peek();
    if (c == ' ' || c == '\t' || c == '\r') {
        ++s.pos;
        return true;
    }
    if (c == '\'') {
        scanComment(s);
        return true;
    }
    if (c == '\n') return scanLineFeed(s);
    if (c == '"') return scanString(s);
    if (isLetter(c)) {
        scanRun(s, CLS_NAME, [](unsigned char b) { return isLetter(b) || isDigit(b); });
        return true;
    }
    if (isDigit(c)) {
        scanRun(s, CLS_NUM, [](unsigned char b) { return isDigit(b) || b == '.'; });
        return true;
    }
    if (int32_t cls = singleCharClass(c); cls != CLS_NONE) {
        scanSingleChar(s, cls);
        return true;
    }
    // Every printable ASCII byte belongs to a rule above, so what is left is
    // a control byte (zero and 28..31 included) or a byte above 126.
    s.fail(LEX_UNKNOWN_BYTE,
           "Unknown token!-[ " + std::string(1, static_cast<char>(c)) + " ] at LINE: ");
    return false;
}

}  // namespace

int32_t tokenize(std::string source, TokenStore& tokens, LexState& lex, Reporter& rep) {
    if (source.size() > kMaxStoreSource) throw std::bad_alloc();
    tokens.reset(std::move(source));
    // A source of n bytes holds at most n tokens; reserving up front spares
    // the store its regrowth copies (pages are touched only as tokens
    // arrive). Huge sources reserve a bounded amount and grow from there.
    tokens.reserve(std::min<size_t>(tokens.source().size(), kReserveTokenLimit));
    lex.errorCode = LEX_OK;
    lex.errorOffset = 0;
    Scanner s{tokens.source(), 0, tokens, lex, rep};
    while (!s.atEnd())
        if (!scanOne(s)) return 0;
    return tokens.appended();
}

int lexingPhase(std::string source, TokenStore& tokens, LexState& lex, Reporter& rep) {
    int32_t n = tokenize(std::move(source), tokens, lex, rep);
    if (lex.errorCode > 0) {
        rep.diagnostic("Process Terminated!", "EXIT from TOKENIZER", 0);
        return 0;
    }
    rep.countReport("Number of tokens: " + std::to_string(n) +
                    "\r\nNumber of lines: " + std::to_string(tokens.eolCount));
    tokens.count = n;
    if (tokens.eolCount == 0) {
        rep.diagnostic("Process Terminated!", "EXIT from TOKENIZER", 0);
        return 0;
    }
    return 1;
}

}  // namespace tessel
