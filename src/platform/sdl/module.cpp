// The module's one exported symbol: its table of entry points.
#include "platform/sdl/sdl_window.h"
#include "platform/sdl_module.h"

extern "C" __attribute__((visibility("default"))) const tessel::SdlModuleApi*
tessel_sdl_module_api() {
    static const tessel::SdlModuleApi api{tessel::kSdlModuleVersion, tessel::openSdlWindow};
    return &api;
}
