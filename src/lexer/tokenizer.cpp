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

    // Shows the "T:Error" box for `code` and records it. `text` already holds
    // the message up to the line number, which counts the line ends before
    // the error (the place names lines from 1). The place covers `length`
    // bytes from `offset`.
    void fail(int32_t code, std::string text, size_t offset, size_t length, std::string hint = {}) {
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
    // A bracket error at the line feed where the counts differ; the place is
    // the bracket left open, or the first closing one that found none open.
    void failBrackets(int32_t code, std::string text, size_t at) { fail(code, std::move(text), at, 1); }

    // Where the line's brackets stand, for placing a bracket error: the
    // counts balance at every line feed before the error, so a line's own
    // brackets tell which one is wrong.
    std::vector<size_t> openParenAt{}, openBracketAt{};
    size_t strayParenAt = SIZE_MAX, strayBracketAt = SIZE_MAX;

    static void close(std::vector<size_t>& opened, size_t& stray, size_t at) {
        if (!opened.empty()) opened.pop_back();
        else if (stray == SIZE_MAX) stray = at;
    }
    void newLine() {
        openParenAt.clear();
        openBracketAt.clear();
        strayParenAt = strayBracketAt = SIZE_MAX;
    }
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
std::string unclosedQuoteHint(std::string_view src, size_t open, size_t end) {
    for (size_t at = open; at < end; ++at)
        if (isCurlyQuote(src, at)) return kCurlyQuoteHint;
    return "close the string literal with a double quote (\") on the same line";
}

// What to write instead of a byte no rule takes.
std::string unknownByteHint(std::string_view src, size_t at) {
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

// A line feed checks that parentheses, then brackets, balance so far.
bool scanLineFeed(Scanner& s) {
    auto last = [&s](const std::vector<size_t>& opened) { return opened.empty() ? s.pos : opened.back(); };
    auto stray = [&s](size_t at) { return at == SIZE_MAX ? s.pos : at; };
    if (s.openParens > s.closeParens) {
        s.failBrackets(LEX_MISSING_RPAREN, "Missing right paren! ((...)- at LINE: ", last(s.openParenAt));
    } else if (s.openParens < s.closeParens) {
        s.failBrackets(LEX_MISSING_LPAREN, "Missing left paren! (...))- at LINE: ", stray(s.strayParenAt));
    } else if (s.openBrackets > s.closeBrackets) {
        s.failBrackets(LEX_MISSING_RBRACKET, "Missing right bracket!- at LINE: ", last(s.openBracketAt));
    } else if (s.openBrackets < s.closeBrackets) {
        s.failBrackets(LEX_MISSING_LBRACKET, "Missing left bracket!- at LINE: ", stray(s.strayBracketAt));
    } else {
        s.emitEol();
        ++s.pos;
        s.newLine();
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
        s.fail(LEX_UNCLOSED_QUOTE, "Unclosed Quote!- at LINE: ", s.tokenStart, s.pos - s.tokenStart,
               unclosedQuoteHint(s.src, s.tokenStart, s.pos));
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
    if (cls == CLS_LPAR) {
        ++s.openParens;
        s.openParenAt.push_back(s.pos);
    } else if (cls == CLS_RPAR) {
        ++s.closeParens;
        Scanner::close(s.openParenAt, s.strayParenAt, s.pos);
    } else if (cls == CLS_LBRK) {
        ++s.openBrackets;
        s.openBracketAt.push_back(s.pos);
    } else if (cls == CLS_RBRK) {
        ++s.closeBrackets;
        Scanner::close(s.openBracketAt, s.strayBracketAt, s.pos);
    }
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
    s.fail(LEX_UNKNOWN_BYTE, "Unknown token!-[ " + std::string(1, static_cast<char>(c)) + " ] at LINE: ",
           s.pos, 1, unknownByteHint(s.src, s.pos));
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
