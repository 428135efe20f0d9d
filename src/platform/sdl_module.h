// The SDL module: the SDL window backend is built into libtessel_sdl.so,
// which is loaded beside the executable on first need, so that headless runs
// and --check never pay for SDL's start-up (some sixty shared libraries). The
// module hands back one table of entry points; makeSdlWindow forwards through
// it. It holds only the SDL side: the window core stays in the executable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "codec/image_io.h"
#include "platform/native.h"

namespace tessel {

// Raised whenever the table changes shape: a stale module is refused.
constexpr uint32_t kSdlModuleVersion = 3;

struct SdlModuleApi {
    uint32_t version;  // kSdlModuleVersion of the build that made the module
    // Opens the window backend (null with a reason in `error` when it cannot).
    std::unique_ptr<NativeWindow> (*openWindow)(std::string* error);
};

// The SDL window backend from the module; null, with a reason in `error`,
// when the module is missing or no window can be opened (no display).
std::unique_ptr<NativeWindow> makeSdlWindow(std::string* error);

// Decodes an image file (false with a reason in `error`).
bool loadImageFile(const std::string& path, ImageData& out, std::string* error);

// The module's table, loaded on the first call; null (with the loader's
// reason in `error`) when the module is missing or unusable. Later calls
// give the same answer without trying again.
const SdlModuleApi* sdlModule(std::string* error);

}  // namespace tessel

// The module's one exported symbol.
#define TESSEL_SDL_MODULE_ENTRY "tessel_sdl_module_api"
extern "C" const tessel::SdlModuleApi* tessel_sdl_module_api();
