// The tokenizer: one left-to-right scan of the source bytes into the token
// store, with the unknown-byte and bracket-balance checks, and the lexing
// phase that wraps it with the count report.
#include "lexer/tokenizer.h"

#include <algorithm>
#include <array>
#include <new>
#include <cstdint>
#include <string>
#include <vector>

#include "base/cp1252.h"

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

    // Shows the "T:Error" box for `code` at the `length` bytes from `offset`
    // and records it (reportError). Only numbers pass: the texts are made out
    // of the scan's way.
    [[gnu::always_inline]] inline void fail(int32_t code, size_t offset, size_t length);

    // Where the counts last balanced: the byte after the last line feed that
    // passed the bracket check.
    size_t balancedFrom = 0;
};

// Curly quotes, as a word processor or a web page writes them, in
// Windows-1252 (0x91 to 0x94) or, in a script saved as UTF-8, E2 80 98 to 9D.
bool isCurlyQuote(std::string_view src, size_t at) {
    const unsigned char c = static_cast<unsigned char>(src[at]);
    if (c >= 0x91 && c <= 0x94) return true;
    if (c != 0xE2 || at + 2 >= src.size() || static_cast<unsigned char>(src[at + 1]) != 0x80) return false;
    const unsigned char last = static_cast<unsigned char>(src[at + 2]);
    return last == 0x98 || last == 0x99 || last == 0x9C || last == 0x9D;
}

const char kCurlyQuoteHint[] =
    "a curly quote, as a word processor or a web page writes it: a string literal is enclosed in "
    "straight double quotes (\"...\") and a comment starts with a straight apostrophe (')";

// A literal left open on its line, perhaps by a curly closing quote.
[[gnu::cold]] std::string unclosedQuoteHint(std::string_view src, size_t open, size_t end) {
    for (size_t at = open; at < end; ++at)
        if (isCurlyQuote(src, at)) return kCurlyQuoteHint;
    return "close the string literal with a double quote (\") on the same line";
}

// What to write instead of a byte no rule takes.
[[gnu::cold]] std::string unknownByteHint(std::string_view src, size_t at) {
    if (isCurlyQuote(src, at)) return kCurlyQuoteHint;
    if (likelyUtf8Start(src) != std::string_view::npos)
        return "the script looks like UTF-8; run it with --utf8 to read its text as Windows-1252";
    const unsigned char c = static_cast<unsigned char>(src[at]);
    if (c < 0x20 || c == 0x7F)
        return "a control byte stands outside a string literal and a comment: remove it";
    return "a character other than letters, digits and the ASCII signs may stand only in a "
           "string literal or a comment";
}

// An apostrophe comment runs to the line feed (or the end of the source) and
// ends with an end-of-line token, without a bracket check. Any byte may stand
// in a comment, a zero byte included.
void scanComment(Scanner& s) {
    while (!s.atEnd() && s.peek() != '\n') ++s.pos;
    s.emitEol();
    ++s.pos;  // steps over the byte that ended the comment
}

// The bracket a count error concerns, read again from `from`, where the
// counts last balanced, up to `end` (only on the way to the error): the
// latest `open` left open, or the first `close` that found none open.
[[gnu::cold, gnu::noinline]] size_t wrongBracket(std::string_view src, size_t from, size_t end, char open,
                                                 char close, bool leftOpen) {
    std::vector<size_t> opened;
    for (size_t at = from; at < end && at < src.size(); ++at) {
        const char c = src[at];
        if (c == '"' || c == '\'') {  // a literal, or a comment to its line end
            at = src.find(c == '"' ? '"' : '\n', at + 1);
            if (at == std::string_view::npos) break;
        } else if (c == open) {
            opened.push_back(at);
        } else if (c == close && !opened.empty()) {
            opened.pop_back();
        } else if (c == close && !leftOpen) {
            return at;
        }
    }
    return leftOpen && !opened.empty() ? opened.back() : end;
}

// The "T:Error" box: the message up to the line number, which counts the
// line ends before the error (the place names lines from 1), and a hint.
[[gnu::cold, gnu::noinline]] void reportError(const TokenStore& tokens, LexState& lex, Reporter& rep, int32_t code,
                                              size_t tokenStart, size_t offset, size_t length) {
    const std::string_view src = tokens.source();
    std::string text, hint;
    switch (code) {
        case LEX_UNKNOWN_BYTE:
            text = "Unknown token!-[ " + std::string(1, src[offset]) + " ] at LINE: ";
            hint = unknownByteHint(src, offset);
            break;
        case LEX_UNCLOSED_QUOTE:
            text = "Unclosed Quote!- at LINE: ";
            hint = unclosedQuoteHint(src, tokenStart, offset + length);
            break;
        case LEX_MISSING_RPAREN: text = "Missing right paren! ((...)- at LINE: "; break;
        case LEX_MISSING_LPAREN: text = "Missing left paren! (...))- at LINE: "; break;
        case LEX_MISSING_RBRACKET: text = "Missing right bracket!- at LINE: "; break;
        default: text = "Missing left bracket!- at LINE: "; break;
    }
    lex.errorCode = code;
    lex.errorOffset = tokenStart;  // the opening quote of an unclosed literal
    text += std::to_string(tokens.eolCount);
    // (A bracket left open may stand on a line a comment ended before.)
    DiagnosticPlace where;
    where.at = tokens.placeAtOffset(static_cast<uint32_t>(offset));
    where.at.length = static_cast<uint32_t>(length);
    where.hint = std::move(hint);
    rep.diagnostic("T:Error", text, where);
}

void Scanner::fail(int32_t code, size_t offset, size_t length) {
    reportError(tokens, lex, rep, code, tokenStart, offset, length);
}

// A bracket error at a line feed where the counts differ (parentheses
// first), placed at the bracket concerned. Values only, so the scanner's
// address never escapes.
[[gnu::cold, gnu::noinline]] void bracketError(const TokenStore& tokens, LexState& lex, Reporter& rep,
                                               size_t balancedFrom, size_t lineFeed, size_t tokenStart,
                                               int32_t parens, int32_t brackets) {
    const bool paren = parens != 0;
    const bool leftOpen = paren ? parens > 0 : brackets > 0;
    const int32_t code = paren ? (leftOpen ? LEX_MISSING_RPAREN : LEX_MISSING_LPAREN)
                               : (leftOpen ? LEX_MISSING_RBRACKET : LEX_MISSING_LBRACKET);
    const size_t at = wrongBracket(tokens.source(), balancedFrom, lineFeed, paren ? '(' : '[', paren ? ')' : ']',
                                   leftOpen);
    reportError(tokens, lex, rep, code, tokenStart, at, 1);
}

// A line feed checks that parentheses, then brackets, balance so far.
bool scanLineFeed(Scanner& s) {
    if (s.openParens != s.closeParens || s.openBrackets != s.closeBrackets) {
        bracketError(s.tokens, s.lex, s.rep, s.balancedFrom, s.pos, s.tokenStart, s.openParens - s.closeParens,
                     s.openBrackets - s.closeBrackets);
        return false;
    }
    s.emitEol();
    ++s.pos;
    s.balancedFrom = s.pos;
    return true;
}

// A string literal: the bytes up to the next double quote, taken unchanged.
// A line feed, or the end of the source, before that quote is an error.
bool scanString(Scanner& s) {
    ++s.pos;
    while (!s.atEnd() && s.peek() != '"' && s.peek() != '\n') ++s.pos;
    if (s.atEnd() || s.peek() == '\n') {
        s.fail(LEX_UNCLOSED_QUOTE, s.tokenStart, s.pos - s.tokenStart);
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
    s.fail(LEX_UNKNOWN_BYTE, s.pos, 1);
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
        rep.diagnostic("Process Terminated!", "EXIT from TOKENIZER", {});
        return 0;
    }
    rep.countReport("Number of tokens: " + std::to_string(n) +
                    "\r\nNumber of lines: " + std::to_string(tokens.eolCount));
    tokens.count = n;
    if (tokens.eolCount == 0) {
        rep.diagnostic("Process Terminated!", "EXIT from TOKENIZER", {});
        return 0;
    }
    return 1;
}

}  // namespace tessel
