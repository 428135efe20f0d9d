// Choosing the decoder by the file's first bytes.
#include "codec/image_decode.h"

namespace tessel {

bool decodeImage(std::span<const uint8_t> file, ImageData& out, std::string* error,
                 int64_t maxPixels, Heartbeat* heartbeat) {
    if (looksLikePng(file)) return decodePng(file, out, error, maxPixels, heartbeat);
    if (looksLikeBmp(file)) return decodeBmp(file, out, error, maxPixels, heartbeat);
    if (error) *error = "not a BMP or PNG file";
    return false;
}

}  // namespace tessel
