// Decoding BMP and PNG files from memory into opaque 0xFFRRGGBB pixels.
//
// The format is recognised by the file's first bytes, never by its name;
// anything that is neither BMP nor PNG is refused. Every length a header or
// chunk declares is checked against the bytes that are there before anything
// is allocated, so a broken or hostile file costs at most what its own size
// (and the pixel limit) allows, and always ends with a reason.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/heartbeat.h"
#include "codec/image_io.h"

namespace tessel {

// The most pixels an image may have, declared by its file or after scaling
// (2^25 pixels: 128 MB of 32-bit pixels).
inline constexpr int64_t kMaxImagePixels = int64_t(1) << 25;

// The largest image file read: the pixels at 4 bytes each plus room for
// headers, palettes and chunk framing.
inline constexpr int64_t kMaxImageFileBytes = kMaxImagePixels * 4 + (int64_t(1) << 20);

// Decodes a BMP or PNG file held in `file`. Alpha is dropped: every pixel
// comes out as 0xFFRRGGBB. False, with the reason in `error`, when the file
// is of another kind, broken, or declares more than `maxPixels` pixels.
// A heartbeat, if given, is beaten as the work goes on.
bool decodeImage(std::span<const uint8_t> file, ImageData& out, std::string* error,
                 int64_t maxPixels = kMaxImagePixels, Heartbeat* heartbeat = nullptr);

// The two decoders behind decodeImage; each expects its own signature.
bool decodeBmp(std::span<const uint8_t> file, ImageData& out, std::string* error,
               int64_t maxPixels, Heartbeat* heartbeat = nullptr);
bool decodePng(std::span<const uint8_t> file, ImageData& out, std::string* error,
               int64_t maxPixels, Heartbeat* heartbeat = nullptr);

// True when the bytes start like a BMP or a PNG file.
bool looksLikeBmp(std::span<const uint8_t> file);
bool looksLikePng(std::span<const uint8_t> file);

}  // namespace tessel
