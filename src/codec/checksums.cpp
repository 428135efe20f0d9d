// CRC-32 (the reflected 0xEDB88320 polynomial) and Adler-32.
#include "codec/checksums.h"

#include <array>

namespace tessel {

namespace {

constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

// Adler-32 sums stay below 2^32 for this many bytes between reductions.
constexpr size_t kAdlerBlock = 5552;
constexpr uint32_t kAdlerModulus = 65521;

}  // namespace

uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
    uint32_t c = ~crc;
    for (size_t i = 0; i < size; ++i) c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return ~c;
}

uint32_t adler32Update(uint32_t adler, const uint8_t* data, size_t size) {
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    while (size > 0) {
        size_t n = size < kAdlerBlock ? size : kAdlerBlock;
        size -= n;
        for (size_t i = 0; i < n; ++i) {
            a += data[i];
            b += a;
        }
        data += n;
        a %= kAdlerModulus;
        b %= kAdlerModulus;
    }
    return b << 16 | a;
}

}  // namespace tessel
