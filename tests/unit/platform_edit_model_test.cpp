#include <gtest/gtest.h>

#include <vector>

#include "platform/edit_model.h"

namespace tessel {
namespace {

EditModel box(std::string_view text) {
    EditModel e;
    e.x = 10;
    e.y = 10;
    e.width = 100;
    e.height = 24;
    e.setText(text);
    return e;
}

TEST(EditModel, TypingAndCaretKeys) {
    EditModel e = box("");
    e.insert("helo");
    EXPECT_EQ(e.caret, 4u);
    EXPECT_TRUE(e.handleKey(VK_LEFT));
    e.insert("l");
    EXPECT_EQ(e.text, "hello");
    EXPECT_TRUE(e.handleKey(VK_HOME));
    EXPECT_TRUE(e.handleKey(VK_DELETE));
    EXPECT_EQ(e.text, "ello");
    EXPECT_TRUE(e.handleKey(VK_BACK));  // nothing before the caret
    EXPECT_EQ(e.text, "ello");
    EXPECT_TRUE(e.handleKey(VK_END));
    EXPECT_TRUE(e.handleKey(VK_DELETE));  // nothing after it
    EXPECT_TRUE(e.handleKey(VK_BACK));
    EXPECT_EQ(e.text, "ell");
    EXPECT_TRUE(e.handleKey(VK_RIGHT));
    EXPECT_EQ(e.caret, 3u);
    EXPECT_FALSE(e.handleKey('A'));  // letters come as typed text
}

TEST(EditModel, ControlCharactersAreNotInserted) {
    EditModel e = box("ab");
    EXPECT_EQ(e.caret, 0u);  // a new text puts the caret at its start
    e.insert("\r\n\t\x7f\xe9");
    EXPECT_EQ(e.text, "\xe9" "ab");
}

TEST(EditModel, ClickPlacesCaretByCell) {
    EditModel e = box("abcdef");
    e.placeCaret(10 + 2 + 3 * 8 + 1, 8);  // inside the fourth cell, left half
    EXPECT_EQ(e.caret, 3u);
    e.placeCaret(0, 8);
    EXPECT_EQ(e.caret, 0u);
    e.placeCaret(500, 8);
    EXPECT_EQ(e.caret, 6u);
    EXPECT_TRUE(e.contains(10, 33));
    EXPECT_FALSE(e.contains(110, 20));
    e.visible = false;
    EXPECT_FALSE(e.contains(20, 20));
}

TEST(EditModel, DrawsFieldBorderAndCaretOnlyWhenFocused) {
    const int w = 200, h = 60;
    std::vector<uint32_t> px(w * h, 0xFF123456u);
    EditModel e = box("");
    e.draw(Canvas{px.data(), w, h}, nullptr, false);
    EXPECT_EQ(px[10 * w + 10], 0xFF7A7A7Au);  // border
    EXPECT_EQ(px[20 * w + 50], 0xFFFFFFFFu);  // field
    EXPECT_EQ(px[20 * w + 12], 0xFFFFFFFFu);  // no caret
    EXPECT_EQ(px[40 * w + 50], 0xFF123456u);  // outside untouched
    e.draw(Canvas{px.data(), w, h}, nullptr, true);
    EXPECT_EQ(px[20 * w + 12], 0xFF000000u);  // caret at the text start
    e.visible = false;
    std::vector<uint32_t> clean(w * h, 1u);
    e.draw(Canvas{clean.data(), w, h}, nullptr, true);
    EXPECT_EQ(clean[20 * w + 50], 1u);
}

TEST(EditModel, DrawingClipsToTheBuffer) {
    std::vector<uint32_t> px(50 * 20, 0);
    EditModel e = box("x");
    e.x = -30;
    e.y = 5;
    e.width = 1000;
    e.draw(Canvas{px.data(), 50, 20}, nullptr, true);
    EXPECT_EQ(px[19 * 50 + 49], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace tessel
