// The drawing statements: points, lines from the pen position, rectangles
// and circles in the current colours.
#include "gfx/draw.h"
#include "pixels/raster.h"

namespace tessel {

void pset(GfxState& g, int32_t x, int32_t y) {
    setPixel(canvasOf(g), x, y, colourPixel(g.foreground));
}

void plot(GfxState& g, int32_t x, int32_t y) {
    g.penX = x;
    g.penY = y;
}

void drawTo(GfxState& g, int32_t x, int32_t y) {
    drawLine(canvasOf(g), g.penX, g.penY, x, y, colourPixel(g.foreground));
    plot(g, x, y);
}

void line(GfxState& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    drawLine(canvasOf(g), x1, y1, x2, y2, colourPixel(g.foreground));
}

// Corners are computed in 64 bits: x + w never wraps around to the other
// side of the buffer.
void rect(GfxState& g, int32_t x, int32_t y, int32_t w, int32_t h) {
    drawRectangle(canvasOf(g), x, y, int64_t(x) + w, int64_t(y) + h, colourPixel(g.foreground),
                  colourPixel(g.background));
}

void circle(GfxState& g, int32_t x, int32_t y, int32_t r) {
    drawEllipse(canvasOf(g), int64_t(x) - r, int64_t(y) - r, int64_t(x) + r, int64_t(y) + r,
                colourPixel(g.foreground), colourPixel(g.background));
}

}  // namespace tessel
