// Pixels, spans, lines and rectangles.
#include "pixels/raster.h"

#include <algorithm>
#include <cstdlib>

namespace tessel {

namespace {

using Wide = __int128;  // products of two 33-bit distances

// Floor and ceiling of p / q for q > 0.
Wide floorDiv(Wide p, Wide q) { return p >= 0 ? p / q : -((-p + q - 1) / q); }
Wide ceilDiv(Wide p, Wide q) { return -floorDiv(-p, q); }

// A line seen along its longer ("major") axis: step i = 0 .. n-1 is at major
// coordinate a0 + sa*i and minor coordinate b0 + sb*k(i), with
// k(i) = floor((2*i*m + n - bias) / (2n)): the nearest minor offset to the
// ideal line, rounding a tie towards the smaller buffer coordinate.
struct LineWalk {
    int64_t a0, b0;       // start point, major and minor coordinate
    int sa, sb;           // step directions (+1 or -1)
    int64_t n, m;         // length along the major and the minor axis (n > 0, m <= n)
    int bias;             // 1 when the minor axis grows: its ties stay behind
    int64_t aLimit;       // buffer extent along the major axis
    int64_t bLimit;       // and along the minor axis

    Wide numerator(int64_t i) const { return Wide(2) * i * m + n - bias; }
    int64_t offsetAt(int64_t i) const {
        return static_cast<int64_t>(floorDiv(numerator(i), Wide(2) * n));
    }
};

// Narrows [lo, hi] to the steps whose major coordinate lies in the buffer.
void clipMajor(const LineWalk& w, int64_t& lo, int64_t& hi) {
    if (w.sa > 0) {
        lo = std::max(lo, -w.a0);
        hi = std::min(hi, w.aLimit - 1 - w.a0);
    } else {
        lo = std::max(lo, w.a0 - (w.aLimit - 1));
        hi = std::min(hi, w.a0);
    }
}

// Narrows [lo, hi] to the steps whose minor coordinate lies in the buffer.
// k(i) never decreases, so those steps form one interval.
void clipMinor(const LineWalk& w, int64_t& lo, int64_t& hi) {
    int64_t kLo = w.sb > 0 ? -w.b0 : w.b0 - (w.bLimit - 1);
    int64_t kHi = w.sb > 0 ? w.bLimit - 1 - w.b0 : w.b0;
    if (w.m == 0) {
        if (kLo > 0 || kHi < 0) hi = lo - 1;
        return;
    }
    Wide twoN = Wide(2) * w.n, twoM = Wide(2) * w.m;
    // k(i) >= K  <=>  i >= ceil((2nK - n + bias) / 2m)
    Wide first = ceilDiv(twoN * kLo - w.n + w.bias, twoM);
    Wide last = ceilDiv(twoN * (Wide(kHi) + 1) - w.n + w.bias, twoM) - 1;
    if (first > lo) lo = first > Wide(hi) ? hi + 1 : static_cast<int64_t>(first);
    if (last < hi) hi = last < Wide(lo) ? lo - 1 : static_cast<int64_t>(last);
}

// Sets the visible steps of the walk, keeping the rounding error as a
// running remainder.
void walkLine(Canvas c, const LineWalk& w, bool xMajor, uint32_t pixel) {
    int64_t lo = 0, hi = w.n - 1;
    clipMajor(w, lo, hi);
    if (lo > hi) return;
    clipMinor(w, lo, hi);
    if (lo > hi) return;
    int64_t twoN = 2 * w.n, twoM = 2 * w.m;
    Wide num = w.numerator(lo);
    int64_t k = static_cast<int64_t>(floorDiv(num, twoN));
    int64_t rem = static_cast<int64_t>(num - Wide(k) * twoN);
    int64_t a = w.a0 + w.sa * lo, b = w.b0 + w.sb * k;
    int64_t x = xMajor ? a : b, y = xMajor ? b : a;
    ptrdiff_t majorStep = xMajor ? w.sa : ptrdiff_t(w.sa) * c.width;
    ptrdiff_t minorStep = xMajor ? ptrdiff_t(w.sb) * c.width : w.sb;
    uint32_t* p = c.pixels + y * c.width + x;
    for (int64_t i = lo;; ++i) {
        *p = pixel;
        if (i == hi) break;
        p += majorStep;
        rem += twoM;
        // A branch, not a select: the browser's compiler makes the select
        // twice as slow, and the branch's pattern repeats along the line.
        if (rem >= twoN) [[unlikely]] {
            rem -= twoN;
            p += minorStep;
        }
    }
}

}  // namespace

void setPixel(Canvas c, int64_t x, int64_t y, uint32_t pixel) {
    if (x < 0 || y < 0 || x >= c.width || y >= c.height) return;
    c.pixels[y * c.width + x] = pixel;
}

void fillRect(Canvas c, int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel) {
    left = std::max<int64_t>(left, 0);
    top = std::max<int64_t>(top, 0);
    right = std::min<int64_t>(right, c.width);
    bottom = std::min<int64_t>(bottom, c.height);
    if (left >= right || top >= bottom) return;
    for (int64_t y = top; y < bottom; ++y) {
        uint32_t* row = c.pixels + y * c.width;
        std::fill(row + left, row + right, pixel);
    }
}

void drawLine(Canvas c, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t pixel) {
    int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
    if (dx == 0 && dy == 0) return;
    bool xMajor = std::llabs(dx) >= std::llabs(dy);
    int64_t dMajor = xMajor ? dx : dy, dMinor = xMajor ? dy : dx;
    LineWalk w{};
    w.a0 = xMajor ? x0 : y0;
    w.b0 = xMajor ? y0 : x0;
    w.sa = dMajor > 0 ? 1 : -1;
    w.sb = dMinor > 0 ? 1 : -1;
    w.n = std::llabs(dMajor);
    w.m = std::llabs(dMinor);
    w.bias = dMinor > 0 ? 1 : 0;
    w.aLimit = xMajor ? c.width : c.height;
    w.bLimit = xMajor ? c.height : c.width;
    walkLine(c, w, xMajor, pixel);
}

void drawRectangle(Canvas c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t pen,
                   uint32_t brush) {
    int64_t left = std::min(x0, x1), right = std::max(x0, x1);
    int64_t top = std::min(y0, y1), bottom = std::max(y0, y1);
    if (left == right || top == bottom) return;
    fillRect(c, left + 1, top + 1, right - 1, bottom - 1, brush);
    fillRect(c, left, top, right, top + 1, pen);
    fillRect(c, left, bottom - 1, right, bottom, pen);
    fillRect(c, left, top, left + 1, bottom, pen);
    fillRect(c, right - 1, top, right, bottom, pen);
}

}  // namespace tessel
