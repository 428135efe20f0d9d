// Colour values, the drawing colours and clearing the buffer.
#include "gfx/draw.h"
#include "pixels/raster.h"

namespace tessel {

uint32_t colourValue(int32_t r, int32_t g, int32_t b) {
    // Unsigned arithmetic wraps like the 32-bit sum it stands for.
    return static_cast<uint32_t>(r) + 256u * static_cast<uint32_t>(g) +
           65536u * static_cast<uint32_t>(b);
}

uint32_t colourPixel(uint32_t colour) {
    uint32_t red = colour & 0xFFu, green = (colour >> 8) & 0xFFu, blue = (colour >> 16) & 0xFFu;
    return 0xFF000000u | red << 16 | green << 8 | blue;
}

void clearTo(GfxState& g, uint32_t colour) {
    fillRect(drawRows(g, 0, g.height), 0, 0, g.width, g.height, colourPixel(colour));
}

void setForeground(GfxState& g, uint32_t colour) { g.foreground = colour; }

void setBackground(GfxState& g, uint32_t colour) { g.background = colour; }

}  // namespace tessel
