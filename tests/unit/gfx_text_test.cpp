// Text: cell size, advance and placement (not glyph shapes), colour,
// transparency and SETFONT.
#include <climits>

#include "gfx_test_util.h"

namespace tessel {
namespace {

using namespace testing_gfx;

// The bounding box of every pixel that is not `background`.
struct Ink {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;  // right, bottom inclusive
    int count = 0;
};

Ink inkOf(const GfxState& g, uint32_t background = kWhite) {
    Ink ink;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            if (at(g, x, y) != background) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
                ++ink.count;
            }
    return ink;
}

GfxState screen() {
    GfxState g;
    createBackBuffer(g, 200, 120);
    return g;
}

TEST(GfxText, DefaultFontHasASixteenByEightCell) {
    GfxState g = screen();
    ASSERT_TRUE(currentFont(g));
    EXPECT_EQ(currentFont(g)->cellHeight(), 16);
    EXPECT_EQ(currentFont(g)->textWidth("0"), 8);
    EXPECT_EQ(currentFont(g)->textWidth("Hello, World!"), 13 * 8);
    EXPECT_EQ(currentFont(g)->textWidth(""), 0);
    EXPECT_GT(currentFont(g)->ascent(), 8);
    EXPECT_LT(currentFont(g)->ascent(), 16);
}

TEST(GfxText, TextSitsInItsCellsFromTheTopLeftCorner) {
    GfxState g = screen();
    drawText(g, 40, 30, "Hg|_");
    Ink ink = inkOf(g);
    ASSERT_GT(ink.count, 0);
    EXPECT_GE(ink.left, 40);
    EXPECT_LE(ink.right, 40 + 4 * 8 - 1);
    EXPECT_GE(ink.top, 30);
    EXPECT_LE(ink.bottom, 30 + 15);
    EXPECT_GE(ink.right, 40 + 3 * 8);  // the fourth character is drawn in the fourth cell
}

TEST(GfxText, LinesSixteenPixelsApartDoNotOverlap) {
    GfxState top = screen(), bottom = screen();
    drawText(top, 0, 0, "|gjpqy_");
    drawText(bottom, 0, 16, "|Hdfkl^");
    Ink a = inkOf(top), b = inkOf(bottom);
    EXPECT_LE(a.bottom, 15);
    EXPECT_GE(b.top, 16);
}

// Every printable character, accented capitals included, keeps its ink in
// the rows of its cell at every cell height, so lines a cell apart never
// touch. (The baseline sits where the font's ascent puts it.)
TEST(GfxText, EveryCharacterStaysInItsCellRowsAtEverySize) {
    std::string all;
    for (int c = 0x21; c <= 0xFF; ++c)
        if (c != 0x7F) all += static_cast<char>(c);
    for (int height : {8, 11, 12, 13, 16, 17, 20, 24, 31, 32, 40, 48}) {
        for (int weight : {0, 700}) {
            GfxState g;
            createBackBuffer(g, 2200, 200);
            setFont(g, height, 0, weight, "Consolas");
            ASSERT_TRUE(currentFont(g));
            drawText(g, 0, 50, all);
            Ink ink = inkOf(g);
            ASSERT_GT(ink.count, 0);
            EXPECT_GE(ink.top, 50) << "height " << height << ", weight " << weight;
            EXPECT_LT(ink.bottom, 50 + currentFont(g)->cellHeight())
                << "height " << height << ", weight " << weight;
        }
    }
}

TEST(GfxText, AccentedCapitalsSixteenPixelsBelowALineDoNotTouchIt) {
    GfxState g = screen();
    drawText(g, 10, 100 - 16, "gjpqy_|");
    Ink above = inkOf(g);
    GfxState h = screen();
    drawText(h, 10, 100, "\xC0\xC9\xD1\xD4\xDB\xDD\x8A\x8E");
    Ink accents = inkOf(h);
    EXPECT_LT(above.bottom, 100);
    EXPECT_EQ(accents.top, 100);  // the accents reach the cell's first row, not above it
}

TEST(GfxText, ForegroundColourAndNoBackgroundBox) {
    GfxState g = screen();
    setBackground(g, colourValue(0, 255, 0));  // never painted behind text
    setForeground(g, colourValue(255, 0, 0));
    drawText(g, 10, 10, "HHHH");
    bool solid = false;
    for (uint32_t p : g.pixels) {
        if (p == kWhite) continue;
        uint32_t r = (p >> 16) & 0xFF, gr = (p >> 8) & 0xFF, b = p & 0xFF;
        ASSERT_EQ(r, 0xFFu) << std::hex << p;  // white mixed with red only
        ASSERT_EQ(gr, b) << std::hex << p;
        solid |= p == 0xFFFF0000u;
    }
    EXPECT_TRUE(solid) << "the stems of H are drawn in the full colour";
    EXPECT_EQ(at(g, 10, 10), kWhite);  // the cell's corner is background
}

TEST(GfxText, HighBytesAreWindows1252Characters) {
    GfxState g = screen();
    const char euroAndEAcute[] = {'\x80', '\xE9', 0};
    EXPECT_EQ(currentFont(g)->textWidth(euroAndEAcute), 16);
    drawText(g, 0, 0, euroAndEAcute);
    Ink ink = inkOf(g);
    EXPECT_GT(ink.count, 10);
    EXPECT_GE(ink.right, 8);  // both characters have ink
}

TEST(GfxText, SetFontHeightWidthAndWeight) {
    GfxState g = screen();
    setFont(g, 32, 0, 700, "Consolas");
    EXPECT_EQ(currentFont(g)->cellHeight(), 32);
    int natural = currentFont(g)->textWidth("0");
    EXPECT_GE(natural, 15);
    EXPECT_LE(natural, 18);
    setFont(g, 16, 16, 0, "Consolas");
    EXPECT_EQ(currentFont(g)->cellHeight(), 16);
    EXPECT_EQ(currentFont(g)->textWidth("00"), 32);
    setFont(g, -16, 0, 0, "Consolas");  // negative: the em, so the cell is taller
    EXPECT_GT(currentFont(g)->cellHeight(), 16);
}

TEST(GfxText, BoldHasMoreInkThanRegular) {
    GfxState regular = screen(), bold = screen();
    setFont(bold, 16, 8, 700, "Consolas");
    drawText(regular, 0, 0, "HHHHMMMM");
    drawText(bold, 0, 0, "HHHHMMMM");
    EXPECT_GT(inkOf(bold).count, inkOf(regular).count);
    EXPECT_EQ(currentFont(bold)->textWidth("HHHHMMMM"), 64);  // the bold grid keeps the advance
}

TEST(GfxText, UnknownFacesStillGiveTheAskedCell) {
    GfxState g = screen();
    setFont(g, 20, 10, 400, "No Such Face At All");
    ASSERT_TRUE(currentFont(g));
    EXPECT_EQ(currentFont(g)->cellHeight(), 20);
    EXPECT_EQ(currentFont(g)->textWidth("0"), 10);
    setFont(g, 24, 0, 0, "");
    EXPECT_EQ(currentFont(g)->cellHeight(), 24);
}

TEST(GfxText, RepeatedSetFontReusesTheFont) {
    GfxState g = screen();
    const Font* standard = currentFont(g).get();
    setFont(g, 30, 0, 0, "DejaVu Sans");
    const Font* other = currentFont(g).get();
    setFont(g, 16, 8, 0, "Consolas");
    EXPECT_EQ(currentFont(g).get(), standard);
    setFont(g, 30, 0, 0, "DejaVu Sans");
    EXPECT_EQ(currentFont(g).get(), other);
}

TEST(GfxText, AbsurdSizesAndPositionsAreSafe) {
    GfxState g = screen();
    setFont(g, INT_MAX, INT_MIN, INT_MAX, "Consolas");
    ASSERT_TRUE(currentFont(g));
    EXPECT_LE(currentFont(g)->cellHeight(), 4096);
    drawText(g, 0, -1000, "W");  // the middle of a glyph some 1300 pixels high
    EXPECT_GT(inkOf(g).count, 1000);
}

TEST(GfxText, OnlyWhatFallsInTheBufferIsDrawn) {
    GfxState g = screen();
    drawText(g, INT_MAX, INT_MAX, "far away");
    drawText(g, INT_MIN, INT_MIN, "far away");
    drawText(g, INT_MAX - 4, 10, std::string(1000, 'x'));
    drawText(g, 10, 200, "below");
    EXPECT_EQ(inkOf(g).count, 0);
    drawText(g, -8 * 3, 0, "abcH");  // only the H shows
    Ink ink = inkOf(g);
    EXPECT_GT(ink.count, 0);
    EXPECT_LE(ink.right, 7);
}

}  // namespace
}  // namespace tessel
