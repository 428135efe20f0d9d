// Image files on disk: reading them whole for the decoders, writing PNGs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/heartbeat.h"
#include "codec/image_io.h"

namespace tessel {

// Reads a whole regular file of at most kMaxImageFileBytes into `bytes`.
// False, with the reason in `error`, for anything else or a read error.
bool readImageFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error);

// A regular file's modification time (in nanoseconds) and size, by which a
// decoded image is known to be still the file's; false for anything else.
bool imageFileIdentity(const std::string& path, int64_t& mtimeNs, int64_t& size);

// Reads and decodes a BMP or PNG file.
bool decodeImageFile(const std::string& path, ImageData& out, std::string* error,
                     Heartbeat* heartbeat = nullptr);

// Encodes the pixels (0x??RRGGBB) as a PNG and writes it to `path`. False,
// with the reason in `error`, when the file cannot be written.
bool writePngFile(const std::string& path, const uint32_t* pixels, int width, int height,
                  std::string* error);

}  // namespace tessel
