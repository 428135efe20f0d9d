// SETFONT and the text of PRINT.
#include <algorithm>

#include "gfx/draw.h"

namespace tessel {

namespace {

// Fonts kept open for reuse; beyond this the least recently used is closed.
constexpr size_t kFontCacheSize = 8;

bool sameRequest(const CachedFont& f, int32_t height, int32_t width, int32_t weight,
                 std::string_view face) {
    return f.height == height && f.width == width && f.weight == weight && f.face == face;
}

}  // namespace

void setFont(GfxState& g, int32_t height, int32_t width, int32_t weight, std::string_view face) {
    auto& fonts = g.fonts;
    for (size_t i = 0; i < fonts.size(); ++i) {
        if (!sameRequest(fonts[i], height, width, weight, face)) continue;
        std::rotate(fonts.begin(), fonts.begin() + i, fonts.begin() + i + 1);
        g.font = fonts.front().font;
        return;
    }
    std::shared_ptr<Font> font = Font::open(face, height, width, weight);
    if (!font) return;  // the previous font stays selected
    if (fonts.size() >= kFontCacheSize) fonts.pop_back();
    fonts.insert(fonts.begin(), CachedFont{std::string(face), height, width, weight, font});
    g.font = std::move(font);
}

void drawText(GfxState& g, int32_t x, int32_t y, std::string_view bytes) {
    if (!g.font || g.pixels.empty()) return;
    g.font->draw(g.pixels.data(), g.width, g.height, x, y, bytes, colourPixel(g.foreground));
}

}  // namespace tessel
