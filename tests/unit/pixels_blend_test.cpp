// Text's coverage blending against its per-pixel definition.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pixels/coverage_blend.h"

namespace tessel {
namespace {

// Every coverage with every pair of channel values: each of the three
// channels gets its own mix of text and pixel value, and the top byte of
// the pixel varies, so a lane that carried into its neighbour, a rounding
// off by one or a lost top byte all show.
TEST(CoverageBlend, EveryCoverageAndChannelPairMatchesThePixelDefinition) {
    std::vector<uint32_t> dst(256), want(256);
    std::vector<uint32_t> cov(256);
    size_t mismatches = 0;
    for (uint32_t text = 0; text < 256; ++text) {
        const uint32_t rgb = 0xAB000000u | text << 16 | (255 - text) << 8 | ((text * 37) & 0xFF);
        for (uint32_t a = 0; a < 256; ++a) {
            for (uint32_t d = 0; d < 256; ++d) {
                dst[d] =
                    (d * 0x01010101u & 0xFF000000u) | ((d * 7) & 0xFF) << 16 | d << 8 | (255 - d);
                want[d] = blendPixel(dst[d], rgb, a);
                cov[d] = spreadCoverage(static_cast<uint8_t>(a));
            }
            blendCoverage(dst.data(), cov.data(), 256, rgb);
            for (uint32_t d = 0; d < 256; ++d) mismatches += dst[d] != want[d];
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST(CoverageBlend, EndsAndFullCoverage) {
    // No coverage leaves the pixel, full coverage paints the colour (its top
    // byte dropped, the pixel's kept); nothing past the count is touched.
    std::vector<uint32_t> px{0x12345678u, 0x9ABCDEF0u, 0x0F0F0F0Fu, 0xDEADBEEFu};
    const std::vector<uint32_t> cov{spreadCoverage(0), spreadCoverage(255), spreadCoverage(128),
                                    spreadCoverage(255)};
    blendCoverage(px.data(), cov.data(), 3, 0xFF102030u);
    EXPECT_EQ(px[0], 0x12345678u);
    EXPECT_EQ(px[1], 0x9A102030u);
    EXPECT_EQ(px[2], blendPixel(0x0F0F0F0Fu, 0x102030u, 128));
    EXPECT_EQ(px[3], 0xDEADBEEFu);
}

}  // namespace
}  // namespace tessel
