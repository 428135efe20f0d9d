// Image files through SDL_image: BMP in every variant and PNG in, PNG out; the
// reference the tests and benchmarks hold our own decoders and writer to.
#include "support/sdl_image.h"

#include <SDL2/SDL_image.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace tessel {

namespace {

// Files declaring more pixels than this are refused before decoding: the
// decoder would allocate whatever a (possibly broken) header asks for.
constexpr uint64_t kMaxFilePixels = uint64_t(1) << 26;

uint32_t littleEndian(const unsigned char* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

uint32_t bigEndian32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Width times height as a BMP or PNG header states them; 0 when the file is
// neither (the decoder then judges it alone).
uint64_t declaredPixels(const std::string& path) {
    unsigned char h[26] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(h), sizeof h)) return 0;
    if (h[0] == 'B' && h[1] == 'M') {
        uint32_t headerSize = littleEndian(h + 14, 4);
        if (headerSize == 12) return uint64_t(littleEndian(h + 18, 2)) * littleEndian(h + 20, 2);
        int32_t w = int32_t(littleEndian(h + 18, 4)), ht = int32_t(littleEndian(h + 22, 4));
        return uint64_t(std::llabs(w)) * uint64_t(std::llabs(ht));
    }
    if (std::memcmp(h, "\x89PNG\r\n\x1a\n", 8) == 0 && std::memcmp(h + 12, "IHDR", 4) == 0)
        return uint64_t(bigEndian32(h + 16)) * bigEndian32(h + 20);
    return 0;
}

// One channel of a packed pixel widened to 8 bits by repeating its top bits,
// so full intensity stays 0xFF (the converter's tables give 0xFE for 6 bits).
uint32_t widenChannel(uint32_t pixel, uint32_t mask, int shift, int loss) {
    int bits = 8 - loss;
    if (!mask || bits <= 0) return 0;
    uint32_t v = (pixel & mask) >> shift;
    uint32_t wide = v << loss;
    for (int filled = bits; filled < 8; filled += bits) wide |= wide >> bits;
    return wide & 0xFF;
}

// 16-bit files (5-6-5, 5-5-5): every pixel widened channel by channel.
void readPacked16(SDL_Surface* s, ImageData& out) {
    const SDL_PixelFormat* f = s->format;
    for (int y = 0; y < s->h; ++y) {
        const uint16_t* row = reinterpret_cast<const uint16_t*>(
            static_cast<const uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch);
        for (int x = 0; x < s->w; ++x) {
            uint32_t p = row[x];
            out.pixels[static_cast<size_t>(y) * s->w + x] =
                0xFF000000u | widenChannel(p, f->Rmask, f->Rshift, f->Rloss) << 16 |
                widenChannel(p, f->Gmask, f->Gshift, f->Gloss) << 8 |
                widenChannel(p, f->Bmask, f->Bshift, f->Bloss);
        }
    }
}

}  // namespace

bool sdlLoadImageFile(const std::string& path, ImageData& out, std::string* error) {
    if (declaredPixels(path) > kMaxFilePixels) {
        if (error) *error = "image too large";
        return false;
    }
    SDL_Surface* raw = IMG_Load(path.c_str());
    if (!raw) {
        if (error) *error = IMG_GetError();
        return false;
    }
    if (raw->format->BytesPerPixel == 2 && !raw->format->palette) {
        out.width = raw->w;
        out.height = raw->h;
        out.pixels.resize(static_cast<size_t>(raw->w) * raw->h);
        bool locked = SDL_LockSurface(raw) == 0;
        if (locked) {
            readPacked16(raw, out);
            SDL_UnlockSurface(raw);
        }
        SDL_FreeSurface(raw);
        if (!locked && error) *error = SDL_GetError();
        return locked;
    }
    SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(raw);
    if (!s) {
        if (error) *error = SDL_GetError();
        return false;
    }
    out.width = s->w;
    out.height = s->h;
    out.pixels.resize(static_cast<size_t>(s->w) * s->h);
    for (int y = 0; y < s->h; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch);
        for (int x = 0; x < s->w; ++x)
            out.pixels[static_cast<size_t>(y) * s->w + x] = row[x] | 0xFF000000u;
    }
    SDL_FreeSurface(s);
    return true;
}

bool sdlSavePng(const std::string& path, const uint32_t* pixels, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    std::vector<uint32_t> opaque(pixels, pixels + static_cast<size_t>(width) * height);
    for (uint32_t& p : opaque) p |= 0xFF000000u;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(opaque.data(), width, height, 32,
                                                        width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return false;
    int rc = IMG_SavePNG(s, path.c_str());
    SDL_FreeSurface(s);
    return rc == 0;
}

}  // namespace tessel
