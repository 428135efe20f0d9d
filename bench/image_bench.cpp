// Decoding and writing an 800 x 600 image: our decoders and PNG writer
// against SDL_image's, the reference.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/byte_order.h"
#include "codec/image_files.h"
#include "support/sdl_image.h"

namespace {

namespace fs = std::filesystem;
constexpr int kWidth = 800, kHeight = 600;

// A screen-like picture: flat areas, gradients and some noise.
std::vector<uint32_t> picture() {
    std::vector<uint32_t> p(size_t(kWidth) * kHeight);
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1103515245u + 12345u;
            uint32_t v = y < 200 ? 0xFFFFFF : y < 400 ? uint32_t(x * 255 / kWidth) << 16 | uint32_t(y & 255) : seed >> 8;
            p[size_t(y) * kWidth + x] = 0xFF000000u | v;
        }
    return p;
}

void writeBmp24(const std::string& path, const std::vector<uint32_t>& pixels) {
    uint32_t stride = (kWidth * 3 + 3) & ~3u, size = 54 + stride * kHeight;
    std::vector<uint8_t> f(size, 0);
    f[0] = 'B';
    f[1] = 'M';
    tessel::writeLe32(&f[2], size);
    tessel::writeLe32(&f[10], 54);
    tessel::writeLe32(&f[14], 40);
    tessel::writeLe32(&f[18], kWidth);
    tessel::writeLe32(&f[22], kHeight);
    f[26] = 1;
    f[28] = 24;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint32_t p = pixels[size_t(kHeight - 1 - y) * kWidth + x];
            uint8_t* d = &f[54 + y * stride + x * 3];
            d[0] = uint8_t(p);
            d[1] = uint8_t(p >> 8);
            d[2] = uint8_t(p >> 16);
        }
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || std::fwrite(f.data(), 1, f.size(), out) != f.size()) std::abort();
    std::fclose(out);
}

struct Files {
    std::vector<uint32_t> pixels = picture();
    fs::path dir = fs::temp_directory_path() / ("tessel-image-bench-" + std::to_string(getpid()));
    std::string bmp = (dir / "screen.bmp").string();
    std::string png = (dir / "screen.png").string();  // written by libpng: dynamic Huffman

    Files() {
        fs::create_directories(dir);
        writeBmp24(bmp, pixels);
        if (!tessel::sdlSavePng(png, pixels.data(), kWidth, kHeight)) std::abort();
    }
    ~Files() { fs::remove_all(dir); }
};

Files& files() {
    static Files f;
    return f;
}

void decodeOurs(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        tessel::ImageData image;
        if (!tessel::decodeImageFile(path, image, nullptr)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.pixels.data());
    }
}

void decodeSdl(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        tessel::ImageData image;
        if (!tessel::sdlLoadImageFile(path, image, nullptr)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.pixels.data());
    }
}

void BM_OursBmp24(benchmark::State& state) { decodeOurs(state, files().bmp); }
void BM_SdlImageBmp24(benchmark::State& state) { decodeSdl(state, files().bmp); }
void BM_OursPng(benchmark::State& state) { decodeOurs(state, files().png); }
void BM_SdlImagePng(benchmark::State& state) { decodeSdl(state, files().png); }

void BM_OursWritePng(benchmark::State& state) {
    std::string path = (files().dir / "ours.png").string();
    for (auto _ : state)
        if (!tessel::writePngFile(path, files().pixels.data(), kWidth, kHeight, nullptr))
            state.SkipWithError("write failed");
    state.counters["bytes"] = double(fs::file_size(path));
}

void BM_SdlImageWritePng(benchmark::State& state) {
    std::string path = (files().dir / "sdl.png").string();
    for (auto _ : state)
        if (!tessel::sdlSavePng(path, files().pixels.data(), kWidth, kHeight))
            state.SkipWithError("write failed");
    state.counters["bytes"] = double(fs::file_size(path));
}

// With --benchmark_repetitions, the minimum is the figure least disturbed
// by other work on a shared machine.
double minimum(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

#define IMAGE_BENCHMARK(name) \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", minimum)

IMAGE_BENCHMARK(BM_OursBmp24);
IMAGE_BENCHMARK(BM_SdlImageBmp24);
IMAGE_BENCHMARK(BM_OursPng);
IMAGE_BENCHMARK(BM_SdlImagePng);
IMAGE_BENCHMARK(BM_OursWritePng);
IMAGE_BENCHMARK(BM_SdlImageWritePng);

}  // namespace

BENCHMARK_MAIN();
