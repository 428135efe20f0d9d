// Choosing the decoder by the file's first bytes.
#include "pixels/image_decode.h"

namespace tessel {

bool decodeImage(std::span<const uint8_t> file, ImageData& out, std::string* error,
                 int64_t maxPixels) {
    if (looksLikePng(file)) return decodePng(file, out, error, maxPixels);
    if (looksLikeBmp(file)) return decodeBmp(file, out, error, maxPixels);
    if (error) *error = "not a BMP or PNG file";
    return false;
}

}  // namespace tessel
