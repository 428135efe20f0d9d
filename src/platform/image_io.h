// Image files: loading (BMP in every variant, PNG) and saving PNG.
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

// Loads an image file. False (with a reason in `error`) when it cannot be read.
bool loadImageFile(const std::string& path, ImageData& out, std::string* error);

// Saves pixels (0x??RRGGBB) as an opaque PNG. False on failure.
bool savePng(const std::string& path, const uint32_t* pixels, int width, int height);

}  // namespace tessel
