#include "platform/image_io.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <cstring>

namespace tessel {

namespace {

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

bool loadImageFile(const std::string& path, ImageData& out, std::string* error) {
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

bool savePng(const std::string& path, const uint32_t* pixels, int width, int height) {
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
