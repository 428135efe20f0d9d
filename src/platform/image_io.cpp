#include "platform/image_io.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <cstring>

namespace tessel {

bool loadImageFile(const std::string& path, ImageData& out, std::string* error) {
    SDL_Surface* raw = IMG_Load(path.c_str());
    if (!raw) {
        if (error) *error = IMG_GetError();
        return false;
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
