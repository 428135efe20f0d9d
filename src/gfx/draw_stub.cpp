// Placeholder drawing functions until the rasterizer lands.
#include "gfx/draw.h"
#include "gfx/font.h"

namespace tessel {

uint32_t colorValue(int32_t r, int32_t g, int32_t b) {
    return static_cast<uint32_t>(r) + 256u * static_cast<uint32_t>(g) +
           65536u * static_cast<uint32_t>(b);
}
void clearTo(GfxState&, uint32_t) {}
void setForeground(GfxState&, uint32_t) {}
void setBackground(GfxState&, uint32_t) {}
void setFont(GfxState&, int32_t, int32_t, int32_t, std::string_view) {}
void pset(GfxState&, int32_t, int32_t) {}
void plot(GfxState&, int32_t, int32_t) {}
void drawTo(GfxState&, int32_t, int32_t) {}
void line(GfxState&, int32_t, int32_t, int32_t, int32_t) {}
void rect(GfxState&, int32_t, int32_t, int32_t, int32_t) {}
void circle(GfxState&, int32_t, int32_t, int32_t) {}
void drawText(GfxState&, int32_t, int32_t, std::string_view) {}
int32_t loadImage(GfxState&, const std::string&, int32_t, int32_t, int32_t, int32_t) { return 0; }
void showImage(GfxState&, int32_t, int32_t, int32_t, int32_t, int32_t) {}
std::unique_ptr<Font> Font::open(std::string_view, int, int, int) { return nullptr; }

}  // namespace tessel
