// The drawing statements: points, lines from the pen position, rectangles
// and circles in the current colours.
#include <algorithm>

#include "gfx/draw.h"
#include "pixels/raster.h"

namespace tessel {

namespace {

// A line's rows: those of its two ends and between.
Canvas lineRows(GfxState& g, int32_t y0, int32_t y1) {
    return drawRows(g, std::min(y0, y1), int64_t(std::max(y0, y1)) + 1);
}

// The rows of a shape in the box between rows y0 and y1, in either order,
// the lower one excluded.
Canvas boxRows(GfxState& g, int64_t y0, int64_t y1) {
    return drawRows(g, std::min(y0, y1), std::max(y0, y1));
}

}  // namespace

void pset(GfxState& g, int32_t x, int32_t y) {
    setPixel(drawRows(g, y, int64_t(y) + 1), x, y, colourPixel(g.foreground));
}

void plot(GfxState& g, int32_t x, int32_t y) {
    g.penX = x;
    g.penY = y;
}

void drawTo(GfxState& g, int32_t x, int32_t y) {
    drawLine(lineRows(g, g.penY, y), g.penX, g.penY, x, y, colourPixel(g.foreground));
    plot(g, x, y);
}

void line(GfxState& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    drawLine(lineRows(g, y1, y2), x1, y1, x2, y2, colourPixel(g.foreground));
}

// Corners are computed in 64 bits: x + w never wraps around to the other
// side of the buffer.
void rect(GfxState& g, int32_t x, int32_t y, int32_t w, int32_t h) {
    drawRectangle(boxRows(g, y, int64_t(y) + h), x, y, int64_t(x) + w, int64_t(y) + h,
                  colourPixel(g.foreground), colourPixel(g.background));
}

void circle(GfxState& g, int32_t x, int32_t y, int32_t r) {
    drawEllipse(boxRows(g, int64_t(y) - r, int64_t(y) + r), int64_t(x) - r, int64_t(y) - r,
                int64_t(x) + r, int64_t(y) + r, colourPixel(g.foreground),
                colourPixel(g.background));
}

}  // namespace tessel
