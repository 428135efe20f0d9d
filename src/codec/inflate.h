// Inflating zlib streams: the compressed image data of PNG files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/heartbeat.h"

namespace tessel {

// Inflates the zlib stream `in` (its two-byte header, deflate blocks of all
// three kinds, and the Adler-32 of the result) into `out`. False, with the
// reason in `error`, when the stream is broken, ends early, fails its
// checksum, or would produce more than `maxOutput` bytes. `out` never grows
// beyond `maxOutput`, and every step consumes input, so no stream can make
// this allocate without bound or loop without end.
// The most bytes a deflate stream of `compressedSize` bytes can inflate to
// (about 1032 per byte): a stream too short for the output it should give
// can be refused before anything is allocated for it.
size_t mostInflatedSize(size_t compressedSize);

// A heartbeat, if given, is beaten about every megabyte of output.
bool zlibInflate(std::span<const uint8_t> in, size_t maxOutput, std::vector<uint8_t>& out,
                 std::string* error, Heartbeat* heartbeat = nullptr);

}  // namespace tessel
