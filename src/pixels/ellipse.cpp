// Ellipses: outline in the pen, inside in the brush.
#include <algorithm>
#include <cmath>

#include "pixels/raster.h"

namespace tessel {

namespace {

// Boxes up to this size are traced pixel by pixel with exact integer error
// terms; larger ones (they can only be partly visible) are computed row by
// row for the visible rows only.
constexpr int64_t kTracedLimit = 65536;

// The box of an ellipse after ordering its corners: left <= x < right, top <= y < bottom.
struct Box {
    int64_t left, top, right, bottom;
    int64_t width() const { return right - left; }
    int64_t height() const { return bottom - top; }
};

// The inside of one row and its mirror: everything between the outermost
// outline pixels, column x and its mirror w-1-x, on rows y and h-1-y.
void paintRowPair(Canvas c, const Box& b, int64_t x, int64_t y, uint32_t brush) {
    int64_t w = b.width(), h = b.height();
    int64_t from = b.left + (w - 1 - x), to = b.left + x + 1;
    fillRect(c, from, b.top + h - 1 - y, to, b.top + h - y, brush);
    fillRect(c, from, b.top + y, to, b.top + y + 1, brush);
}

// An outline point and its three mirrors.
void plotFourWays(Canvas c, const Box& b, int64_t x, int64_t y, uint32_t pen) {
    int64_t w = b.width(), h = b.height();
    int64_t right = b.left + x, left = b.left + (w - 1 - x);
    int64_t upper = b.top + (h - 1 - y), lower = b.top + y;
    setPixel(c, right, upper, pen);
    setPixel(c, left, upper, pen);
    setPixel(c, right, lower, pen);
    setPixel(c, left, lower, pen);
}

// Traces one quarter of the ellipse inscribed in a w x h box (w, h > 2) with
// an integer midpoint scheme: from the right end of the middle row (x = w-1,
// y = h/2) until x passes the middle column, each step moving one column
// inwards, one row outwards or both, whichever keeps the error of the ellipse
// equation smallest. `visit(x, y, newRow)` gets offsets in the box: column x
// on the right half and row y on the lower half (y = h/2 .. h-1); the other
// three quarters are its mirrors.
template <class Visit>
void traceQuadrant(int64_t w, int64_t h, Visit visit) {
    const int64_t a = w - 1, b = h - 1, oddB = b & 1;
    const int64_t xGrowth = 8 * b * b, yGrowth = 8 * a * a;
    int64_t xError = 4 * b * b * (1 - a);  // error change of the next x step
    int64_t yError = 4 * a * a * (1 + oddB);  // error change of the next y step
    int64_t error = xError + yError + a * a * oddB;
    int64_t x = a, y = h / 2, lastY = y - 1;
    bool newRow = true;
    while (x >= w / 2) {
        visit(x, y, newRow);
        lastY = y;
        int64_t twice = 2 * error;
        bool stepX = twice >= xError, stepY = twice <= yError;
        if (!stepX && !stepY) break;  // cannot happen for w, h > 2; never loop forever
        if (stepX) {
            --x;
            xError += xGrowth;
            error += xError;
        }
        if (stepY) {
            ++y;
            yError += yGrowth;
            error += yError;
        }
        newRow = stepY;
    }
    // Narrow ellipses reach the middle column before the outermost row: their
    // tip goes straight on from there to the box's edge.
    for (y = lastY + 1; y <= b; ++y) visit(w / 2, y, true);
}

void drawTracedEllipse(Canvas c, const Box& b, uint32_t pen, uint32_t brush) {
    int64_t w = b.width(), h = b.height();
    // The first point of each row is its outermost: fill the row pairs first,
    // then put the outline over them.
    traceQuadrant(w, h, [&](int64_t x, int64_t y, bool newRow) {
        if (newRow) paintRowPair(c, b, x, y, brush);
    });
    traceQuadrant(w, h, [&](int64_t x, int64_t y, bool) { plotFourWays(c, b, x, y, pen); });
}

// Half the width of the ellipse at vertical distance d from its centre.
long double halfWidthAt(long double d, long double rx, long double ry) {
    if (d <= 0) return rx;
    if (d >= ry) return 0;
    long double t = d / ry;
    return rx * std::sqrt(1 - t * t);
}

// Large ellipses: for each visible row, the outline covers the columns the
// curve passes within that row's band, the inside lies between.
void drawComputedEllipse(Canvas c, const Box& b, uint32_t pen, uint32_t brush) {
    long double rx = (b.width() - 1) / 2.0L, ry = (b.height() - 1) / 2.0L;
    long double cx = b.left + rx, cy = b.top + ry;
    int64_t first = std::max<int64_t>(b.top, 0), last = std::min<int64_t>(b.bottom, c.height);
    for (int64_t y = first; y < last; ++y) {
        long double d = std::fabs(y - cy);
        long double outer = halfWidthAt(d - 0.5L, rx, ry), inner = halfWidthAt(d + 0.5L, rx, ry);
        int64_t outerL = std::llround(cx - outer), outerR = std::llround(cx + outer);
        int64_t innerL = std::llround(cx - inner), innerR = std::llround(cx + inner);
        innerL = std::max(std::min(innerL, outerR), outerL);
        innerR = std::min(std::max(innerR, outerL), outerR);
        fillRect(c, outerL, y, innerL + 1, y + 1, pen);
        fillRect(c, innerL + 1, y, innerR, y + 1, brush);
        fillRect(c, std::max(innerR, innerL + 1), y, outerR + 1, y + 1, pen);
    }
}

}  // namespace

void drawEllipse(Canvas c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t pen,
                 uint32_t brush) {
    Box b{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
    if (b.width() <= 2 || b.height() <= 2) {  // too small to round: a rectangle
        drawRectangle(c, b.left, b.top, b.right, b.bottom, pen, brush);
        return;
    }
    if (b.right <= 0 || b.bottom <= 0 || b.left >= c.width || b.top >= c.height) return;
    if (b.width() <= kTracedLimit && b.height() <= kTracedLimit)
        drawTracedEllipse(c, b, pen, brush);
    else
        drawComputedEllipse(c, b, pen, brush);
}

}  // namespace tessel
