#include "gfx/gfx_state.h"

#include <algorithm>
#include <cstdint>

#include "gfx/draw.h"

namespace tessel {

void createBackBuffer(GfxState& gfx, int width, int height) {
    gfx.width = width;
    gfx.height = height;
    gfx.pixels.assign(static_cast<size_t>(width) * height, 0xFFFFFFFFu);
    gfx.changedTop = 0;
    gfx.changedBottom = height;
    gfx.foreground = 0;
    gfx.background = 0;
    gfx.penX = 0;
    gfx.penY = 0;
    setFont(gfx, kDefaultFontHeight, kDefaultFontWidth, 0, kDefaultFontFace);
}

RowSpan takeChangedRows(GfxState& g) {
    RowSpan rows{static_cast<int>(std::clamp<int64_t>(g.changedTop, 0, g.height)),
                 static_cast<int>(std::clamp<int64_t>(g.changedBottom, 0, g.height))};
    g.changedTop = INT64_MAX;
    g.changedBottom = INT64_MIN;
    return rows;
}

}  // namespace tessel
