// The tokenizer's splitting rules, counts and errors.
#include <gtest/gtest.h>

#include "front_test_support.h"

namespace tessel {
namespace {

using testing_support::RecordingReporter;

struct Lexed {
    TokenStore tokens;
    LexState lex;
    RecordingReporter rep;
    int32_t n = 0;

    explicit Lexed(std::string_view src) {
        n = tokenize(std::string(src), tokens, lex, rep);
        tokens.count = n;
    }

    std::vector<std::pair<std::string, int32_t>> all() const {
        std::vector<std::pair<std::string, int32_t>> out;
        for (int32_t i = 1; i <= n; ++i) out.emplace_back(tokens.textAt(i), tokens.classAt(i));
        return out;
    }
};

using Toks = std::vector<std::pair<std::string, int32_t>>;

TEST(Tokenizer, SplitsAnAssignmentAndReadsNothingPastTheEnd) {
    Lexed l("A=1\n");
    EXPECT_EQ(l.n, 4);
    EXPECT_EQ(l.all(), (Toks{{"A", CLS_NAME}, {"=", CLS_EQ}, {"1", CLS_NUM}, {"EOL", CLS_EOL}}));
    EXPECT_EQ(l.tokens.textAt(5), "");
    EXPECT_EQ(l.tokens.classAt(5), CLS_NONE);
    EXPECT_EQ(l.tokens.classAt(0), CLS_NONE);
    EXPECT_EQ(l.tokens.eolCount, 1);
}

TEST(Tokenizer, NumbersNamesAndSignsSplitWhereTheRulesSay) {
    EXPECT_EQ(Lexed(".5 -3 12ab 1.2.3 _x9").all(),
              (Toks{{".", CLS_DOT}, {"5", CLS_NUM}, {"-", CLS_MINUS}, {"3", CLS_NUM},
                    {"12", CLS_NUM}, {"ab", CLS_NAME}, {"1.2.3", CLS_NUM}, {"_x9", CLS_NAME}}));
}

TEST(Tokenizer, OperatorPairsStayTwoTokens) {
    EXPECT_EQ(Lexed("<=<>>=").all(), (Toks{{"<", CLS_LT}, {"=", CLS_EQ}, {"<", CLS_LT},
                                           {">", CLS_GT}, {">", CLS_GT}, {"=", CLS_EQ}}));
}

TEST(Tokenizer, EveryOneCharacterTokenHasItsClass) {
    const std::string chars = "+-*/:,()[]=><&|!#$%;.{}?@\\^`~";
    const int32_t classes[] = {CLS_PLUS, CLS_MINUS, CLS_STAR, CLS_SLASH, CLS_COLON, CLS_COMMA,
                               CLS_LPAR, CLS_RPAR, CLS_LBRK, CLS_RBRK, CLS_EQ, CLS_GT, CLS_LT,
                               CLS_AMP, CLS_BAR, CLS_BANG, CLS_HASH, CLS_DOLLAR, CLS_PCT, CLS_SEMI,
                               CLS_DOT, CLS_LBRACE, CLS_RBRACE, CLS_QMARK, CLS_AT, CLS_BSLASH,
                               CLS_CARET, CLS_BACKTICK, CLS_TILDE};
    ASSERT_EQ(chars.size(), std::size(classes));
    Lexed l(chars + "\n");
    ASSERT_EQ(l.n, static_cast<int32_t>(chars.size()) + 1) << l.rep.boxes.size();
    for (size_t k = 0; k < chars.size(); ++k) {
        EXPECT_EQ(l.tokens.textAt(k + 1), std::string(1, chars[k]));
        EXPECT_EQ(l.tokens.classAt(k + 1), classes[k]) << chars[k];
    }
}

TEST(Tokenizer, StringLiteralsKeepTheirBytes) {
    Lexed l("\"\"x \"a\t'b\xe9\r\"\n");
    EXPECT_EQ(l.all(), (Toks{{"", CLS_QSTR}, {"x", CLS_NAME}, {"a\t'b\xe9\r", CLS_QSTR}, {"EOL", CLS_EOL}}));
}

TEST(Tokenizer, CommentsEndLinesWithoutABracketCheck) {
    Lexed l("A(1 ' open\nB)\n");
    EXPECT_EQ(l.lex.errorCode, 0);
    EXPECT_EQ(l.tokens.eolCount, 2);
    Lexed noFeed("x ' last line");
    EXPECT_EQ(noFeed.all(), (Toks{{"x", CLS_NAME}, {"EOL", CLS_EOL}}));
    // Any byte may stand in a comment: a zero byte, a control byte or an
    // unknown one neither ends it nor stops the lexing phase.
    Lexed zero(std::string_view("'a\0b\x1c\x7f\xff\nc ' \0\n", 14));
    EXPECT_EQ(zero.lex.errorCode, 0);
    EXPECT_EQ(zero.all(), (Toks{{"EOL", CLS_EOL}, {"c", CLS_NAME}, {"EOL", CLS_EOL}}));
}

TEST(Tokenizer, CarriageReturnsAreBlanks) {
    Lexed l("a\r\nb\r\n");
    EXPECT_EQ(l.all(), (Toks{{"a", CLS_NAME}, {"EOL", CLS_EOL}, {"b", CLS_NAME}, {"EOL", CLS_EOL}}));
    EXPECT_EQ(Lexed("a\rb\r").tokens.eolCount, 0);
}

struct ErrorCase {
    std::string source;
    int32_t code;
    std::string text;
    int line;    // 1-based line of the place
    int column;  // 1-based byte column of the place
};

TEST(Tokenizer, ErrorsStopTheScanWithTheirCodeTextAndLine) {
    const ErrorCase cases[] = {
        {"a\n\xe9", 1, "Unknown token!-[ \xe9 ] at LINE: 1", 2, 1},
        {std::string("\0", 1), 1, std::string("Unknown token!-[ \0 ] at LINE: 0", 31), 1, 1},
        {"\x1c", 1, "Unknown token!-[ \x1c ] at LINE: 0", 1, 1},
        {"\x7f", 1, "Unknown token!-[ \x7f ] at LINE: 0", 1, 1},
        {"x = \x01", 1, "Unknown token!-[ \x01 ] at LINE: 0", 1, 5},
        {"\n\"ab\ncd\"\n", 2, "Unclosed Quote!- at LINE: 1", 2, 1},
        {"\n\n\"ab", 2, "Unclosed Quote!- at LINE: 2", 3, 1},
        {"(\n", 3, "Missing right paren! ((...)- at LINE: 0", 1, 1},
        {"\n())\n", 4, "Missing left paren! (...))- at LINE: 1", 2, 3},
        {"[\n", 5, "Missing right bracket!- at LINE: 0", 1, 1},
        {"([)\n", 5, "Missing right bracket!- at LINE: 0", 1, 2},
        {"]\n", 6, "Missing left bracket!- at LINE: 0", 1, 1},
        {"([\n", 3, "Missing right paren! ((...)- at LINE: 0", 1, 1},
        // The place is the bracket left open: inner brackets closed, one on
        // a line a comment ended (no count is checked there) named at its own line.
        {"x = (a[(1)] + 2\n", 3, "Missing right paren! ((...)- at LINE: 0", 1, 5},
        {"x = (1 ' open\nx = 2\n", 3, "Missing right paren! ((...)- at LINE: 1", 1, 5},
    };
    for (const ErrorCase& c : cases) {
        Lexed l(c.source);
        EXPECT_EQ(l.n, 0) << c.text;
        EXPECT_EQ(l.lex.errorCode, c.code) << c.text;
        ASSERT_EQ(l.rep.boxes.size(), 1u) << c.text;
        EXPECT_EQ(l.rep.boxes[0].caption, "T:Error");
        EXPECT_EQ(l.rep.boxes[0].text, c.text);
        EXPECT_EQ(l.rep.boxes[0].line, c.line) << c.text;
        EXPECT_EQ(l.rep.boxes[0].at.column, c.column) << c.text;
    }
}

// A byte no rule takes gets a hint that names the likely cause.
TEST(Tokenizer, UnknownBytesGetAHint) {
    auto hint = [](std::string_view src) { return Lexed(src).rep.boxes.at(0).hint; };
    EXPECT_EQ(hint("s = \x93hi\x94\n").rfind("a curly quote", 0), 0u);
    EXPECT_EQ(hint("s = \xe2\x80\x9chi\xe2\x80\x9d\n").rfind("a curly quote", 0), 0u);  // saved as UTF-8
    EXPECT_EQ(hint("s = \"hi\x94\n").rfind("a curly quote", 0), 0u);  // the literal left open
    EXPECT_NE(hint("' caf\xc3\xa9\nx = \xc3\xa9\n").find("--utf8"), std::string::npos);
    EXPECT_NE(hint("x = 1\x01\n").find("control byte"), std::string::npos);
}

// One lexing phase over a source.
struct Phase {
    RecordingReporter rep;
    TokenStore tokens;
    LexState lex;
    int result;
    explicit Phase(std::string_view src) : result(lexingPhase(std::string(src), tokens, lex, rep)) {}
};

TEST(LexingPhase, ReportsCountsAndFailsWithoutALineEnd) {
    Phase ok("VAR x\nx = 1\n");
    EXPECT_EQ(ok.result, 1);
    EXPECT_EQ(ok.tokens.count, 7);
    EXPECT_EQ(ok.rep.counts, std::vector<std::string>{"Number of tokens: 7\r\nNumber of lines: 2"});
    EXPECT_TRUE(ok.rep.boxes.empty());

    Phase blank("   ");
    EXPECT_EQ(blank.result, 0);
    EXPECT_EQ(blank.rep.counts, std::vector<std::string>{"Number of tokens: 0\r\nNumber of lines: 0"});
    ASSERT_EQ(blank.rep.boxes.size(), 1u);
    EXPECT_EQ(blank.rep.boxes[0].text, "EXIT from TOKENIZER");
    EXPECT_EQ(blank.rep.boxes[0].caption, "Process Terminated!");
}

TEST(LexingPhase, AnErrorShowsNoCountReportAndLeavesTheCountZero) {
    Phase bad("a b\n(\n");
    EXPECT_EQ(bad.result, 0);
    EXPECT_EQ(bad.tokens.count, 0);
    EXPECT_EQ(bad.tokens.appended(), 4);  // a, b, EOL and "(" stay in the store
    EXPECT_TRUE(bad.rep.counts.empty());
    ASSERT_EQ(bad.rep.boxes.size(), 2u);
    EXPECT_EQ(bad.rep.boxes[1].text, "EXIT from TOKENIZER");
}

TEST(Tokenizer, StoresScriptsFarBeyondFourThousandTokens) {
    std::string src;
    for (int i = 0; i < 50000; ++i) src += "x = 1\n";
    Lexed l(src);
    EXPECT_EQ(l.n, 200000);
    EXPECT_EQ(l.tokens.eolCount, 50000);
    EXPECT_EQ(l.tokens.textAt(199999), "1");
}

// Sources that no script with comments could stand for: any apostrophe would
// give them the line end they lack.
TEST(LexingPhase, SourcesWithoutALineEndOrCommentFailAfterTheCount) {
    struct Source {
        const char* bytes;
        size_t size;
        const char* count;
    };
    const Source sources[] = {
        {"", 0, "Number of tokens: 0\r\nNumber of lines: 0"},
        {"  \t  \r", 6, "Number of tokens: 0\r\nNumber of lines: 0"},
        {"VAR x", 5, "Number of tokens: 2\r\nNumber of lines: 0"},
        {"VAR x\rVAR y\r", 12, "Number of tokens: 4\r\nNumber of lines: 0"},
    };
    for (const Source& s : sources) {
        Phase p(std::string_view(s.bytes, s.size));
        EXPECT_EQ(p.result, 0) << s.bytes;
        EXPECT_EQ(p.rep.counts, std::vector<std::string>{s.count}) << s.bytes;
        ASSERT_EQ(p.rep.boxes.size(), 1u) << s.bytes;
        EXPECT_EQ(p.rep.boxes[0].caption, "Process Terminated!");
        EXPECT_EQ(p.rep.boxes[0].text, "EXIT from TOKENIZER");
    }
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

// The store keeps only where each token starts: its text and place are read
// back from the source, whatever class the checker gives the token later.
TEST(TokenStorePlaces, TextAndPlaceComeBackFromTheSource) {
    Lexed l("VAR x ' note\n  PRINT 10, 2.5, \"a b\"\n^x\n");
    ASSERT_EQ(l.lex.errorCode, 0);
    const TokenStore& t = l.tokens;
    EXPECT_EQ(t.textAt(3), "EOL");  // the comment's line end
    TokenPlace comment = t.placeAt(3);
    EXPECT_EQ(comment.line, 1);
    EXPECT_EQ(comment.column, 7);
    EXPECT_EQ(comment.length, 7u);  // from the apostrophe to the line feed
    TokenPlace print = t.placeAt(4);
    EXPECT_EQ(print.line, 2);
    EXPECT_EQ(print.column, 3);
    EXPECT_EQ(print.offset, 15u);
    EXPECT_EQ(t.textAt(7), "2.5");
    EXPECT_EQ(t.textAt(9), "a b");       // a literal's text without its quotes
    EXPECT_EQ(t.placeAt(9).length, 5u);  // and its extent with them
    EXPECT_EQ(t.placeAt(11).line, 3);
    EXPECT_EQ(t.placeAt(11).column, 1);
    EXPECT_EQ(t.lineStart(3), 36u);
    EXPECT_EQ(t.lineStart(9), t.source().size());
    // Outside the store: the empty token, placed after the last line.
    EXPECT_EQ(t.textAt(0), "");
    EXPECT_EQ(t.textAt(t.count + 1), "");
    EXPECT_EQ(t.placeAt(t.count + 1).line, 4);
}

TEST(TokenStorePlaces, RecodedTokensKeepTheirText) {
    Lexed l("str s\n^\n");
    TokenStore& t = l.tokens;
    t.setClass(1, CLS_CARET);  // STR's code is also the caret's class
    t.setClass(4, CLS_CARET);
    EXPECT_EQ(t.textAt(1), "str");
    EXPECT_EQ(t.textAt(4), "^");
    EXPECT_EQ(t.lineAt(4), 2);
}

TEST(TokenStorePlaces, LinesCountLineEndsBeforeTheToken) {
    std::string src;
    for (int i = 0; i < 1000; ++i) src += i % 3 ? "a\n" : "' c\n";
    Lexed l(src);
    ASSERT_EQ(l.tokens.eolCount, 1000);
    for (int32_t i = 1; i <= l.tokens.count; ++i) {
        int32_t line = 1;
        for (int32_t j = 1; j < i; ++j) line += l.tokens.classAt(j) == CLS_EOL;
        ASSERT_EQ(l.tokens.lineAt(i), line) << "token " << i;
        const bool afterName = l.tokens.classAt(i - 1) == CLS_NAME;
        ASSERT_EQ(l.tokens.placeAt(i).column, afterName ? 2 : 1) << "token " << i;
    }
}

}  // namespace
}  // namespace tessel
