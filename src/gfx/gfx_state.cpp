#include "gfx/gfx_state.h"

#include "gfx/draw.h"

namespace tessel {

void createBackBuffer(GfxState& gfx, int width, int height) {
    gfx.width = width;
    gfx.height = height;
    gfx.pixels.assign(static_cast<size_t>(width) * height, 0xFFFFFFFFu);
    gfx.foreground = 0;
    gfx.background = 0;
    gfx.penX = 0;
    gfx.penY = 0;
    setFont(gfx, kDefaultFontHeight, kDefaultFontWidth, 0, kDefaultFontFace);
}

}  // namespace tessel
