// LOADIMG and SHOWIMG: every file variant, transparency, scaling, handles.
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

#include "gfx_test_util.h"

namespace tessel {
namespace {

using namespace testing_gfx;

std::string fixture(const std::string& name) {
    return std::string(TESSEL_TEST_DATA) + "/fixtures/images/" + name;
}

constexpr int32_t kBitmap = 0, kFromFile = 16;

int32_t load(GfxState& g, const std::string& name, int w = 0, int h = 0) {
    return loadImage(g, fixture(name), kBitmap, w, h, kFromFile);
}

// The 8 x 4 test picture: K black, R red, G green, B blue, W white.
const std::vector<std::string> kColourPicture = {"KRGBWKRG", "RKBWKGBW", "GBKRWRKB", "BWRKGBRK"};
const std::vector<std::pair<uint32_t, char>> kColours = {
    {0xFF000000u, 'K'}, {0xFFFF0000u, 'R'}, {0xFF00FF00u, 'G'}, {0xFF0000FFu, 'B'},
    {0xFFFFFFFFu, 'W'}, {0xFFFF00FFu, '.'}};

// Shows image `h` on a magenta buffer the image's size: black stays magenta.
std::vector<std::string> shown(GfxState& g, int32_t handle, int w, int h) {
    GfxState out = smallBuffer(w, h);
    clearTo(out, colourValue(255, 0, 255));
    out.images = g.images;
    showImage(out, handle, 0, 0, w, h);
    return picture(out, kColours);
}

std::vector<std::string> withBlackTransparent(std::vector<std::string> rows) {
    for (std::string& r : rows)
        for (char& c : r)
            if (c == 'K') c = '.';
    return rows;
}

TEST(GfxImage, EveryBitmapVariantLoadsPixelExact) {
    for (const char* name : {"v24.bmp", "v24_topdown.bmp", "v32.bmp", "v16.bmp", "v8.bmp",
                             "v8_rle.bmp", "v4.bmp", "v.png"}) {
        SCOPED_TRACE(name);
        GfxState g;
        int32_t handle = load(g, name);
        ASSERT_GT(handle, 0);
        EXPECT_EQ(g.images[handle - 1]->width, 8);
        EXPECT_TRUE(samePicture(withBlackTransparent(kColourPicture), shown(g, handle, 8, 4)));
    }
}

TEST(GfxImage, MonochromeBitmap) {
    GfxState g;
    int32_t handle = load(g, "v1.bmp");
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(samePicture({"W.WW..W.", ".W..WW.W", "WWW....W", "...WWWW."}, shown(g, handle, 8, 4)));
}

TEST(GfxImage, ShowsTheTopLeftPartAtThePosition) {
    GfxState g = smallBuffer(6, 4);
    int32_t handle = load(g, "v24.bmp");
    showImage(g, handle, 2, 1, 3, 2);  // K R G / R K B: black leaves the white buffer
    EXPECT_TRUE(samePicture({"WWWWWW", "WWWRGW", "WWRWBW", "WWWWWW"}, picture(g, kColours)));
}

TEST(GfxImage, SizesBeyondTheImageOrBufferAreClipped) {
    GfxState g = smallBuffer(5, 3);
    int32_t handle = load(g, "v24.bmp");
    showImage(g, handle, -3, -1, 1000, 1000);  // row 1 of the image from column 3
    EXPECT_TRUE(samePicture({"WWGBW", "RWRWB", "WGBRW"}, picture(g, kColours)));
    GfxState h = smallBuffer(5, 3);
    showImage(h, load(h, "v24.bmp"), 0, 0, -4, 3);
    showImage(h, 1, INT_MIN, INT_MAX, INT_MAX, INT_MAX);
    showImage(h, 1, INT_MAX, 0, 5, 5);
    for (uint32_t p : h.pixels) ASSERT_EQ(p, kWhite);
}

TEST(GfxImage, WidthAndHeightScaleTheImage) {
    GfxState g;
    int32_t wide = load(g, "v24.bmp", 16, 0);
    ASSERT_GT(wide, 0);
    std::vector<std::string> doubled;
    for (const std::string& r : withBlackTransparent(kColourPicture)) {
        std::string d;
        for (char c : r) d += std::string(2, c);
        doubled.push_back(d);
    }
    EXPECT_TRUE(samePicture(doubled, shown(g, wide, 16, 4)));
    int32_t half = load(g, "v24.bmp", 4, 2);
    ASSERT_GT(half, 0);
    EXPECT_EQ(g.images[half - 1]->width, 4);
    EXPECT_EQ(g.images[half - 1]->height, 2);
}

TEST(GfxImage, EveryLoadGetsItsOwnHandle) {
    GfxState g;
    int32_t first = load(g, "v24.bmp"), second = load(g, "v24.bmp"), third = load(g, "v4.bmp");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(third, 3);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(load(g, "v.png"), 4 + i);  // no limit of 64
    EXPECT_TRUE(samePicture(shown(g, first, 8, 4), shown(g, second, 8, 4)));
}

TEST(GfxImage, FilesThatCannotBeLoadedGiveHandleZero) {
    GfxState g = smallBuffer(4, 4);
    EXPECT_EQ(load(g, "missing.bmp"), 0);
    EXPECT_EQ(load(g, "broken.bmp"), 0);
    EXPECT_EQ(load(g, "huge_header.bmp"), 0);  // refused before anything is allocated
    EXPECT_EQ(loadImage(g, fixture(""), kBitmap, 0, 0, kFromFile), 0);  // a folder
    EXPECT_EQ(loadImage(g, fixture("v24.bmp"), 1, 0, 0, kFromFile), 0);  // not a bitmap type
    EXPECT_EQ(loadImage(g, fixture("v24.bmp"), kBitmap, 0, 0, 0), 0);    // not from a file
    EXPECT_EQ(load(g, "v24.bmp", -5, 0), 0);
    EXPECT_EQ(load(g, "v24.bmp", INT_MAX, INT_MAX), 0);  // too large to hold
    EXPECT_TRUE(g.images.empty());
    showImage(g, 0, 0, 0, 4, 4);
    showImage(g, 7, 0, 0, 4, 4);
    showImage(g, -1, 0, 0, 4, 4);
    for (uint32_t p : g.pixels) ASSERT_EQ(p, kWhite);
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

// A failed file is remembered as a loaded one is: the same path, size and
// modification time are not decoded again, a changed file is.
TEST(GfxImage, FailedFilesAreRememberedUntilTheyChange) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("tessel-image-cache-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path file = dir / "later.bmp";
    std::string good = std::string(TESSEL_TEST_DATA) + "/fixtures/images/v24.bmp";
    std::string broken(fs::file_size(good), 'x');  // as long as the good file
    { std::ofstream(file, std::ios::binary) << broken; }
    GfxState g;
    EXPECT_EQ(loadImage(g, file.string(), 0, 0, 0, 16), 0);
    fs::file_time_type when = fs::last_write_time(file);
    fs::copy_file(good, file, fs::copy_options::overwrite_existing);
    fs::last_write_time(file, when);
    EXPECT_EQ(loadImage(g, file.string(), 0, 0, 0, 16), 0);  // not looked at again
    fs::last_write_time(file, when + std::chrono::seconds(1));
    EXPECT_EQ(loadImage(g, file.string(), 0, 0, 0, 16), 1);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tessel
