// Font::open: loads the font module on the first call and forwards to it.
// Without the module no font opens, and text draws nothing.
#include <cstdio>
#include <string>

#include "font/font_module.h"
#include "base/module_loader.h"

namespace tessel {

namespace {

const FontModuleApi* loadFontModule() {
    std::string error;
    const auto* api = loadModuleTable<FontModuleApi>("libtessel_font.so", TESSEL_FONT_MODULE_ENTRY,
                                                     kFontModuleVersion, &error);
    if (!api) std::fprintf(stderr, "tessel: cannot draw text (%s)\n", error.c_str());
    return api;
}

}  // namespace

std::unique_ptr<Font> Font::open(std::string_view face, int height, int width, int weight) {
    static const FontModuleApi* const api = loadFontModule();
    return api ? api->open(face, height, width, weight) : nullptr;
}

}  // namespace tessel
