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

// Opens the newest pending font that can be opened; when none can, the font
// selected before them stays.
void openPendingFonts(GfxState& g) {
    auto& fonts = g.fonts;
    for (auto it = g.pendingFonts.rbegin(); it != g.pendingFonts.rend(); ++it) {
        std::shared_ptr<Font> font = Font::open(it->face, it->height, it->width, it->weight);
        if (!font) continue;
        if (fonts.size() >= kFontCacheSize) fonts.pop_back();
        it->font = font;
        fonts.insert(fonts.begin(), std::move(*it));
        g.font = std::move(font);
        break;
    }
    g.pendingFonts.clear();
}

}  // namespace

void setFont(GfxState& g, int32_t height, int32_t width, int32_t weight, std::string_view face) {
    auto& fonts = g.fonts;
    for (size_t i = 0; i < fonts.size(); ++i) {
        if (!sameRequest(fonts[i], height, width, weight, face)) continue;
        std::rotate(fonts.begin(), fonts.begin() + i, fonts.begin() + i + 1);
        g.font = fonts.front().font;
        g.pendingFonts.clear();
        return;
    }
    g.pendingFonts.push_back(CachedFont{std::string(face), height, width, weight, nullptr});
}

const std::shared_ptr<Font>& currentFont(GfxState& g) {
    if (!g.pendingFonts.empty()) openPendingFonts(g);
    return g.font;
}

void drawText(GfxState& g, int32_t x, int32_t y, std::string_view bytes) {
    if (!currentFont(g) || g.pixels.empty()) return;
    // Text draws only in its cell's rows.
    g.font->draw(drawRows(g, y, int64_t(y) + g.font->cellHeight()), x, y, bytes,
                 colourPixel(g.foreground));
}

}  // namespace tessel
