#include "gfx/gfx_state.h"

namespace tessel {

void createBackBuffer(GfxState& gfx, int width, int height) {
    gfx.width = width;
    gfx.height = height;
    gfx.pixels.assign(static_cast<size_t>(width) * height, 0xFFFFFFFFu);
}

}  // namespace tessel
