// Loading the SDL module and forwarding to it.
#include "platform/sdl_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace tessel {

namespace {

// The module's file name; it lives in the executable's directory.
constexpr const char* kModuleName = "libtessel_sdl.so";

// Where the module should be: beside the running executable.
std::string modulePath() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return kModuleName;
    std::string path(exe, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return path.substr(0, slash == std::string::npos ? 0 : slash + 1) + kModuleName;
}

// The outcome of the one load attempt.
struct LoadedModule {
    const SdlModuleApi* api = nullptr;  // the table (null: the load failed)
    std::string error;                  // why it failed
};

LoadedModule loadModule() {
    LoadedModule m;
    std::string path = modulePath();
    // Never closed: the window backend's code and SDL's state live until exit.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        m.error = dlerror();
        return m;
    }
    auto entry = reinterpret_cast<const SdlModuleApi* (*)()>(dlsym(handle, TESSEL_SDL_MODULE_ENTRY));
    if (!entry) {
        m.error = path + ": " + dlerror();
        return m;
    }
    const SdlModuleApi* api = entry();
    if (!api || api->version != kSdlModuleVersion) {
        m.error = path + ": built for another version of tessel";
        return m;
    }
    m.api = api;
    return m;
}

}  // namespace

const SdlModuleApi* sdlModule(std::string* error) {
    static const LoadedModule loaded = loadModule();
    if (!loaded.api && error) *error = loaded.error;
    return loaded.api;
}

std::unique_ptr<Platform> makeSdlPlatform(const PlatformConfig& cfg, std::string* error) {
    const SdlModuleApi* api = sdlModule(error);
    return api ? api->makePlatform(cfg, error) : nullptr;
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
