// Writing PNG files: screenshots of the back buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessel {

// The pixels (0x??RRGGBB, row-major) as an opaque 8-bit RGB PNG file,
// compressed with fixed-Huffman deflate. Empty when width or height is not
// positive or the image is too large to hold.
std::vector<uint8_t> encodePng(const uint32_t* pixels, int width, int height);

}  // namespace tessel
