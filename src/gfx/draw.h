// Drawing into the back buffer. Nothing here presents the buffer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gfx/gfx_state.h"

namespace tessel {

// Colour value: r + 256*g + 65536*b in 32-bit arithmetic, no masking.
uint32_t colourValue(int32_t r, int32_t g, int32_t b);
// The buffer pixel (0xFFRRGGBB) a colour value draws: its low 24 bits read
// as 0x00BBGGRR; bits above them are ignored.
uint32_t colourPixel(uint32_t colour);

void clearTo(GfxState& g, uint32_t colour);       // WCOLOR (the caller presents)
void setForeground(GfxState& g, uint32_t colour);  // FCOLOR
void setBackground(GfxState& g, uint32_t colour);  // BCOLOR
void setFont(GfxState& g, int32_t height, int32_t width, int32_t weight, std::string_view face);

void pset(GfxState& g, int32_t x, int32_t y);
void plot(GfxState& g, int32_t x, int32_t y);  // move the pen position
void drawTo(GfxState& g, int32_t x, int32_t y);  // DRAW: line from the pen position
void line(GfxState& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void rect(GfxState& g, int32_t x, int32_t y, int32_t w, int32_t h);
void circle(GfxState& g, int32_t x, int32_t y, int32_t r);
void drawText(GfxState& g, int32_t x, int32_t y, std::string_view bytes);
// The font text is drawn with now (opening the selected font if it is not
// open yet); null only when no font is available at all.
const std::shared_ptr<Font>& currentFont(GfxState& g);

// What loadImage returns when the image would take the images past their
// shared memory budget (the caller ends the run).
inline constexpr int32_t kImageMemoryExhausted = -1;

// LOADIMG: returns the new image's handle, 0 when the file cannot be loaded,
// or kImageMemoryExhausted.
int32_t loadImage(GfxState& g, const std::string& path, int32_t type, int32_t width,
                  int32_t height, int32_t flags);
// SHOWIMG / SHOWIMGT: draws the top-left w x h pixels of the image `handle`
// at (x, y), black transparent. An unknown handle draws nothing.
void showImage(GfxState& g, int32_t handle, int32_t x, int32_t y, int32_t w, int32_t h);

}  // namespace tessel
