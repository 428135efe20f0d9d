// Loading the SDL module and forwarding to it.
#include "platform/sdl_module.h"

#include <cstdio>
#include <string>

#include "base/module_loader.h"

namespace tessel {

namespace {

// The outcome of the one load attempt.
struct LoadedModule {
    const SdlModuleApi* api = nullptr;  // the table (null: the load failed)
    std::string error;                  // why it failed
};

LoadedModule loadModule() {
    LoadedModule m;
    m.api = loadModuleTable<SdlModuleApi>("libtessel_sdl.so", TESSEL_SDL_MODULE_ENTRY, kSdlModuleVersion,
                                          &m.error);
    return m;
}

}  // namespace

const SdlModuleApi* sdlModule(std::string* error) {
    static const LoadedModule loaded = loadModule();
    if (!loaded.api && error) *error = loaded.error;
    return loaded.api;
}

std::unique_ptr<NativeWindow> makeSdlWindow(std::string* error) {
    const SdlModuleApi* api = sdlModule(error);
    return api ? api->openWindow(error) : nullptr;
}

bool loadImageFile(const std::string& path, ImageData& out, std::string* error) {
    const SdlModuleApi* api = sdlModule(error);
    return api && api->loadImage(path, out, error);
}

bool savePng(const std::string& path, const uint32_t* pixels, int width, int height) {
    std::string error;
    const SdlModuleApi* api = sdlModule(&error);
    if (!api) {
        std::fprintf(stderr, "tessel: cannot save PNG files: %s\n", error.c_str());
        return false;
    }
    return api->savePng(path, pixels, width, height);
}

}  // namespace tessel
