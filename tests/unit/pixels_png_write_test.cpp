// The PNG writer: what it writes reads back the same through our decoder
// and through SDL_image, and our decoder reads what libpng writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codec/image_decode.h"
#include "codec/image_files.h"
#include "codec/png_encode.h"
#include "support/sdl_image.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

// Flat areas (long matches), a gradient and noise (literals), in a size
// whose rows are not a multiple of anything convenient.
std::vector<uint32_t> testPicture(int w, int h) {
    std::vector<uint32_t> p(size_t(w) * h);
    uint32_t seed = 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            uint32_t v = y < h / 3 ? 0x336699u : y < 2 * h / 3 ? uint32_t(x * 7) << 8 | uint32_t(y) : seed >> 8;
            p[size_t(y) * w + x] = 0xFF000000u | (v & 0xFFFFFF);
        }
    return p;
}

class PngWrite : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tessel-png-write-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(PngWrite, WrittenFilesReadBackTheSameThroughBothDecoders) {
    for (auto [w, h] : {std::pair{1, 1}, {37, 23}, {800, 600}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        std::vector<uint32_t> pixels = testPicture(w, h);
        std::string path = (dir_ / "out.png").string(), error;
        ASSERT_TRUE(writePngFile(path, pixels.data(), w, h, &error)) << error;
        ImageData ours, theirs;
        ASSERT_TRUE(decodeImageFile(path, ours, &error)) << error;
        ASSERT_TRUE(sdlLoadImageFile(path, theirs, &error)) << error;
        EXPECT_EQ(ours.width, w);
        EXPECT_EQ(ours.height, h);
        EXPECT_TRUE(ours.pixels == pixels);
        EXPECT_TRUE(theirs.pixels == pixels);
    }
}

TEST_F(PngWrite, AlphaIsNotWrittenAndFlatScreensCompress) {
    std::vector<uint32_t> pixels(800 * 600, 0x00FFFFFFu);  // no alpha set
    std::vector<uint8_t> png = encodePng(pixels.data(), 800, 600);
    EXPECT_LT(png.size(), 20000u);  // 1.4 MB of white
    ImageData image;
    ASSERT_TRUE(decodeImage(png, image, nullptr));
    for (uint32_t p : image.pixels) ASSERT_EQ(p, 0xFFFFFFFFu);
    EXPECT_TRUE(encodePng(pixels.data(), 0, 600).empty());
    EXPECT_TRUE(encodePng(pixels.data(), 800, -1).empty());
}

TEST_F(PngWrite, OurDecoderReadsWhatLibpngWrites) {
    // libpng compresses with dynamic Huffman blocks and row filters.
    std::vector<uint32_t> pixels = testPicture(300, 200);
    std::string path = (dir_ / "sdl.png").string(), error;
    ASSERT_TRUE(sdlSavePng(path, pixels.data(), 300, 200));
    ImageData ours;
    ASSERT_TRUE(decodeImageFile(path, ours, &error)) << error;
    EXPECT_TRUE(ours.pixels == pixels);
}

TEST_F(PngWrite, UnwritablePathsGiveTheReason) {
    std::vector<uint32_t> pixels(4, 0);
    std::string error;
    EXPECT_FALSE(writePngFile((dir_ / "no" / "such.png").string(), pixels.data(), 2, 2, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(writePngFile(dir_.string(), pixels.data(), 2, 2, &error));  // a folder
}

}  // namespace
}  // namespace tessel
