// The BMP and PNG decoders: pixel for pixel the same as SDL_image on every
// test image, and a clean refusal, never a crash, for broken files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "codec/byte_order.h"
#include "codec/checksums.h"
#include "codec/image_decode.h"
#include "codec/image_files.h"
#include "codec/inflate.h"
#include "support/sdl_image.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

fs::path fixtures() { return fs::path(TESSEL_TEST_DATA) / "fixtures" / "images"; }

Bytes fileBytes(const fs::path& p) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(readImageFile(p.string(), bytes, &error)) << p << ": " << error;
    return bytes;
}

std::string hex(uint32_t pixel) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", pixel);
    return text;
}

// Compares two decoded images and names the first differing pixel.
::testing::AssertionResult samePixels(const ImageData& expected, const ImageData& actual) {
    if (expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure()
               << "size " << actual.width << "x" << actual.height << ", expected "
               << expected.width << "x" << expected.height;
    for (size_t i = 0; i < expected.pixels.size(); ++i)
        if (expected.pixels[i] != actual.pixels[i])
            return ::testing::AssertionFailure()
                   << "pixel (" << i % expected.width << ", " << i / expected.width << ") is "
                   << hex(actual.pixels[i]) << ", expected " << hex(expected.pixels[i]);
    return ::testing::AssertionSuccess();
}

std::vector<fs::path> imageFixtures() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fixtures()))
        if (entry.path().extension() == ".bmp" || entry.path().extension() == ".png")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(PixelsDecode, EveryTestImageDecodesAsSdlImageDoes) {
    int agreed = 0;
    for (const fs::path& file : imageFixtures()) {
        SCOPED_TRACE(file.filename().string());
        ImageData reference, ours;
        std::string sdlError, ourError;
        bool sdlLoads = sdlLoadImageFile(file.string(), reference, &sdlError);
        bool weLoad = decodeImageFile(file.string(), ours, &ourError);
        ASSERT_EQ(sdlLoads, weLoad) << "SDL_image: " << sdlError << "; ours: " << ourError;
        if (!weLoad) continue;
        EXPECT_TRUE(samePixels(reference, ours));
        ++agreed;
    }
    EXPECT_GE(agreed, 35);  // every variant but the two broken files
}

TEST(PixelsDecode, FormatIsTakenFromTheBytesNotTheName) {
    Bytes png = fileBytes(fixtures() / "png_rgb8.png"), bmp = fileBytes(fixtures() / "v24.bmp");
    ImageData image;
    EXPECT_TRUE(decodeImage(png, image, nullptr));
    EXPECT_EQ(image.width, 13);
    EXPECT_TRUE(decodeImage(bmp, image, nullptr));
    EXPECT_EQ(image.width, 8);
    for (std::string other : {std::string("<svg xmlns=\"http://www.w3.org/2000/svg\"/>"),
                              std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14),
                              std::string("P6\n1 1\n255\n\xff\x00\x00"), std::string("B"),
                              std::string()}) {
        std::string error;
        EXPECT_FALSE(decodeImage(Bytes(other.begin(), other.end()), image, &error)) << other;
        EXPECT_EQ(error, "not a BMP or PNG file");
    }
}

// A 1 x 1 BMP of 16 bits with the given bit-field masks and pixel.
Bytes bmp16(uint32_t red, uint32_t green, uint32_t blue, uint16_t pixel) {
    Bytes bmp(14 + 40 + 12 + 4, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    writeLe32(&bmp[2], uint32_t(bmp.size()));
    writeLe32(&bmp[10], 14 + 40 + 12);
    writeLe32(&bmp[14], 40);
    writeLe32(&bmp[18], 1);
    writeLe32(&bmp[22], 1);
    bmp[26] = 1;   // planes
    bmp[28] = 16;  // bits per pixel
    bmp[30] = 3;   // bit fields
    writeLe32(&bmp[54], red);
    writeLe32(&bmp[58], green);
    writeLe32(&bmp[62], blue);
    bmp[66] = uint8_t(pixel);
    bmp[67] = uint8_t(pixel >> 8);
    return bmp;
}

uint32_t onlyPixel(const Bytes& file) {
    ImageData image;
    std::string error;
    EXPECT_TRUE(decodeImage(file, image, &error)) << error;
    return image.pixels.empty() ? 0 : image.pixels[0];
}

TEST(PixelsDecode, PackedChannelsWidenByRepeatingTheirTopBits) {
    EXPECT_EQ(onlyPixel(bmp16(0xF800, 0x07E0, 0x001F, 0xFFFF)), 0xFFFFFFFFu);  // full is 0xFF
    EXPECT_EQ(onlyPixel(bmp16(0xF800, 0x07E0, 0x001F, 0x0010)), 0xFF000084u);  // 10000: 10000100
    EXPECT_EQ(onlyPixel(bmp16(0xF800, 0x07E0, 0x001F, 0x0400)), 0xFF008200u);  // 100000: 10000010
    EXPECT_EQ(onlyPixel(bmp16(0xF000, 0x0F00, 0x00F0, 0x5A30)), 0xFF55AA33u);  // 4 bits: x 17
    EXPECT_EQ(onlyPixel(bmp16(0x8000, 0, 0x7FFF, 0x8001)), 0xFFFF0000u);       // 1 bit; 15 bits
    EXPECT_EQ(onlyPixel(bmp16(0, 0, 0, 0xFFFF)), 0xFF000000u);                 // no masks
}

// Every shorter prefix of a file is refused with a reason.
void expectEveryTruncationFails(const Bytes& whole) {
    ImageData image;
    for (size_t n = 0; n < whole.size(); ++n) {
        std::string error;
        Bytes cut(whole.begin(), whole.begin() + n);
        ASSERT_FALSE(decodeImage(cut, image, &error)) << "cut at " << n;
        ASSERT_FALSE(error.empty());
        ASSERT_TRUE(image.pixels.empty());
    }
    ASSERT_TRUE(decodeImage(whole, image, nullptr));
}

TEST(PixelsDecode, EveryTruncationIsRefused) {
    for (const char* name : {"png_palette4_interlaced.png", "png_rgb16.png", "v24.bmp",
                             "v8_rle.bmp", "bmp_v4_rle4.bmp", "bmp_os2_v8.bmp"}) {
        SCOPED_TRACE(name);
        expectEveryTruncationFails(fileBytes(fixtures() / name));
    }
}

// PNG surgery: chunks found by type, and their CRC recomputed after a change.
size_t chunkAt(const Bytes& png, const char* type) {
    for (size_t pos = 8; pos + 8 <= png.size(); pos += 12 + readBe32(&png[pos]))
        if (std::equal(type, type + 4, png.begin() + pos + 4)) return pos;
    ADD_FAILURE() << "no " << type << " chunk";
    return 8;
}

void fixCrc(Bytes& png, size_t chunk) {
    uint32_t length = readBe32(&png[chunk]);
    writeBe32(&png[chunk + 8 + length], crc32Update(kCrc32Initial, &png[chunk + 4], length + 4));
}

// A PNG of the given header values whose image data is `zlib`.
Bytes pngWith(uint32_t width, uint32_t height, uint8_t depth, uint8_t type, const Bytes& zlib) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* name, const Bytes& data) {
        size_t at = png.size();
        png.resize(at + 8);
        writeBe32(&png[at], uint32_t(data.size()));
        std::copy(name, name + 4, png.begin() + at + 4);
        png.insert(png.end(), data.begin(), data.end());
        png.resize(png.size() + 4);
        fixCrc(png, at);
    };
    Bytes header(13);
    writeBe32(&header[0], width);
    writeBe32(&header[4], height);
    header[8] = depth;
    header[9] = type;
    chunk("IHDR", header);
    chunk("IDAT", zlib);
    chunk("IEND", {});
    return png;
}

std::string failure(const Bytes& file) {
    ImageData image;
    std::string error;
    EXPECT_FALSE(decodeImage(file, image, &error));
    EXPECT_TRUE(image.pixels.empty());
    return error;
}

TEST(PixelsDecode, BrokenPngFilesAreRefusedWithTheirReason) {
    Bytes good = fileBytes(fixtures() / "png_rgb8.png");
    Bytes huge = good;
    writeBe32(&huge[chunkAt(huge, "IDAT")], 0x7FFFFFFF);
    EXPECT_EQ(failure(huge), "PNG chunk length exceeds the file");
    Bytes huger = good;
    writeBe32(&huger[chunkAt(huger, "IDAT")], 0xFFFFFFF0u);
    EXPECT_EQ(failure(huger), "PNG chunk length exceeds the file");

    Bytes big = good;
    writeBe32(&big[16], 65535);
    writeBe32(&big[20], 65535);
    fixCrc(big, 8);
    EXPECT_EQ(failure(big), "image too large");

    Bytes badCrc = good;
    badCrc[chunkAt(badCrc, "IDAT") + 10] ^= 1;
    EXPECT_EQ(failure(badCrc), "PNG chunk checksum (CRC) fails");

    Bytes badDepth = good;
    badDepth[24] = 4;  // RGB at 4 bits does not exist
    fixCrc(badDepth, 8);
    EXPECT_EQ(failure(badDepth), "invalid PNG colour type or bit depth");

    Bytes noPalette = good;
    noPalette[25] = 3;
    fixCrc(noPalette, 8);
    EXPECT_EQ(failure(noPalette), "PNG palette missing");

    Bytes critical = good;
    size_t idat = chunkAt(critical, "IDAT");
    std::copy_n("IDAX", 4, critical.begin() + idat + 4);
    fixCrc(critical, idat);
    EXPECT_EQ(failure(critical), "unknown critical PNG chunk");
}

// The 2 x 1 grey image's rows (filter byte, two samples) stored uncompressed.
Bytes storedGreyRow() { return {0x78, 0x01, 0x01, 0x03, 0x00, 0xFC, 0xFF, 0x00, 0x10, 0x80}; }

Bytes withAdler(Bytes zlib, const Bytes& raw) {
    zlib.resize(zlib.size() + 4);
    writeBe32(&zlib[zlib.size() - 4], adler32Update(kAdler32Initial, raw.data(), raw.size()));
    return zlib;
}

TEST(PixelsDecode, BrokenImageDataIsRefusedWithTheReason) {
    Bytes raw = {0x00, 0x10, 0x80};
    ImageData image;
    std::string error;
    ASSERT_TRUE(decodeImage(pngWith(2, 1, 8, 0, withAdler(storedGreyRow(), raw)), image, &error))
        << error;
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0xFF101010u, 0xFF808080u}));

    Bytes badAdler = storedGreyRow();
    badAdler.insert(badAdler.end(), {0, 0, 0, 1});
    EXPECT_EQ(failure(pngWith(2, 1, 8, 0, badAdler)),
              "PNG image data: compressed data checksum (Adler-32) fails");

    // A dynamic block whose code-length code gives all 19 symbols one bit:
    // far more codes than one bit can tell apart.
    Bytes oversubscribed = {0x78, 0x01, 0x05, 0xE0, 0x93, 0x24, 0x49, 0x92, 0x24, 0x49, 0x92, 0x00};
    EXPECT_EQ(failure(pngWith(2, 1, 8, 0, oversubscribed)),
              "PNG image data: invalid code-length code in a deflate block");

    // One row more than the 2 x 1 image holds.
    Bytes tooLong = {0x78, 0x01, 0x01, 0x06, 0x00, 0xF9, 0xFF, 0, 1, 2, 0, 3, 4};
    EXPECT_EQ(failure(pngWith(2, 1, 8, 0, withAdler(tooLong, {0, 1, 2, 0, 3, 4}))),
              "PNG image data: more image data than the image holds");
    EXPECT_EQ(failure(pngWith(2, 2, 8, 0, withAdler(storedGreyRow(), raw))),
              "PNG image data ends early");

    Bytes badFilter = storedGreyRow();
    badFilter[7] = 5;
    EXPECT_EQ(failure(pngWith(2, 1, 8, 0, withAdler(badFilter, {5, 0x10, 0x80}))),
              "invalid PNG row filter");
}

TEST(PixelsDecode, InflateRefusesDistancesBeforeTheStartAndStreamsThatStop) {
    Bytes out;
    std::string error;
    // Fixed block: a match (length 3, distance 1) before any literal.
    Bytes early = {0x78, 0x01, 0x03, 0x02, 0x00, 0, 0, 0, 0};
    EXPECT_FALSE(zlibInflate(early, 100, out, &error));
    EXPECT_EQ(error, "distance reaches before the start of the data");
    // A fixed block of literals that never ends: the zero bits read past the
    // end (an end-of-block code) must not count.
    Bytes open = {0x78, 0x01, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(zlibInflate(open, 1 << 20, out, &error));
    EXPECT_EQ(error, "compressed data ends early");
    EXPECT_LE(out.size(), 8u);
}

TEST(PixelsDecode, DeclaredSizesBeyondThePixelLimitAreRefusedBeforeDecoding) {
    Bytes bmp = fileBytes(fixtures() / "v24.bmp");
    ImageData image;
    std::string error;
    EXPECT_TRUE(decodeImage(bmp, image, &error, 32));
    EXPECT_FALSE(decodeImage(bmp, image, &error, 31));
    EXPECT_EQ(error, "image too large");
    writeLe32(&bmp[18], 65535);
    writeLe32(&bmp[22], uint32_t(-65535));
    EXPECT_EQ(failure(bmp), "image too large");
    writeLe32(&bmp[22], 0x80000000u);  // the most negative height: no overflow
    EXPECT_EQ(failure(bmp), "image too large");
    EXPECT_EQ(failure(fileBytes(fixtures() / "huge_header.bmp")), "image too large");
    Bytes png = fileBytes(fixtures() / "png_rgb8.png");
    EXPECT_TRUE(decodeImage(png, image, &error, 13 * 7));
    EXPECT_FALSE(decodeImage(png, image, &error, 13 * 7 - 1));
    EXPECT_EQ(error, "image too large");
}

TEST(PixelsDecode, BrokenBmpFilesAreRefusedWithTheirReason) {
    Bytes good = fileBytes(fixtures() / "v24.bmp");
    Bytes offset = good;
    writeLe32(&offset[10], uint32_t(good.size()));
    EXPECT_EQ(failure(offset), "BMP pixel data offset exceeds the file");
    Bytes shortData = good;
    writeLe32(&shortData[10], 60);
    EXPECT_EQ(failure(shortData), "BMP pixel data exceeds the file");
    Bytes depth = good;
    depth[28] = 2;
    EXPECT_EQ(failure(depth), "unsupported BMP bits per pixel");
    Bytes jpeg = good;
    jpeg[30] = 4;
    EXPECT_EQ(failure(jpeg), "unsupported BMP compression");
    Bytes header = good;
    writeLe32(&header[14], 0x7FFFFFFF);
    EXPECT_EQ(failure(header), "BMP header exceeds the file");
    EXPECT_EQ(failure(fileBytes(fixtures() / "broken.bmp")), "not a BMP or PNG file");
    EXPECT_EQ(failure(Bytes(good.begin(), good.begin() + 17)), "BMP file too short for its header");
}

TEST(PixelsDecode, ReadingRefusesWhatIsNotARegularFile) {
    Bytes bytes;
    std::string error;
    EXPECT_FALSE(readImageFile(fixtures().string(), bytes, &error));
    EXPECT_EQ(error, "not a regular file");
    EXPECT_FALSE(readImageFile((fixtures() / "missing.png").string(), bytes, &error));
    EXPECT_FALSE(error.empty());
}

// A heartbeat that counts its beats and, if asked, throws at one of them.
struct CountingHeartbeat final : Heartbeat {
    int beats = 0;
    int throwAt = 0;  // 0: never
    void beat() override {
        if (++beats == throwAt) throw std::runtime_error("closed");
    }
};

// A 24-bit bottom-up BMP of width x height, every pixel the same.
Bytes plainBmp(int width, int height) {
    uint32_t stride = (uint32_t(width) * 3 + 3) / 4 * 4, size = stride * uint32_t(height);
    Bytes bmp(54 + size, 0x5A);
    bmp[0] = 'B';
    bmp[1] = 'M';
    writeLe32(bmp.data() + 2, uint32_t(bmp.size()));
    writeLe32(bmp.data() + 10, 54);
    writeLe32(bmp.data() + 14, 40);
    writeLe32(bmp.data() + 18, uint32_t(width));
    writeLe32(bmp.data() + 22, uint32_t(height));
    bmp[26] = 1, bmp[27] = 0, bmp[28] = 24, bmp[29] = 0;
    for (int i = 30; i < 54; ++i) bmp[size_t(i)] = 0;
    writeLe32(bmp.data() + 34, size);
    return bmp;
}

// Decoding a large image beats the window's heartbeat as it goes, and a
// beat that ends the run (a close request) unwinds out of the decoder.
TEST(PixelsDecode, DecodersBeatAndABeatMayEndTheWork) {
    const int w = 700, h = 3000;
    std::vector<uint32_t> pixels(size_t(w) * h);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 2654435761u);
    fs::path path = fs::temp_directory_path() / ("tessel-beat-" + std::to_string(::getpid()) + ".png");
    std::string error;
    ASSERT_TRUE(writePngFile(path.string(), pixels.data(), w, h, &error)) << error;
    Bytes png = fileBytes(path);
    fs::remove(path);
    Bytes bmp = plainBmp(w, h);
    for (const Bytes* file : {&png, &bmp}) {
        CountingHeartbeat counting;
        ImageData image;
        ASSERT_TRUE(decodeImage(*file, image, &error, kMaxImagePixels, &counting)) << error;
        EXPECT_GE(counting.beats, h / 64) << "a beat at least every 64 rows";
        CountingHeartbeat ending;
        ending.throwAt = counting.beats / 2;
        EXPECT_THROW(decodeImage(*file, image, &error, kMaxImagePixels, &ending), std::runtime_error);
    }
    // The inflater beats by output, whatever the rows.
    CountingHeartbeat inflating;
    Bytes raw(size_t(8) << 20, 7);
    Bytes stream = {0x78, 0x01};
    for (size_t at = 0; at < raw.size(); at += 65535) {
        size_t n = std::min<size_t>(65535, raw.size() - at);
        stream.push_back(at + n == raw.size());
        stream.push_back(uint8_t(n)), stream.push_back(uint8_t(n >> 8));
        stream.push_back(uint8_t(~n)), stream.push_back(uint8_t(~n >> 8));
        stream.insert(stream.end(), raw.begin() + long(at), raw.begin() + long(at + n));
    }
    uint32_t adler = adler32Update(kAdler32Initial, raw.data(), raw.size());
    for (int shift = 24; shift >= 0; shift -= 8) stream.push_back(uint8_t(adler >> shift));
    Bytes out;
    ASSERT_TRUE(zlibInflate(stream, raw.size(), out, &error, &inflating)) << error;
    EXPECT_EQ(out, raw);
    EXPECT_GE(inflating.beats, 8) << "about one beat per megabyte";
}

}  // namespace
}  // namespace tessel
