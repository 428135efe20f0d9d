// A PNG writer: unfiltered RGB rows, deflated in one fixed-Huffman block.
//
// Matches are found through a hash of the next three bytes that remembers
// the latest position with that hash (one candidate, no chains): screenshots
// are mostly flat colour and repeated rows, which this catches cheaply.
#include "codec/png_encode.h"

#include <algorithm>
#include <cstring>

#include "codec/byte_order.h"
#include "codec/checksums.h"
#include "codec/deflate_tables.h"
#include "codec/image_decode.h"

namespace tessel {

namespace {

using namespace deflate;

constexpr int kHashBits = 15;

// Bits written least significant first, as deflate packs them.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void put(uint32_t value, int count) {
        bits_ |= uint64_t(value) << count_;
        count_ += count;
        while (count_ >= 8) {
            out_.push_back(uint8_t(bits_));
            bits_ >>= 8;
            count_ -= 8;
        }
    }
    void flush() {
        if (count_ > 0) out_.push_back(uint8_t(bits_));
        bits_ = 0;
        count_ = 0;
    }

private:
    std::vector<uint8_t>& out_;
    uint64_t bits_ = 0;
    int count_ = 0;
};

uint32_t reversed(uint32_t code, int length) {
    uint32_t r = 0;
    for (int i = 0; i < length; ++i, code >>= 1) r = r << 1 | (code & 1);
    return r;
}

// Huffman codes go out most significant bit first.
void putCode(BitWriter& w, uint32_t code, int length) { w.put(reversed(code, length), length); }

// The fixed code of a literal/length symbol.
void putSymbol(BitWriter& w, int sym) {
    if (sym < 144)
        putCode(w, 0x30 + sym, 8);
    else if (sym < 256)
        putCode(w, 0x190 + sym - 144, 9);
    else if (sym < 280)
        putCode(w, sym - 256, 7);
    else
        putCode(w, 0xC0 + sym - 280, 8);
}

void putMatch(BitWriter& w, int length, int distance) {
    int lc = int(std::upper_bound(kLengthBase.begin(), kLengthBase.end(), length) -
                 kLengthBase.begin()) - 1;
    putSymbol(w, kEndOfBlock + 1 + lc);
    w.put(length - kLengthBase[lc], kLengthExtra[lc]);
    int dc = int(std::upper_bound(kDistanceBase.begin(), kDistanceBase.end(), distance) -
                 kDistanceBase.begin()) - 1;
    putCode(w, dc, 5);
    w.put(distance - kDistanceBase[dc], kDistanceExtra[dc]);
}

uint32_t hash3(const uint8_t* p) {
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
}

size_t matchLength(const uint8_t* a, const uint8_t* b, size_t most) {
    size_t n = 0;
    while (n < most && a[n] == b[n]) ++n;
    return n;
}

// The data as one final fixed-Huffman deflate block.
void deflateFixed(const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
    BitWriter w(out);
    w.put(1, 1);  // final block
    w.put(1, 2);  // fixed Huffman codes
    std::vector<uint32_t> head(size_t(1) << kHashBits, 0);  // latest position + 1 per hash
    size_t n = data.size(), i = 0;
    while (i < n) {
        size_t length = 0, distance = 0;
        if (n - i >= kMinMatch) {
            uint32_t h = hash3(&data[i]);
            size_t candidate = head[h];
            head[h] = uint32_t(i + 1);
            if (candidate && i - (candidate - 1) <= kWindow) {
                distance = i - (candidate - 1);
                length = matchLength(&data[i], &data[candidate - 1],
                                     std::min<size_t>(kMaxMatch, n - i));
            }
        }
        if (length < kMinMatch) {
            putSymbol(w, data[i++]);
            continue;
        }
        putMatch(w, int(length), int(distance));
        for (size_t j = i + 1; j < i + length && n - j >= kMinMatch; ++j)
            head[hash3(&data[j])] = uint32_t(j + 1);
        i += length;
    }
    putSymbol(w, kEndOfBlock);
    w.flush();
}

void putChunk(std::vector<uint8_t>& file, const char* type, const std::vector<uint8_t>& data) {
    size_t start = file.size();
    file.resize(start + 8);
    writeBe32(&file[start], uint32_t(data.size()));
    std::memcpy(&file[start + 4], type, 4);
    file.insert(file.end(), data.begin(), data.end());
    uint32_t crc = crc32Update(kCrc32Initial, &file[start + 4], data.size() + 4);
    file.resize(file.size() + 4);
    writeBe32(&file[file.size() - 4], crc);
}

// Rows of filter type 0 (none) followed by their RGB bytes.
std::vector<uint8_t> rawRows(const uint32_t* pixels, int width, int height) {
    std::vector<uint8_t> raw;
    raw.reserve(size_t(height) * (1 + size_t(width) * 3));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (const uint32_t* p = pixels + size_t(y) * width; p != pixels + size_t(y + 1) * width; ++p) {
            raw.push_back(uint8_t(*p >> 16));
            raw.push_back(uint8_t(*p >> 8));
            raw.push_back(uint8_t(*p));
        }
    }
    return raw;
}

std::vector<uint8_t> zlibStream(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z = {0x78, 0x01};  // deflate, 32K window, no dictionary
    deflateFixed(raw, z);
    z.resize(z.size() + 4);
    writeBe32(&z[z.size() - 4], adler32Update(kAdler32Initial, raw.data(), raw.size()));
    return z;
}

}  // namespace

std::vector<uint8_t> encodePng(const uint32_t* pixels, int width, int height) {
    if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxImagePixels) return {};
    std::vector<uint8_t> header(13);
    writeBe32(&header[0], uint32_t(width));
    writeBe32(&header[4], uint32_t(height));
    header[8] = 8;  // bits per sample
    header[9] = 2;  // RGB; compression, filter and interlace methods stay 0
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putChunk(file, "IHDR", header);
    putChunk(file, "IDAT", zlibStream(rawRows(pixels, width, height)));
    putChunk(file, "IEND", {});
    return file;
}

}  // namespace tessel
