// Fuzz target: the image decoders and the inflater on arbitrary bytes.
//
// The first byte picks what the rest is fed to: the decoders as the bytes
// are; the decoders after every PNG chunk's CRC has been made right (else
// almost every change would stop at the checksum); or the inflater alone.
// A decoded image is written back as a PNG and must decode to the same
// pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "codec/byte_order.h"
#include "codec/checksums.h"
#include "codec/image_decode.h"
#include "codec/inflate.h"
#include "codec/png_encode.h"

namespace {

// Keeps each run fast; the real limit is tested by the unit tests.
constexpr int64_t kFuzzPixels = int64_t(1) << 18;

void fixPngCrcs(std::vector<uint8_t>& png) {
    size_t pos = 8;
    while (png.size() >= pos + 12) {
        uint32_t length = tessel::readBe32(&png[pos]);
        if (length > png.size() - pos - 12) return;
        tessel::writeBe32(&png[pos + 8 + length],
                          tessel::crc32Update(tessel::kCrc32Initial, &png[pos + 4], length + 4));
        pos += 12 + size_t(length);
    }
}

void checkRoundTrip(const tessel::ImageData& image) {
    std::vector<uint8_t> png = tessel::encodePng(image.pixels.data(), image.width, image.height);
    tessel::ImageData again;
    if (!tessel::decodeImage(png, again, nullptr, kFuzzPixels) || again.pixels != image.pixels)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<uint8_t> bytes(data + 1, data + size);
    tessel::ImageData image;
    switch (data[0] % 3) {
        case 0: {
            std::vector<uint8_t> out;
            tessel::zlibInflate(bytes, size_t(kFuzzPixels), out, nullptr);
            return 0;
        }
        case 1: fixPngCrcs(bytes); break;
        default: break;
    }
    if (tessel::decodeImage(bytes, image, nullptr, kFuzzPixels)) checkRoundTrip(image);
    return 0;
}
