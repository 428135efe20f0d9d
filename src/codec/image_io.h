// Decoded images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessel {

struct ImageData {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, row-major; alpha is always 0xFF
};



}  // namespace tessel
