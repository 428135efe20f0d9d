// The checksums of PNG files: CRC-32 over each chunk, Adler-32 over the
// uncompressed zlib stream. Both take a running value, so data can be fed in
// pieces: start with the initial value, pass each result to the next call.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessel {

inline constexpr uint32_t kCrc32Initial = 0;
inline constexpr uint32_t kAdler32Initial = 1;

uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t size);
uint32_t adler32Update(uint32_t adler, const uint8_t* data, size_t size);

}  // namespace tessel
