// A deflate decoder: stored, fixed-Huffman and dynamic-Huffman blocks.
//
// Huffman codes are decoded through a table indexed by the next kFastBits
// bits of input; the rare longer codes are decoded bit by bit from the
// per-length counts (the canonical-code walk).
#include "codec/inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "codec/byte_order.h"
#include "codec/checksums.h"
#include "codec/deflate_tables.h"

namespace tessel {

namespace {

constexpr int kMaxCodeBits = 15;
constexpr int kFastBits = 10;
constexpr int kMaxLitLenCodes = 286;   // symbols a dynamic block may declare
constexpr size_t kMaxRatio = 1032;     // most bytes out per byte of deflate data
constexpr size_t kMaxInput = SIZE_MAX / kMaxRatio - 1024;
using deflate::kDistanceBase;
using deflate::kDistanceCodes;
using deflate::kDistanceExtra;
using deflate::kEndOfBlock;
using deflate::kLengthBase;
using deflate::kLengthExtra;

// The order in which a dynamic block lists the code-length code's lengths.
constexpr std::array<uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                      11, 4,  12, 3, 13, 2, 14, 1, 15};

uint64_t littleEndian(uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) return __builtin_bswap64(v);
    return v;
}

// Bits of the input, least significant first. Past the end it reads zero
// bytes and counts them, so a decoder can peek ahead freely and learn
// afterwards (overrun) whether it used bits that are not there.
struct BitReader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;       // next byte to load
    uint64_t bits = 0;    // loaded bits not consumed yet, next bit lowest
    int count = 0;        // how many bits `bits` holds
    size_t padding = 0;   // zero bytes loaded past the end, at the top of `bits`

    void refill() {
        if (size - pos >= 8) {  // the common case: eight bytes at once
            uint64_t word;
            std::memcpy(&word, data + pos, 8);
            word = littleEndian(word);
            bits |= word << count;
            pos += size_t(63 - count) >> 3;
            count |= 56;
            return;
        }
        while (count <= 56) {
            uint64_t byte = 0;
            if (pos < size)
                byte = data[pos++];
            else
                ++padding;
            bits |= byte << count;
            count += 8;
        }
    }
    bool overrun() const { return padding * 8 > size_t(count); }
    uint32_t peek(int n) const { return uint32_t(bits & ((uint64_t(1) << n) - 1)); }
    void drop(int n) {
        bits >>= n;
        count -= n;
    }
    uint32_t take(int n) {
        refill();
        uint32_t v = peek(n);
        drop(n);
        return v;
    }
    // Drops the bits up to the next byte boundary and gives the loaded whole
    // bytes back, so the caller can read bytes directly from `pos`. False if
    // the reader had already gone past the end.
    bool alignToByte() {
        drop(count % 8);
        size_t loaded = size_t(count) / 8;
        if (padding > loaded) return false;
        pos -= loaded - padding;
        bits = 0;
        count = 0;
        padding = 0;
        return true;
    }
};

// One canonical Huffman code.
struct Huffman {
    std::array<uint16_t, kMaxCodeBits + 1> counts{};  // number of codes of each length
    std::array<uint16_t, 288> symbols{};              // symbols in code order
    // Indexed by the next kFastBits input bits: length << 9 | symbol for a
    // code that short, 0 for a longer or unassigned one.
    std::array<uint16_t, 1 << kFastBits> fast{};
};

enum class CodeShape { kComplete, kIncomplete, kOversubscribed };

uint32_t reverseBits(uint32_t code, int length) {
    uint32_t r = 0;
    for (int i = 0; i < length; ++i, code >>= 1) r = r << 1 | (code & 1);
    return r;
}

void fillFastTable(Huffman& h, const uint8_t* lengths, int n) {
    std::array<uint32_t, kMaxCodeBits + 2> next{};
    uint32_t code = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
        code = (code + h.counts[len - 1]) << 1;
        next[len] = code;
    }
    for (int sym = 0; sym < n; ++sym) {
        int len = lengths[sym];
        if (len == 0 || len > kFastBits) {
            if (len) ++next[len];
            continue;
        }
        uint16_t entry = uint16_t(len << 9 | sym);
        for (uint32_t r = reverseBits(next[len]++, len); r < (1u << kFastBits); r += 1u << len)
            h.fast[r] = entry;
    }
}

// Builds the code for symbols 0..n-1 from their code lengths (0: unused).
CodeShape buildHuffman(Huffman& h, const uint8_t* lengths, int n) {
    h.counts.fill(0);
    h.fast.fill(0);
    for (int sym = 0; sym < n; ++sym) ++h.counts[lengths[sym]];
    h.counts[0] = 0;
    int left = 1;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
        left = (left << 1) - h.counts[len];
        if (left < 0) return CodeShape::kOversubscribed;
    }
    std::array<uint16_t, kMaxCodeBits + 1> offsets{};
    for (int len = 1; len < kMaxCodeBits; ++len) offsets[len + 1] = offsets[len] + h.counts[len];
    for (int sym = 0; sym < n; ++sym)
        if (lengths[sym]) h.symbols[offsets[lengths[sym]]++] = uint16_t(sym);
    fillFastTable(h, lengths, n);
    return left == 0 ? CodeShape::kComplete : CodeShape::kIncomplete;
}

// A code of the literal/length or distance alphabet may be incomplete only
// when it has no code at all or a single one-bit code (a block that uses
// one distance); anything else is a broken table.
bool usableCode(const Huffman& h, CodeShape shape) {
    if (shape == CodeShape::kComplete) return true;
    if (shape == CodeShape::kOversubscribed) return false;
    int used = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) used += h.counts[len];
    return used == 0 || (used == 1 && h.counts[1] == 1);
}

// The canonical-code walk for codes longer than the fast table; -1 when the
// bits are no assigned code.
int decodeSlow(BitReader& br, const Huffman& h) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
        code |= int(br.bits >> (len - 1) & 1);
        int count = h.counts[len];
        if (code - first < count) {
            br.drop(len);
            return h.symbols[index + code - first];
        }
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return -1;
}

int decodeSymbol(BitReader& br, const Huffman& h) {
    br.refill();
    uint16_t entry = h.fast[br.peek(kFastBits)];
    if (entry) {
        br.drop(entry >> 9);
        return entry & 511;
    }
    return decodeSlow(br, h);
}

class Inflater {
public:
    // The output is sized at once to what the input can possibly give
    // (deflate expands at most 1032 to 1) or the limit, whichever is less,
    // so a real image is inflated without regrowing and a small hostile
    // stream cannot claim much.
    Inflater(std::span<const uint8_t> deflate, size_t maxOutput, std::vector<uint8_t>& out,
             Heartbeat* heartbeat)
        : br_{deflate.data(), deflate.size()}, max_(maxOutput), out_(out), heartbeat_(heartbeat) {
        out_.resize(std::min(mostInflatedSize(deflate.size()), maxOutput));
    }

    const char* run();
    // Where the deflate data ended (after the final block, byte-aligned).
    size_t endOffset() const { return br_.pos; }
    void finish() { out_.resize(used_); }

private:
    const char* block(bool& final);
    const char* storedBlock();
    const char* fixedBlock();
    const char* dynamicBlock();
    const char* readCodeLengths(uint8_t* lengths, int n, const Huffman& codeLengths);
    const char* codes(const Huffman& lit, const Huffman& dist);
    bool reserve(size_t n);
    void beatNow();

    BitReader br_;
    size_t max_;                // most bytes the output may have
    std::vector<uint8_t>& out_;
    size_t used_ = 0;           // bytes of out_ written so far
    Heartbeat* heartbeat_;      // beaten as the output grows (null: none)
    // The output size at which to beat next; never reached without a heartbeat.
    size_t nextBeat_ = heartbeat_ ? 0 : SIZE_MAX;
};

void Inflater::beatNow() {
    constexpr size_t kBeatBytes = size_t(1) << 20;
    nextBeat_ = used_ + kBeatBytes;
    heartbeat_->beat();
}

// Makes room for n more bytes; false if that would pass the limit.
bool Inflater::reserve(size_t n) {
    if (n > max_ - used_) return false;
    if (used_ + n > out_.size()) {
        size_t grown = std::max(used_ + n, std::max<size_t>(out_.size() * 2, 1 << 16));
        out_.resize(std::min(grown, max_));
    }
    return true;
}

const char* Inflater::run() {
    bool final = false;
    while (!final) {
        if (used_ >= nextBeat_) beatNow();
        if (const char* failure = block(final)) return failure;
    }
    if (!br_.alignToByte()) return "compressed data ends early";
    return nullptr;
}

const char* Inflater::block(bool& final) {
    final = br_.take(1);
    uint32_t type = br_.take(2);
    if (br_.overrun()) return "compressed data ends early";
    switch (type) {
        case 0: return storedBlock();
        case 1: return fixedBlock();
        case 2: return dynamicBlock();
        default: return "invalid deflate block type";
    }
}

const char* Inflater::storedBlock() {
    if (!br_.alignToByte() || br_.size - br_.pos < 4) return "compressed data ends early";
    uint32_t len = readLe16(br_.data + br_.pos), nlen = readLe16(br_.data + br_.pos + 2);
    br_.pos += 4;
    if (len != (~nlen & 0xFFFF)) return "stored block length check fails";
    if (br_.size - br_.pos < len) return "compressed data ends early";
    if (!reserve(len)) return "more image data than the image holds";
    std::memcpy(out_.data() + used_, br_.data + br_.pos, len);
    used_ += len;
    br_.pos += len;
    return nullptr;
}

const char* Inflater::fixedBlock() {
    std::array<uint8_t, 288> lit{};
    std::fill(lit.begin(), lit.begin() + 144, 8);
    std::fill(lit.begin() + 144, lit.begin() + 256, 9);
    std::fill(lit.begin() + 256, lit.begin() + 280, 7);
    std::fill(lit.begin() + 280, lit.end(), 8);
    std::array<uint8_t, 30> dist;
    dist.fill(5);
    Huffman litCode, distCode;
    buildHuffman(litCode, lit.data(), int(lit.size()));
    buildHuffman(distCode, dist.data(), int(dist.size()));
    return codes(litCode, distCode);
}

const char* Inflater::readCodeLengths(uint8_t* lengths, int n, const Huffman& codeLengths) {
    int i = 0;
    while (i < n) {
        int sym = decodeSymbol(br_, codeLengths);
        if (sym < 0 || br_.overrun()) return "invalid code lengths in a deflate block";
        if (sym < 16) {
            lengths[i++] = uint8_t(sym);
            continue;
        }
        uint8_t value = 0;
        int repeat;
        if (sym == 16) {
            if (i == 0) return "repeated code length with no previous length";
            value = lengths[i - 1];
            repeat = 3 + int(br_.take(2));
        } else if (sym == 17) {
            repeat = 3 + int(br_.take(3));
        } else {
            repeat = 11 + int(br_.take(7));
        }
        if (repeat > n - i || br_.overrun()) return "invalid code lengths in a deflate block";
        std::fill(lengths + i, lengths + i + repeat, value);
        i += repeat;
    }
    return nullptr;
}

const char* Inflater::dynamicBlock() {
    int nlit = 257 + int(br_.take(5)), ndist = 1 + int(br_.take(5)), ncode = 4 + int(br_.take(4));
    if (nlit > kMaxLitLenCodes || ndist > kDistanceCodes) return "too many codes in a deflate block";
    std::array<uint8_t, 19> codeLens{};
    for (int i = 0; i < ncode; ++i) codeLens[kCodeLengthOrder[i]] = uint8_t(br_.take(3));
    if (br_.overrun()) return "compressed data ends early";
    Huffman codeLengths;
    if (buildHuffman(codeLengths, codeLens.data(), 19) != CodeShape::kComplete)
        return "invalid code-length code in a deflate block";
    std::array<uint8_t, kMaxLitLenCodes + kDistanceCodes> lengths{};
    if (const char* failure = readCodeLengths(lengths.data(), nlit + ndist, codeLengths))
        return failure;
    if (lengths[kEndOfBlock] == 0) return "deflate block has no end-of-block code";
    Huffman lit, dist;
    if (!usableCode(lit, buildHuffman(lit, lengths.data(), nlit)) ||
        !usableCode(dist, buildHuffman(dist, lengths.data() + nlit, ndist)))
        return "invalid Huffman code in a deflate block";
    return codes(lit, dist);
}

const char* Inflater::codes(const Huffman& lit, const Huffman& dist) {
    for (;;) {
        if (used_ >= nextBeat_) beatNow();
        int sym = decodeSymbol(br_, lit);
        if (br_.overrun()) return "compressed data ends early";
        if (sym < 0) return "invalid compressed data";
        if (sym < kEndOfBlock) {
            if (used_ == out_.size() && !reserve(1)) return "more image data than the image holds";
            out_[used_++] = uint8_t(sym);
            continue;
        }
        if (sym == kEndOfBlock) return nullptr;
        sym -= kEndOfBlock + 1;
        if (sym >= int(kLengthBase.size())) return "invalid length code";
        size_t len = kLengthBase[sym] + br_.take(kLengthExtra[sym]);
        int dsym = decodeSymbol(br_, dist);
        if (dsym < 0 || dsym >= kDistanceCodes) return "invalid distance code";
        size_t distance = kDistanceBase[dsym] + br_.take(kDistanceExtra[dsym]);
        if (br_.overrun()) return "compressed data ends early";
        if (distance > used_) return "distance reaches before the start of the data";
        if (!reserve(len)) return "more image data than the image holds";
        uint8_t* to = out_.data() + used_;
        const uint8_t* from = to - distance;
        for (size_t i = 0; i < len; ++i) to[i] = from[i];  // may overlap: byte by byte
        used_ += len;
    }
}

}  // namespace

size_t mostInflatedSize(size_t compressedSize) {
    return compressedSize < kMaxInput ? compressedSize * kMaxRatio + 1024 : SIZE_MAX;
}

namespace {

const char* checkZlibHeader(std::span<const uint8_t> in) {
    if (in.size() < 6) return "compressed data ends early";
    uint32_t cmf = in[0], flg = in[1];
    if ((cmf & 15) != 8 || (cmf >> 4) > 7) return "unknown compression method";
    if ((cmf << 8 | flg) % 31 != 0) return "compressed data header check fails";
    if (flg & 0x20) return "compressed data needs a preset dictionary";
    return nullptr;
}

}  // namespace

bool zlibInflate(std::span<const uint8_t> in, size_t maxOutput, std::vector<uint8_t>& out,
                 std::string* error, Heartbeat* heartbeat) {
    const char* failure = checkZlibHeader(in);
    out.clear();
    if (!failure) {
        Inflater inflater(in.subspan(2), maxOutput, out, heartbeat);
        failure = inflater.run();
        inflater.finish();
        size_t end = 2 + inflater.endOffset();
        if (!failure && in.size() - end < 4) failure = "compressed data ends before its checksum";
        if (!failure &&
            readBe32(in.data() + end) != adler32Update(kAdler32Initial, out.data(), out.size()))
            failure = "compressed data checksum (Adler-32) fails";
    }
    if (failure && error) *error = failure;
    return !failure;
}

}  // namespace tessel
