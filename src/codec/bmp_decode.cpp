// BMP files: 1, 4 and 8 bits with palettes, RLE8 and RLE4, 16 and 32 bits
// with or without bit-field masks, 24 bits; bottom-up and top-down rows;
// OS/2 12-byte headers and every Windows header from 40 bytes up.
//
// Packed channels narrower than 8 bits are widened by repeating their top
// bits, so a full channel is 0xFF; alpha is dropped.
#include <algorithm>
#include <array>
#include <bit>
#include <vector>

#include "codec/byte_order.h"
#include "codec/image_decode.h"

namespace tessel {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kOs2HeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kOs2V2HeaderSize = 64;
constexpr size_t kMaskOffset = kFileHeaderSize + kInfoHeaderSize;  // where bit fields sit
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

// One colour channel of a packed pixel.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;  // position of the mask's lowest bit
    int bits = 0;   // width of the mask, at most 8 after narrowing
    int drop = 0;   // low bits dropped from a mask wider than 8
};

struct BmpImage {
    int64_t width = 0;
    int64_t height = 0;
    bool topDown = false;
    int bpp = 0;
    uint32_t compression = kRgb;
    uint32_t pixelOffset = 0;
    std::array<Channel, 3> channels;    // red, green, blue for 16 and 32 bits
    std::array<uint32_t, 256> palette;  // entries the file leaves out are black
};

Channel channelOf(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (!mask) return c;
    c.shift = std::countr_zero(mask);
    c.bits = 32 - std::countl_zero(mask >> c.shift);
    if (c.bits > 8) {
        c.drop = c.bits - 8;
        c.bits = 8;
    }
    return c;
}

// The channel's value widened to 8 bits by repeating its top bits.
uint32_t widen(const Channel& c, uint32_t pixel) {
    if (!c.bits) return 0;
    uint32_t v = ((pixel & c.mask) >> c.shift >> c.drop) << (8 - c.bits);
    for (int filled = c.bits; filled < 8; filled += c.bits) v |= v >> c.bits;
    return v & 0xFF;
}

uint32_t packedPixel(const BmpImage& bmp, uint32_t pixel) {
    return kOpaqueBlack | widen(bmp.channels[0], pixel) << 16 | widen(bmp.channels[1], pixel) << 8 |
           widen(bmp.channels[2], pixel);
}

bool depthAllowed(int bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

const char* checkCompression(const BmpImage& bmp, uint32_t headerSize) {
    switch (bmp.compression) {
        case kRgb: return nullptr;
        case kRle8:
        case kRle4:
            if (bmp.bpp != (bmp.compression == kRle8 ? 8 : 4)) return "BMP compression does not fit its depth";
            return bmp.topDown ? "top-down BMP files cannot be compressed" : nullptr;
        case kBitFields:
        case kAlphaBitFields:
            // In OS/2 headers the same numbers mean Huffman and RLE24 coding.
            if (headerSize == kOs2V2HeaderSize) return "unsupported BMP compression";
            return bmp.bpp == 16 || bmp.bpp == 32 ? nullptr : "BMP compression does not fit its depth";
        default: return "unsupported BMP compression";
    }
}

const char* readMasks(BmpImage& bmp, std::span<const uint8_t> file) {
    std::array<uint32_t, 3> masks = {0x7C00, 0x03E0, 0x001F};
    if (bmp.bpp == 32) masks = {0xFF0000, 0xFF00, 0xFF};
    if (bmp.compression == kBitFields || bmp.compression == kAlphaBitFields) {
        if (file.size() < kMaskOffset + 12) return "BMP bit fields exceed the file";
        for (int i = 0; i < 3; ++i) masks[i] = readLe32(file.data() + kMaskOffset + 4 * i);
    }
    for (int i = 0; i < 3; ++i) bmp.channels[i] = channelOf(masks[i]);
    return nullptr;
}

// The palette follows the header: 3 bytes an entry after an OS/2 header,
// 4 after the others, as many as the header says (all the depth allows when
// it says 0 or too many).
const char* readPalette(BmpImage& bmp, std::span<const uint8_t> file, uint32_t headerSize,
                        uint32_t colourCount) {
    bmp.palette.fill(kOpaqueBlack);
    if (bmp.bpp > 8) return nullptr;
    uint32_t most = 1u << bmp.bpp;
    if (colourCount == 0 || colourCount > most) colourCount = most;
    size_t entry = headerSize == kOs2HeaderSize ? 3 : 4, start = kFileHeaderSize + headerSize;
    if (file.size() < start || (file.size() - start) / entry < colourCount)
        return "BMP palette exceeds the file";
    for (uint32_t i = 0; i < colourCount; ++i) {
        const uint8_t* p = file.data() + start + i * entry;
        bmp.palette[i] = kOpaqueBlack | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    return nullptr;
}

const char* readHeader(BmpImage& bmp, std::span<const uint8_t> file, int64_t maxPixels) {
    if (file.size() < kFileHeaderSize + 4) return "BMP file too short for its header";
    const uint8_t* d = file.data();
    bmp.pixelOffset = readLe32(d + 10);
    uint32_t headerSize = readLe32(d + 14), colourCount = 0;
    if (headerSize != kOs2HeaderSize && headerSize < kInfoHeaderSize) return "unknown BMP header";
    if (file.size() - kFileHeaderSize < headerSize) return "BMP header exceeds the file";
    if (headerSize == kOs2HeaderSize) {
        bmp.width = readLe16(d + 18);
        bmp.height = readLe16(d + 20);
        bmp.bpp = int(readLe16(d + 24));
    } else {
        bmp.width = int32_t(readLe32(d + 18));
        bmp.height = int32_t(readLe32(d + 22));
        bmp.bpp = int(readLe16(d + 28));
        bmp.compression = readLe32(d + 30);
        colourCount = readLe32(d + 46);
    }
    bmp.topDown = bmp.height < 0;
    bmp.height = bmp.topDown ? -bmp.height : bmp.height;
    if (bmp.width <= 0 || bmp.height == 0) return "invalid BMP image size";
    if (bmp.width * bmp.height > maxPixels) return "image too large";
    if (!depthAllowed(bmp.bpp)) return "unsupported BMP bits per pixel";
    if (const char* failure = checkCompression(bmp, headerSize)) return failure;
    if (bmp.pixelOffset >= file.size()) return "BMP pixel data offset exceeds the file";
    if (const char* failure = readMasks(bmp, file)) return failure;
    return readPalette(bmp, file, headerSize, colourCount);
}

// Converts one uncompressed row of the file.
void convertRow(const BmpImage& bmp, const uint8_t* row, uint32_t* out) {
    int64_t w = bmp.width;
    switch (bmp.bpp) {
        case 1:
        case 4:
        case 8: {
            int d = bmp.bpp;
            uint32_t mask = (1u << d) - 1;
            for (int64_t x = 0; x < w; ++x) {
                uint64_t bit = uint64_t(x) * d;
                out[x] = bmp.palette[row[bit / 8] >> (8 - d - bit % 8) & mask];
            }
            return;
        }
        case 16:
            for (int64_t x = 0; x < w; ++x) out[x] = packedPixel(bmp, readLe16(row + 2 * x));
            return;
        case 24:
            for (int64_t x = 0; x < w; ++x, row += 3)
                out[x] = kOpaqueBlack | uint32_t(row[2]) << 16 | uint32_t(row[1]) << 8 | row[0];
            return;
        default:
            for (int64_t x = 0; x < w; ++x) out[x] = packedPixel(bmp, readLe32(row + 4 * x));
            return;
    }
}

const char* readRows(const BmpImage& bmp, std::span<const uint8_t> file, ImageData& out,
                     Heartbeat* heartbeat) {
    uint64_t stride = (uint64_t(bmp.width) * bmp.bpp + 31) / 32 * 4;
    if ((file.size() - bmp.pixelOffset) / stride < uint64_t(bmp.height))
        return "BMP pixel data exceeds the file";
    out.pixels.resize(size_t(bmp.width * bmp.height));
    for (int64_t r = 0; r < bmp.height; ++r) {
        beatAtSteps(heartbeat, uint64_t(r));
        int64_t y = bmp.topDown ? r : bmp.height - 1 - r;
        convertRow(bmp, file.data() + bmp.pixelOffset + r * stride,
                   out.pixels.data() + y * bmp.width);
    }
    return nullptr;
}

// Palette indices of a run-length coded image, written from the bottom row
// up; what the codes leave out keeps index 0, and what they place outside
// the image is dropped.
class RleCanvas {
public:
    RleCanvas(int64_t w, int64_t h) : w_(w), h_(h), y_(h - 1), indices_(size_t(w * h)) {}
    void put(uint8_t index) {
        if (x_ >= 0 && x_ < w_ && y_ >= 0 && y_ < h_) indices_[size_t(y_ * w_ + x_)] = index;
        ++x_;
    }
    // False once the position is past the row's end or above the image:
    // then nothing can be written until the next line end.
    bool writable() const { return x_ < w_ && y_ >= 0; }
    void endLine() {
        x_ = 0;
        --y_;
    }
    void move(int dx, int dy) {
        x_ += dx;
        y_ -= dy;
    }
    const std::vector<uint8_t>& indices() const { return indices_; }

private:
    int64_t w_, h_;
    int64_t x_ = 0, y_;
    std::vector<uint8_t> indices_;
};

// Writes `count` pixels alternating between two indices (RLE4) or
// repeating one (RLE8, where both are the same).
void putRun(RleCanvas& canvas, int count, uint8_t first, uint8_t second) {
    for (int i = 0; i < count && canvas.writable(); ++i) canvas.put(i % 2 ? second : first);
}

void putLiterals(RleCanvas& canvas, const uint8_t* p, int count, bool four) {
    for (int i = 0; i < count && canvas.writable(); ++i)
        canvas.put(four ? (i % 2 ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
}

// Walks the codes: (count, value) runs, and after a 0 byte the escapes end
// of line (0), end of image (1), move (2, dx, dy) and n >= 3 literal
// indices padded to an even number of bytes.
const char* readRle(const BmpImage& bmp, std::span<const uint8_t> file, RleCanvas& canvas,
                    Heartbeat* heartbeat) {
    const uint8_t* p = file.data() + bmp.pixelOffset;
    const uint8_t* end = file.data() + file.size();
    bool four = bmp.compression == kRle4;
    for (uint64_t step = 0; end - p >= 2; ++step) {
        beatAtSteps(heartbeat, step);
        uint8_t count = p[0], value = p[1];
        p += 2;
        if (count) {
            putRun(canvas, count, four ? value >> 4 : value, four ? value & 15 : value);
        } else if (value == 0) {
            canvas.endLine();
        } else if (value == 1) {
            return nullptr;
        } else if (value == 2) {
            if (end - p < 2) break;
            canvas.move(p[0], p[1]);
            p += 2;
        } else {
            size_t bytes = four ? (value + 1) / 2 : value, padded = bytes + (bytes & 1);
            if (size_t(end - p) < padded) break;
            putLiterals(canvas, p, value, four);
            p += padded;
        }
    }
    return "BMP compressed data ends early";
}

const char* decode(std::span<const uint8_t> file, ImageData& out, int64_t maxPixels,
                   Heartbeat* heartbeat) {
    if (!looksLikeBmp(file)) return "not a BMP file";
    BmpImage bmp;
    if (const char* failure = readHeader(bmp, file, maxPixels)) return failure;
    out.width = int(bmp.width);
    out.height = int(bmp.height);
    if (bmp.compression != kRle8 && bmp.compression != kRle4)
        return readRows(bmp, file, out, heartbeat);
    RleCanvas canvas(bmp.width, bmp.height);
    if (const char* failure = readRle(bmp, file, canvas, heartbeat)) return failure;
    out.pixels.resize(canvas.indices().size());
    std::transform(canvas.indices().begin(), canvas.indices().end(), out.pixels.begin(),
                   [&](uint8_t i) { return bmp.palette[i]; });
    return nullptr;
}

}  // namespace

bool looksLikeBmp(std::span<const uint8_t> file) {
    return file.size() >= 2 && file[0] == 'B' && file[1] == 'M';
}

bool decodeBmp(std::span<const uint8_t> file, ImageData& out, std::string* error,
               int64_t maxPixels, Heartbeat* heartbeat) {
    const char* failure = decode(file, out, maxPixels, heartbeat);
    if (failure) {
        if (error) *error = failure;
        out = ImageData{};
    }
    return !failure;
}

}  // namespace tessel
