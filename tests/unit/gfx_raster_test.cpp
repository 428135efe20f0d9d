// Pixel rules of points, lines, rectangles and circles.
#include <climits>

#include "pixels/raster.h"
#include "gfx_test_util.h"

namespace tessel {
namespace {

using namespace testing_gfx;

// --- colours -------------------------------------------------------------

TEST(GfxColour, ComponentsSpillIntoTheirNeighbours) {
    EXPECT_EQ(colourValue(255, 0, 0), 255u);
    EXPECT_EQ(colourValue(0, 0, 255), 16711680u);
    EXPECT_EQ(colourValue(256, 0, 0), colourValue(0, 1, 0));
    EXPECT_EQ(colourValue(-1, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(colourValue(0, 0, 256), 0x1000000u);
}

TEST(GfxColour, PixelIsTheLowColourBitsAsBlueGreenRed) {
    EXPECT_EQ(colourPixel(colourValue(255, 0, 0)), 0xFFFF0000u);
    EXPECT_EQ(colourPixel(colourValue(0, 0, 255)), 0xFF0000FFu);
    EXPECT_EQ(colourPixel(colourValue(256, 0, 0)), 0xFF000100u);  // spilled into green
    EXPECT_EQ(colourPixel(colourValue(0, 0, 256)), 0xFF000000u);  // spilled out: black
    EXPECT_EQ(colourPixel(colourValue(-1, 0, 0)), 0xFFFFFFFFu);
}

TEST(GfxColour, ForegroundAndBackgroundDrawWhatWasSetAtTheTime) {
    GfxState g = smallBuffer(8, 4);
    setForeground(g, colourValue(255, 0, 0));
    pset(g, 1, 1);
    setForeground(g, colourValue(0, 255, 0));
    pset(g, 2, 1);
    EXPECT_EQ(at(g, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(at(g, 2, 1), 0xFF00FF00u);
    clearTo(g, colourValue(0, 0, 255));
    for (uint32_t p : g.pixels) ASSERT_EQ(p, 0xFF0000FFu);
}

// --- points and lines ----------------------------------------------------

TEST(GfxLine, EndPointIsNotSet) {
    GfxState g = smallBuffer(12, 3);
    line(g, 0, 1, 10, 1);
    EXPECT_TRUE(samePicture({"............", "##########..", "............"}, picture(g)));
}

TEST(GfxLine, SinglePointLineDrawsNothing) {
    GfxState g = smallBuffer(4, 4);
    line(g, 2, 2, 2, 2);
    EXPECT_TRUE(samePicture({"....", "....", "....", "...."}, picture(g)));
}

TEST(GfxLine, AllOctantsFromTheCentre) {
    // From (4, 4) to each of the eight points on a 4 x 2 / 2 x 4 star; every
    // line stops one pixel short of its end.
    GfxState g = smallBuffer(9, 9);
    const int ends[8][2] = {{8, 6}, {6, 8}, {2, 8}, {0, 6}, {0, 2}, {2, 0}, {6, 0}, {8, 2}};
    for (auto& e : ends) line(g, 4, 4, e[0], e[1]);
    EXPECT_TRUE(samePicture({".........",
                             "..#..#...",
                             ".#.#.#.#.",
                             "..#####..",
                             "...###...",
                             ".####.##.",
                             "...#.#...",
                             "..#..#...",
                             "........."},
                            picture(g)));
}

TEST(GfxLine, TiesGoToTheUpperOrLeftPixelInEitherDirection) {
    // Half-way steps: (0,0)-(4,2) passes y = 0.5 at x = 1 and y = 1.5 at x = 3.
    GfxState down = smallBuffer(5, 3), up = smallBuffer(5, 3);
    line(down, 0, 0, 4, 2);
    line(up, 4, 2, 0, 0);
    EXPECT_TRUE(samePicture({"##...", "..##.", "....."}, picture(down)));
    EXPECT_TRUE(samePicture({".#...", "..##.", "....#"}, picture(up)));
    // A steep one: ties go left.
    GfxState steep = smallBuffer(3, 5), back = smallBuffer(3, 5);
    line(steep, 0, 0, 2, 4);
    line(back, 2, 4, 0, 0);
    EXPECT_TRUE(samePicture({"#..", "#..", ".#.", ".#.", "..."}, picture(steep)));
    EXPECT_TRUE(samePicture({"...", "#..", ".#.", ".#.", "..#"}, picture(back)));
}

TEST(GfxLine, DiagonalIsOnePixelPerStep) {
    GfxState g = smallBuffer(5, 5);
    line(g, 4, 0, 0, 4);
    EXPECT_TRUE(samePicture({"....#", "...#.", "..#..", ".#...", "....."}, picture(g)));
}

TEST(GfxLine, DrawFollowsThePenAndLineLeavesIt) {
    GfxState g = smallBuffer(12, 12);
    drawTo(g, 10, 0);  // from (0, 0): no PLOT yet
    drawTo(g, 10, 10);
    line(g, 0, 11, 5, 11);
    drawTo(g, 0, 10);  // continues from (10, 10), not from the LINE
    EXPECT_EQ(g.penX, 0);
    EXPECT_EQ(g.penY, 10);
    auto pic = picture(g);
    EXPECT_EQ(pic[0], "###########.");
    EXPECT_EQ(pic[5], "..........#.");
    EXPECT_EQ(pic[10], ".##########.");
    EXPECT_EQ(pic[11], "#####.......");
}

// Draws the same line into a small buffer and, shifted, into a big one that
// holds the whole line: the small buffer must show the big one's window.
void expectClippedLikeUnclipped(int x0, int y0, int x1, int y1) {
    const int ox = 1000, oy = 1000;
    GfxState small = smallBuffer(40, 30), big = smallBuffer(2050, 2040);
    line(small, x0, y0, x1, y1);
    line(big, x0 + ox, y0 + oy, x1 + ox, y1 + oy);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(at(small, x, y), at(big, x + ox, y + oy))
                << "first differing pixel (" << x << ", " << y << ") of line " << x0 << "," << y0
                << " - " << x1 << "," << y1;
}

TEST(GfxLine, ClippingKeepsEveryVisiblePixel) {
    expectClippedLikeUnclipped(-990, -900, 990, 1000);
    expectClippedLikeUnclipped(990, 950, -950, -700);
    expectClippedLikeUnclipped(-100, 17, 999, 3);
    expectClippedLikeUnclipped(13, -999, 29, 999);
    expectClippedLikeUnclipped(39, 29, -1000, -997);
    expectClippedLikeUnclipped(-7, 5, 45, 6);
    expectClippedLikeUnclipped(20, 40, 21, -3);
}

TEST(GfxLine, HugeCoordinatesAreClippedWithoutIterating) {
    GfxState g = smallBuffer(800, 600);
    line(g, -2000000000, 300, 2000000000, 300);
    line(g, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    line(g, INT_MAX, INT_MIN, INT_MIN, INT_MAX);
    line(g, 2000000000, 2000000000, 2000000001, -2000000000);
    EXPECT_EQ(at(g, 0, 300), 0xFF000000u);
    EXPECT_EQ(at(g, 799, 300), 0xFF000000u);
    EXPECT_EQ(at(g, 0, 0), 0xFF000000u);      // the main diagonal passes (0, 0) ...
    EXPECT_EQ(at(g, 599, 599), 0xFF000000u);  // ... and (599, 599)
    EXPECT_EQ(at(g, 5, 4), kWhite);
}

TEST(GfxPoint, OutsideTheBufferIsIgnored) {
    GfxState g = smallBuffer(3, 3);
    pset(g, -1, 0);
    pset(g, 3, 1);
    pset(g, 1, INT_MAX);
    pset(g, 1, 1);
    EXPECT_TRUE(samePicture({"...", ".#.", "..."}, picture(g)));
    GfxState none;  // no buffer at all (checking only)
    pset(none, 0, 0);
    line(none, 0, 0, 5, 5);
    rect(none, 0, 0, 5, 5);
    circle(none, 2, 2, 2);
}

// --- rectangles ----------------------------------------------------------

constexpr uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu;
const std::vector<std::pair<uint32_t, char>> kPenBrush = {{kRed, 'P'}, {kBlue, 'b'}};

GfxState penAndBrush(int w, int h) {
    GfxState g = smallBuffer(w, h);
    setForeground(g, colourValue(255, 0, 0));
    setBackground(g, colourValue(0, 0, 255));
    return g;
}

TEST(GfxRect, OutlineInPenInsideInBrushRightAndBottomExcluded) {
    GfxState g = penAndBrush(7, 6);
    rect(g, 1, 1, 5, 4);
    EXPECT_TRUE(samePicture(
        {".......", ".PPPPP.", ".PbbbP.", ".PbbbP.", ".PPPPP.", "......."}, picture(g, kPenBrush)));
    GfxState full = penAndBrush(100, 50);
    rect(full, 0, 0, 100, 50);  // covers x 0..99, y 0..49: the whole buffer
    EXPECT_EQ(at(full, 99, 49), kRed);
    EXPECT_EQ(at(full, 98, 48), kBlue);
}

TEST(GfxRect, BeforeAnyBackgroundColourTheInsideIsBlack) {
    GfxState g = smallBuffer(5, 5);
    rect(g, 0, 0, 5, 5);
    for (uint32_t p : g.pixels) ASSERT_EQ(p, 0xFF000000u);
}

TEST(GfxRect, NegativeSizesSwapTheCorners) {
    GfxState a = penAndBrush(8, 6), b = penAndBrush(8, 6);
    rect(a, 6, 5, -4, -3);  // corners (6, 5) and (2, 2)
    rect(b, 2, 2, 4, 3);
    EXPECT_TRUE(samePixels(b, a));
}

TEST(GfxRect, ThinAndEmptyRectangles) {
    GfxState g = penAndBrush(8, 5);
    rect(g, 1, 1, 1, 3);  // one column: all outline
    rect(g, 3, 1, 2, 2);  // two by two: all outline
    rect(g, 6, 1, 0, 3);  // zero width: nothing
    rect(g, 6, 1, 2, 0);  // zero height: nothing
    EXPECT_TRUE(samePicture({"........", ".P.PP...", ".P.PP...", ".P......", "........"},
                            picture(g, kPenBrush)));
}

TEST(GfxRect, FarOutsideAndHugeSizesAreClipped) {
    GfxState g = penAndBrush(6, 4);
    rect(g, INT_MIN, INT_MIN, INT_MAX, INT_MAX);  // right edge at -1: nothing shows
    rect(g, 2000000000, 0, 2000000000, 4);
    EXPECT_TRUE(samePicture({"......", "......", "......", "......"}, picture(g, kPenBrush)));
    rect(g, -5, -5, INT_MAX, INT_MAX);  // everything visible is inside
    for (uint32_t p : g.pixels) ASSERT_EQ(p, kBlue);
}

// --- circles and ellipses ------------------------------------------------

TEST(GfxCircle, SmallRadii) {
    GfxState g = penAndBrush(16, 8);
    circle(g, 1, 1, 1);  // a 2 x 2 box: too small to round
    circle(g, 6, 3, 3);
    circle(g, 12, 2, 0);  // nothing
    EXPECT_TRUE(samePicture({"PP...PP.........",
                             "PP..PbbP........",
                             "...PbbbbP.......",
                             "...PbbbbP.......",
                             "....PbbP........",
                             ".....PP.........",
                             "................",
                             "................"},
                            picture(g, kPenBrush)));
}

// Checks the shape of an ellipse drawn in the box (0,0)-(w,h) of a buffer one
// pixel larger each way: it touches all four sides, is symmetric, every row
// is outline - inside - outline, and the outline is closed.
void expectWellFormedEllipse(int w, int h) {
    GfxState g = penAndBrush(w + 1, h + 1);
    drawEllipse(Canvas{g.pixels.data(), g.width, g.height}, 0, 0, w, h, kRed, kBlue);
    SCOPED_TRACE(::testing::Message() << "ellipse " << w << " x " << h);
    for (int y = 0; y <= h; ++y)
        ASSERT_EQ(at(g, w, y), kWhite) << "right limit is excluded, row " << y;
    for (int x = 0; x <= w; ++x) ASSERT_EQ(at(g, x, h), kWhite) << "bottom limit is excluded";
    for (int y = 0; y < h; ++y) {
        int first = -1, last = -1;
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ(at(g, x, y), at(g, w - 1 - x, y)) << "left-right mirror at " << x << "," << y;
            ASSERT_EQ(at(g, x, y), at(g, x, h - 1 - y)) << "top-bottom mirror at " << x << "," << y;
            if (at(g, x, y) == kWhite) continue;
            if (first < 0) first = x;
            last = x;
        }
        ASSERT_GE(first, 0) << "row " << y << " is empty";
        ASSERT_EQ(at(g, first, y), kRed);
        for (int x = first; x <= last; ++x) ASSERT_NE(at(g, x, y), kWhite) << x << "," << y;
        if (y == 0) {
            ASSERT_EQ(at(g, w / 2, 0), kRed) << "top row is outline";
        }
    }
    bool touchesLeft = false;
    for (int y = 0; y < h; ++y) touchesLeft |= at(g, 0, y) == kRed;
    ASSERT_TRUE(touchesLeft);
}

TEST(GfxCircle, EllipsesOfEverySmallSizeAreWellFormed) {
    for (int w = 3; w <= 60; ++w)
        for (int h = 3; h <= 60; h += (w < 20 ? 1 : 7)) expectWellFormedEllipse(w, h);
    expectWellFormedEllipse(300, 5);
    expectWellFormedEllipse(4, 250);
}

TEST(GfxCircle, CircleIsTheEllipseOfItsSquareAndNegativeRadiusIsTheSame) {
    GfxState a = penAndBrush(30, 30), b = penAndBrush(30, 30), c = penAndBrush(30, 30);
    circle(a, 15, 14, 10);
    drawEllipse(Canvas{b.pixels.data(), b.width, b.height}, 5, 4, 25, 24, kRed, kBlue);
    circle(c, 15, 14, -10);
    EXPECT_TRUE(samePixels(b, a));
    EXPECT_TRUE(samePixels(b, c));
    EXPECT_EQ(at(a, 5, 14), kRed);   // leftmost at x - r
    EXPECT_EQ(at(a, 24, 14), kRed);  // rightmost at x + r - 1
    EXPECT_EQ(at(a, 25, 14), kWhite);
    EXPECT_EQ(at(a, 15, 4), kRed);
    EXPECT_EQ(at(a, 15, 23), kRed);
    EXPECT_EQ(at(a, 15, 14), kBlue);
}

TEST(GfxCircle, HugeCirclesAreClippedWithoutHanging) {
    GfxState g = penAndBrush(800, 600);
    circle(g, 400, 300, 2000000000);  // the buffer lies wholly inside
    for (uint32_t p : g.pixels) ASSERT_EQ(p, kBlue);
    circle(g, INT_MAX, INT_MAX, INT_MAX);
    circle(g, INT_MIN, 0, INT_MIN);
    circle(g, 2000000000, 2000000000, 5);
    // A big circle whose left edge crosses the buffer: outline there, inside to its right.
    GfxState edge = penAndBrush(40, 20);
    circle(edge, 100010, 10, 100000);
    EXPECT_EQ(at(edge, 10, 10), kRed);
    EXPECT_EQ(at(edge, 9, 10), kWhite);
    EXPECT_EQ(at(edge, 30, 10), kBlue);
}

}  // namespace
}  // namespace tessel
