// SDL_image as the reference our image code is compared with: its decoders
// and its PNG writer. Tests and benchmarks only; tessel never uses it.
#pragma once

#include <cstdint>
#include <string>

#include "codec/image_io.h"

namespace tessel {

// Decodes an image file (false with SDL_image's reason in `error`).
bool sdlLoadImageFile(const std::string& path, ImageData& out, std::string* error);

// Writes pixels as an opaque PNG.
bool sdlSavePng(const std::string& path, const uint32_t* pixels, int width, int height);

}  // namespace tessel
