// Drawing state: the back buffer, colours, font, pen position and images.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace tessel {

struct GfxState {
    int width = 0;                  // back buffer size, fixed at creation
    int height = 0;
    std::vector<uint32_t> pixels;   // 0xAARRGGBB, row-major

    PixelView view() const { return PixelView{pixels.data(), width, height}; }
};

// Creates the white back buffer of the given size and selects the default font.
void createBackBuffer(GfxState& gfx, int width, int height);

}  // namespace tessel
