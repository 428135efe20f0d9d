// Loading the SDL module and forwarding to it.
#include "platform/sdl_module.h"

#include <string>

#include "base/module_loader.h"
#include "codec/image_files.h"

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

// Image files are decoded by our own code and need no module.
bool loadImageFile(const std::string& path, ImageData& out, std::string* error) {
    return decodeImageFile(path, out, error);
}

}  // namespace tessel
