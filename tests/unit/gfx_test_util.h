// Helpers for the rasterizer tests: small buffers drawn as text pictures, so
// an expected shape reads like the pixels it names.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "gfx/draw.h"
#include "platform/sdl_module.h"

namespace tessel::testing_gfx {

inline constexpr uint32_t kWhite = 0xFFFFFFFFu;

// A white buffer of the given size with black pen and brush, no font.
inline GfxState smallBuffer(int w, int h) {
    GfxState g;
    g.width = w;
    g.height = h;
    g.pixels.assign(size_t(w) * h, kWhite);
    return g;
}

inline uint32_t at(const GfxState& g, int x, int y) { return g.pixels[size_t(y) * g.width + x]; }

// The buffer as rows of characters: '.' white, otherwise the character
// `legend` gives for the pixel (default '#').
inline std::vector<std::string> picture(const GfxState& g,
                                        const std::vector<std::pair<uint32_t, char>>& legend = {}) {
    std::vector<std::string> rows;
    for (int y = 0; y < g.height; ++y) {
        std::string row;
        for (int x = 0; x < g.width; ++x) {
            uint32_t p = at(g, x, y);
            char c = p == kWhite ? '.' : '#';
            for (auto& [pixel, ch] : legend)
                if (p == pixel) c = ch;
            row += c;
        }
        rows.push_back(row);
    }
    return rows;
}

// Compares a picture with the expected rows and names the first differing pixel.
inline ::testing::AssertionResult samePicture(const std::vector<std::string>& expected,
                                              const std::vector<std::string>& actual) {
    for (size_t y = 0; y < std::max(expected.size(), actual.size()); ++y) {
        std::string e = y < expected.size() ? expected[y] : "", a = y < actual.size() ? actual[y] : "";
        for (size_t x = 0; x < std::max(e.size(), a.size()); ++x) {
            char ce = x < e.size() ? e[x] : ' ', ca = x < a.size() ? a[x] : ' ';
            if (ce == ca) continue;
            std::ostringstream s;
            s << "first differing pixel (" << x << ", " << y << "): expected '" << ce
              << "', actual '" << ca << "'\nactual:\n";
            for (const std::string& row : actual) s << "  " << row << "\n";
            return ::testing::AssertionFailure() << s.str();
        }
    }
    return ::testing::AssertionSuccess();
}

// Names the first pixel where two equally sized buffers differ.
inline ::testing::AssertionResult samePixels(const GfxState& expected, const GfxState& actual) {
    if (expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure() << "buffer sizes differ";
    for (size_t i = 0; i < expected.pixels.size(); ++i)
        if (expected.pixels[i] != actual.pixels[i])
            return ::testing::AssertionFailure()
                   << "first differing pixel (" << i % expected.width << ", " << i / expected.width
                   << "): expected " << std::hex << expected.pixels[i] << ", actual "
                   << actual.pixels[i];
    return ::testing::AssertionSuccess();
}

}  // namespace tessel::testing_gfx
