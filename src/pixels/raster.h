// The lowest drawing primitives. They take coordinates of any size and clip
// to the buffer before they iterate, so a shape far outside the buffer costs
// no more than one inside it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessel {

// A block of pixels to read: 0xAARRGGBB, row-major, top row first, no
// padding.
struct PixelView {
    const uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

// A block of pixels to draw into, laid out as a PixelView.
struct Canvas {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;

    operator PixelView() const { return PixelView{pixels, width, height}; }
};

// A rectangle in pixels; the right and bottom edges are excluded.
struct PixelRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    bool empty() const { return x0 >= x1 || y0 >= y1; }
    bool contains(int x, int y) const { return x >= x0 && y >= y0 && x < x1 && y < y1; }
    bool intersects(const PixelRect& o) const {
        return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1;
    }
};

// One pixel, when it lies in the buffer.
void setPixel(Canvas c, int64_t x, int64_t y, uint32_t pixel);
// The pixels left <= x < right, top <= y < bottom that lie in the buffer.
void fillRect(Canvas c, int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel);
// The line from (x0, y0) towards (x1, y1): every pixel but the end point.
// Each step along the longer axis sets one pixel, the nearest to the ideal
// line; exactly half-way, the upper (or, for steep lines, the left) one.
void drawLine(Canvas c, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t pixel);
// Rectangle with corners (x0, y0) and (x1, y1), right and bottom excluded
// after ordering the corners: one-pixel outline in `pen`, inside in `brush`.
void drawRectangle(Canvas c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t pen,
                   uint32_t brush);
// Ellipse inscribed in the same box as drawRectangle's.
void drawEllipse(Canvas c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t pen,
                 uint32_t brush);

}  // namespace tessel
