// UTF-8 scripts read as Windows-1252, and the tokenizer's offset table.
#include <gtest/gtest.h>

#include "base/cp1252.h"
#include "lexer/tokenizer.h"

namespace tessel {
namespace {

TEST(Utf8Source, ConvertsDropsTheMarkAndMarksWhatItCannotHold) {
    EXPECT_EQ(utf8SourceToWindows1252("\xEF\xBB\xBFx = \"caf\xC3\xA9 \xE2\x82\xAC\""),
              "x = \"caf\xE9 \x80\"");
    EXPECT_EQ(utf8SourceToWindows1252("\xE4\xB8\xAD"), "?");  // no Windows-1252 letter
    EXPECT_EQ(utf8SourceToWindows1252("a\xE9"
                                      "b"),
              "a?b");                                                     // a stray byte
    EXPECT_EQ(utf8SourceToWindows1252("\xC0\xAF\xED\xA0\x80"), "?????");  // overlong, surrogate
    EXPECT_EQ(utf8SourceToWindows1252("\xC3"), "?");                      // cut short
}

TEST(Utf8Source, FindsTheFirstWellFormedSequence) {
    EXPECT_EQ(firstUtf8Sequence("ab\xE9\xC3\xA9"), 3u);
    EXPECT_EQ(firstUtf8Sequence("caf\xE9 na\xEFve"), std::string_view::npos);
    EXPECT_EQ(firstUtf8Sequence("\xF0\x9F\x98\x80"), 0u);
}

TEST(Utf8Source, LooksLikeUtf8OnlyWhenSequencesOutweighStrayBytes) {
    EXPECT_EQ(likelyUtf8Start("ab\xE9\xC3\xA9"), 3u);  // one stray byte among UTF-8
    EXPECT_EQ(likelyUtf8Start("\xEF\xBB\xBFVAR x"), 0u);
    // Windows-1252 capitals: \xDD\x8A happens to be well-formed, the rest is stray.
    EXPECT_EQ(likelyUtf8Start("\"\xC0\xC9\xD1\xD4\xDB\xDD\x8A\x8E\""), std::string_view::npos);
    EXPECT_EQ(likelyUtf8Start("\xE9\xC3\xA9"), 1u);      // two bytes against one
    EXPECT_EQ(likelyUtf8Start("\xE9\xE8\xC3\xA9"), std::string_view::npos);  // a tie is not enough
    EXPECT_EQ(likelyUtf8Start("plain"), std::string_view::npos);
}

struct NoBoxes final : Reporter {
    void diagnostic(std::string_view, std::string_view, const DiagnosticPlace&) override {}
    void countReport(std::string_view) override {}
};

TEST(TokenOffsets, EachTokenStartsWhereItIsWritten) {
    TokenStore tokens;
    LexState lex;
    NoBoxes rep;
    ASSERT_EQ(tokens.count = tokenize("x = \"ab\" ' note\n  PRINT(1)\n", tokens, lex, rep), 9);
    std::vector<uint32_t> offsets;
    for (int32_t i = 0; i <= 9; ++i) offsets.push_back(i == 0 ? 0 : tokens.offsetAt(i));
    std::vector<uint32_t> expected = {0, 0, 2, 4, 9, 18, 23, 24, 25, 26};
    EXPECT_EQ(offsets, expected);  // the comment's line end starts at its apostrophe
}

TEST(TokenOffsets, AnErrorKeepsWhereItsTokenStarts) {
    TokenStore tokens;
    LexState lex;
    NoBoxes rep;
    tokenize("a = 1\nb = \"open\n", tokens, lex, rep);
    EXPECT_EQ(lex.errorCode, 2);
    EXPECT_EQ(lex.errorOffset, 10u);
}

}  // namespace
}  // namespace tessel
