// Text rendering with FreeType; fontconfig turns a face name into a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "pixels/raster.h"

namespace tessel {

// The face selected at start-up, and the one input and message boxes use:
// cells 16 pixels high and 8 wide.
inline constexpr const char* kDefaultFontFace = "Consolas";
inline constexpr int kDefaultFontHeight = 16;
inline constexpr int kDefaultFontWidth = 8;

class Font {
   public:
    virtual ~Font() = default;
    // Opens `face` sized to a cell `height` pixels high and `width` pixels per
    // character (0: the face's natural width); weight 700 is bold. Falls back
    // to a monospace face; null only when no font at all is available.
    static std::unique_ptr<Font> open(std::string_view face, int height, int width, int weight);

    virtual int cellHeight() const = 0;                        // ascent + descent, pixels
    virtual int ascent() const = 0;                            // cell top to baseline, pixels
    virtual int textWidth(std::string_view bytes) const = 0;  // sum of the advances
    // Draws bytes (Windows-1252) anti-aliased in `rgb` (0x00RRGGBB, like the
    // pixels) with the cell's top-left corner at (x, y), clipped to the pixel
    // buffer and to the cell's rows (y to y + cellHeight() - 1); pixels the
    // glyphs do not cover are left as they are.
    virtual void draw(Canvas target, int x, int y, std::string_view bytes, uint32_t rgb) const = 0;
};

}  // namespace tessel
