// PNG files: every colour type and bit depth, palettes, Adam7 interlacing.
//
// The chunk list is walked and checked (lengths against the file, CRCs,
// the header's values) before anything large is allocated; the image data
// is then inflated into a buffer no larger than the header's image needs,
// unfiltered in place, and converted to 0xFFRRGGBB. Alpha, transparency
// chunks and gamma are ignored; 16-bit samples keep their high byte.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codec/byte_order.h"
#include "codec/checksums.h"
#include "codec/image_decode.h"
#include "codec/inflate.h"

namespace tessel {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFFu;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

enum ColourType { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    int depth = 0;          // bits per sample
    int colourType = 0;
    int channels = 0;       // samples per pixel
    bool interlaced = false;
    std::array<uint32_t, 256> palette;  // 0xFFRRGGBB; entries the file leaves out are black
    bool hasPalette = false;
    std::vector<std::span<const uint8_t>> compressed;  // the IDAT chunks' data, in order
};

// One of the seven Adam7 passes: first pixel and step in each direction.
struct Pass {
    uint32_t x0, y0, dx, dy;
};
constexpr Pass kWholeImage = {0, 0, 1, 1};
constexpr std::array<Pass, 7> kAdam7 = {
    {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};

uint32_t passWidth(const PngImage& png, const Pass& p) {
    return png.width > p.x0 ? (png.width - p.x0 + p.dx - 1) / p.dx : 0;
}
uint32_t passHeight(const PngImage& png, const Pass& p) {
    return png.height > p.y0 ? (png.height - p.y0 + p.dy - 1) / p.dy : 0;
}
uint64_t rowBytes(const PngImage& png, uint32_t width) {
    return (uint64_t(width) * png.channels * png.depth + 7) / 8;
}

std::span<const Pass> passesOf(const PngImage& png) {
    if (png.interlaced) return kAdam7;
    return {&kWholeImage, 1};
}

// Bytes of filtered image data the header calls for: each row of each pass
// is a filter byte and its samples.
uint64_t imageDataSize(const PngImage& png) {
    uint64_t total = 0;
    for (const Pass& p : passesOf(png)) {
        uint32_t w = passWidth(png, p), h = passHeight(png, p);
        if (w && h) total += uint64_t(h) * (1 + rowBytes(png, w));
    }
    return total;
}

bool depthAllowed(int colourType, int depth) {
    switch (colourType) {
        case kGrey: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case kPalette: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case kRgb:
        case kGreyAlpha:
        case kRgba: return depth == 8 || depth == 16;
        default: return false;
    }
}

int channelsOf(int colourType) {
    switch (colourType) {
        case kRgb: return 3;
        case kGreyAlpha: return 2;
        case kRgba: return 4;
        default: return 1;
    }
}

const char* readHeader(PngImage& png, const uint8_t* data, uint32_t length, int64_t maxPixels) {
    if (length != 13) return "PNG header chunk has the wrong length";
    png.width = readBe32(data);
    png.height = readBe32(data + 4);
    png.depth = data[8];
    png.colourType = data[9];
    if (png.width == 0 || png.height == 0 || png.width > kMaxChunkLength ||
        png.height > kMaxChunkLength)
        return "invalid PNG image size";
    if (uint64_t(png.width) * png.height > uint64_t(maxPixels)) return "image too large";
    if (!depthAllowed(png.colourType, png.depth)) return "invalid PNG colour type or bit depth";
    if (data[10] != 0 || data[11] != 0) return "unknown PNG compression or filter method";
    if (data[12] > 1) return "unknown PNG interlace method";
    png.channels = channelsOf(png.colourType);
    png.interlaced = data[12] == 1;
    return nullptr;
}

const char* readPalette(PngImage& png, const uint8_t* data, uint32_t length) {
    if (length == 0 || length % 3 != 0 || length / 3 > 256) return "invalid PNG palette";
    for (uint32_t i = 0; i < length / 3; ++i)
        png.palette[i] = kOpaqueBlack | uint32_t(data[3 * i]) << 16 |
                         uint32_t(data[3 * i + 1]) << 8 | data[3 * i + 2];
    png.hasPalette = true;
    return nullptr;
}

bool isChunkType(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

bool validChunkType(const uint8_t* type) {
    for (int i = 0; i < 4; ++i)
        if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z')))
            return false;
    return true;
}

// Acts on one chunk; `ended` is set by IEND.
const char* readChunk(PngImage& png, const uint8_t* type, const uint8_t* data, uint32_t length,
                      bool& ended) {
    if (isChunkType(type, "IHDR")) return "PNG header chunk repeated";
    if (isChunkType(type, "PLTE")) return readPalette(png, data, length);
    if (isChunkType(type, "IDAT")) {
        png.compressed.emplace_back(data, length);
        return nullptr;
    }
    if (isChunkType(type, "IEND")) {
        ended = true;
        return nullptr;
    }
    // Lower case first letter: an ancillary chunk, safe to pass over.
    return (type[0] & 0x20) ? nullptr : "unknown critical PNG chunk";
}

// Walks the chunks after the signature, checking each length against what
// is left of the file and each CRC, until IEND.
const char* readChunks(PngImage& png, std::span<const uint8_t> file, int64_t maxPixels) {
    size_t pos = sizeof kSignature;
    bool ended = false, first = true;
    while (!ended) {
        if (file.size() - pos < 12) return "PNG file ends early";
        uint32_t length = readBe32(file.data() + pos);
        if (length > kMaxChunkLength || length > file.size() - pos - 12)
            return "PNG chunk length exceeds the file";
        const uint8_t* type = file.data() + pos + 4;
        const uint8_t* data = type + 4;
        if (!validChunkType(type)) return "invalid PNG chunk type";
        if (readBe32(data + length) != crc32Update(kCrc32Initial, type, length + 4))
            return "PNG chunk checksum (CRC) fails";
        const char* failure = nullptr;
        if (first != isChunkType(type, "IHDR"))
            failure = first ? "PNG file does not start with its header" : "PNG header chunk repeated";
        else if (first)
            failure = readHeader(png, data, length, maxPixels);
        else
            failure = readChunk(png, type, data, length, ended);
        if (failure) return failure;
        first = false;
        pos += 12 + size_t(length);
    }
    if (png.colourType == kPalette && !png.hasPalette) return "PNG palette missing";
    if (png.compressed.empty()) return "PNG file has no image data";
    return nullptr;
}

uint8_t paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// Undoes one row's filter in place. `prior` is the row above, unfiltered
// (a row of zeros for a pass's first row). The first `bpp` bytes have no
// left neighbour, which is the same as a zero one.
bool unfilterRow(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t length, size_t bpp) {
    size_t head = std::min(bpp, length);
    switch (filter) {
        case 0: return true;
        case 1:
            for (size_t i = bpp; i < length; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
            return true;
        case 2:
            for (size_t i = 0; i < length; ++i) row[i] = uint8_t(row[i] + prior[i]);
            return true;
        case 3:
            for (size_t i = 0; i < head; ++i) row[i] = uint8_t(row[i] + (prior[i] >> 1));
            for (size_t i = bpp; i < length; ++i)
                row[i] = uint8_t(row[i] + ((row[i - bpp] + prior[i]) >> 1));
            return true;
        case 4:
            for (size_t i = 0; i < head; ++i) row[i] = uint8_t(row[i] + prior[i]);  // paeth(0, b, 0) = b
            for (size_t i = bpp; i < length; ++i)
                row[i] = uint8_t(row[i] + paeth(row[i - bpp], prior[i], prior[i - bpp]));
            return true;
        default: return false;
    }
}

uint32_t grey(uint32_t g) { return kOpaqueBlack | g * 0x010101u; }

// Converts `count` pixels of one unfiltered row to 0xFFRRGGBB, writing every
// `step`-th pixel of `out`.
void convertRow(const PngImage& png, const uint8_t* row, uint32_t count, uint32_t* out,
                uint32_t step) {
    if (png.depth < 8) {
        int d = png.depth;
        uint32_t mask = (1u << d) - 1, scale = 255 / mask;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t bit = i * d;
            uint32_t v = row[bit / 8] >> (8 - d - bit % 8) & mask;
            out[size_t(i) * step] = png.colourType == kPalette ? png.palette[v] : grey(v * scale);
        }
        return;
    }
    size_t bytes = png.depth / 8, pixel = bytes * png.channels;
    bool colour = png.colourType == kRgb || png.colourType == kRgba;
    if (colour && bytes == 1) {  // the common case, without the per-pixel choice
        for (uint32_t i = 0; i < count; ++i, row += pixel)
            out[size_t(i) * step] = kOpaqueBlack | uint32_t(row[0]) << 16 | uint32_t(row[1]) << 8 | row[2];
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = row + i * pixel;
        uint32_t value;
        if (png.colourType == kPalette)
            value = png.palette[p[0]];
        else if (colour)
            value = kOpaqueBlack | uint32_t(p[0]) << 16 | uint32_t(p[bytes]) << 8 | p[2 * bytes];
        else
            value = grey(p[0]);
        out[size_t(i) * step] = value;
    }
}

// Unfilters and converts every pass of the inflated image data.
const char* readPixels(const PngImage& png, std::vector<uint8_t>& raw, ImageData& out,
                       Heartbeat* heartbeat) {
    out.width = int(png.width);
    out.height = int(png.height);
    size_t bpp = std::max<size_t>(1, size_t(png.channels) * png.depth / 8);
    uint8_t* at = raw.data();
    std::vector<uint8_t> zeros;  // the row above a pass's first row
    for (const Pass& p : passesOf(png)) {
        uint32_t w = passWidth(png, p), h = passHeight(png, p);
        if (!w || !h) continue;
        size_t length = rowBytes(png, w);
        zeros.assign(length, 0);
        const uint8_t* prior = zeros.data();
        for (uint32_t y = 0; y < h; ++y, at += 1 + length) {
            beatAtSteps(heartbeat, y);
            if (!unfilterRow(at[0], at + 1, prior, length, bpp)) return "invalid PNG row filter";
            prior = at + 1;
            uint32_t* dst = out.pixels.data() + (size_t(p.y0) + size_t(y) * p.dy) * png.width + p.x0;
            convertRow(png, at + 1, w, dst, p.dx);
        }
    }
    return nullptr;
}

size_t compressedSize(const PngImage& png) {
    size_t total = 0;
    for (std::span<const uint8_t> part : png.compressed) total += part.size();
    return total;
}

// The zlib stream: the one IDAT chunk where it is whole (the usual case),
// else the chunks joined into `joined`.
std::span<const uint8_t> compressedData(const PngImage& png, std::vector<uint8_t>& joined) {
    if (png.compressed.size() == 1) return png.compressed[0];
    joined.reserve(compressedSize(png));
    for (std::span<const uint8_t> part : png.compressed)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

const char* decode(std::span<const uint8_t> file, ImageData& out, std::string* error,
                   int64_t maxPixels, Heartbeat* heartbeat) {
    if (!looksLikePng(file)) return "not a PNG file";
    PngImage png;
    png.palette.fill(kOpaqueBlack);
    if (const char* failure = readChunks(png, file, maxPixels)) return failure;
    uint64_t expected = imageDataSize(png);
    if (mostInflatedSize(compressedSize(png)) < expected) return "PNG image data too short for the image";
    // The image is allocated before the buffers that go once it is decoded,
    // which keeps them together at the top of the heap, to be reused.
    out.pixels.assign(size_t(png.width) * png.height, kOpaqueBlack);
    std::vector<uint8_t> joined, raw;
    if (!zlibInflate(compressedData(png, joined), size_t(expected), raw, error, heartbeat))
        return nullptr;
    if (raw.size() != expected) return "PNG image data ends early";
    std::vector<uint8_t>().swap(joined);
    return readPixels(png, raw, out, heartbeat);
}

}  // namespace

bool looksLikePng(std::span<const uint8_t> file) {
    return file.size() >= sizeof kSignature && std::memcmp(file.data(), kSignature, 8) == 0;
}

bool decodePng(std::span<const uint8_t> file, ImageData& out, std::string* error,
               int64_t maxPixels, Heartbeat* heartbeat) {
    std::string inflateError;
    const char* failure = decode(file, out, &inflateError, maxPixels, heartbeat);
    if (failure || !inflateError.empty()) {
        if (error) *error = failure ? failure : "PNG image data: " + inflateError;
        out = ImageData{};
        return false;
    }
    return true;
}

}  // namespace tessel
