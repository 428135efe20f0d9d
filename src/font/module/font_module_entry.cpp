// The font module's one exported function.
#include "font/font_module.h"

extern "C" __attribute__((visibility("default"))) const tessel::FontModuleApi* tessel_font_module_api() {
    static const tessel::FontModuleApi api{tessel::kFontModuleVersion, &tessel::openFreeTypeFont};
    return &api;
}
