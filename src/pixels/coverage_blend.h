// Mixing a colour into pixels by coverage, the inner loop of text drawing.
#pragma once

#include <cstdint>
#include <cstring>

namespace tessel {

// One pixel: each channel of `rgb` weighted by a (0..255) against the
// pixel's by 255 - a, rounded to nearest; the pixel's top byte is kept.
// This is the definition blendCoverage must match.
inline uint32_t blendPixel(uint32_t d, uint32_t rgb, uint32_t a) {
    uint32_t na = 255 - a;
    uint32_t r = (((rgb >> 16) & 0xFF) * a + ((d >> 16) & 0xFF) * na + 127) / 255;
    uint32_t g = (((rgb >> 8) & 0xFF) * a + ((d >> 8) & 0xFF) * na + 127) / 255;
    uint32_t b = ((rgb & 0xFF) * a + (d & 0xFF) * na + 127) / 255;
    return (d & 0xFF000000u) | r << 16 | g << 8 | b;
}

namespace detail {

// Two pixels' channels as bytes (in memory order: blue, green, red, top),
// and widened to 16-bit lanes.
typedef uint8_t PixelPairBytes __attribute__((vector_size(8)));
typedef uint16_t PixelPairLanes __attribute__((vector_size(16)));

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pixels are read channel by channel");

}  // namespace detail

// A coverage byte as blendCoverage reads it: repeated in the three colour
// bytes of a pixel-sized word, the top byte 0.
inline uint32_t spreadCoverage(uint8_t a) {
    return a * 0x010101u;
}

// blendPixel over `count` pixels, each with its own spread coverage, two
// pixels at a time, a channel per 16-bit lane: c * a + d * (255 - a) + 127 is
// at most 65152, and (x + 1 + (x >> 8)) >> 8 equals x / 255 for every x up to
// 65535. The top byte's lane has coverage 0, which gives back the pixel's
// own byte. No branch on the coverage: a glyph's edges are too irregular to
// predict, and 0 and 255 come out as they should (the pixel, the colour).
inline void blendCoverage(uint32_t* dst, const uint32_t* cov, int64_t count, uint32_t rgb) {
    using detail::PixelPairBytes;
    using detail::PixelPairLanes;
    const uint16_t cb = rgb & 0xFF, cg = (rgb >> 8) & 0xFF, cr = (rgb >> 16) & 0xFF;
    const PixelPairLanes colour = {cb, cg, cr, 0, cb, cg, cr, 0};
    int64_t i = 0;
    for (; i + 2 <= count; i += 2) {
        PixelPairBytes bytes, coverage;
        std::memcpy(&bytes, dst + i, sizeof bytes);
        std::memcpy(&coverage, cov + i, sizeof coverage);
        const PixelPairLanes a = __builtin_convertvector(coverage, PixelPairLanes);
        const PixelPairLanes x =
            colour * a + __builtin_convertvector(bytes, PixelPairLanes) * (255 - a) + 127;
        bytes = __builtin_convertvector((x + 1 + (x >> 8)) >> 8, PixelPairBytes);
        std::memcpy(dst + i, &bytes, sizeof bytes);
    }
    if (i < count) dst[i] = blendPixel(dst[i], rgb, cov[i] & 0xFF);
}

}  // namespace tessel
