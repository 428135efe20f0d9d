// The font module: FreeType and fontconfig (and the ten-odd libraries they
// bring) are built into libtessel_font.so, which is loaded beside the
// executable when text is first drawn, so that scripts that never draw text
// never pay for loading them. Font::open forwards through the module's table.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "font/font.h"

namespace tessel {

// Raised whenever the table changes shape: a stale module is refused.
constexpr uint32_t kFontModuleVersion = 1;

struct FontModuleApi {
    uint32_t version;  // kFontModuleVersion of the build that made the module
    // Font::open, carried out with FreeType.
    std::unique_ptr<Font> (*open)(std::string_view face, int height, int width, int weight);
};

// Font::open's work, inside the module.
std::unique_ptr<Font> openFreeTypeFont(std::string_view face, int height, int width, int weight);

}  // namespace tessel

// The module's one exported symbol.
#define TESSEL_FONT_MODULE_ENTRY "tessel_font_module_api"
extern "C" const tessel::FontModuleApi* tessel_font_module_api();
