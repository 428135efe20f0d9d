// Font::open: loads the font module on the first call and forwards to it.
// Without the module no font opens, and text draws nothing.
#include <cstdio>
#include <string>

#include "pixels/font_module.h"
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

// What system libraries lose once and keep for the process's life, for the
// leak checker. Neither library has frame pointers, so the checker's stacks
// end inside it: each suppression names the library.
// - fontconfig (in the font module) loses a few hundred bytes while it parses
//   its configuration files: Font::open -> FcInitLoadConfigAndFonts -> malloc.
// - libdbus keeps about a kilobyte of a private bus connection's buffer that
//   SDL opens and never shuts down (SDL 2.26 calls no dbus_shutdown):
//   makeSdlWindow -> SDL_Init(SDL_INIT_VIDEO) -> SDL_DBus_Init -> realloc.
// The leak checker asks the executable for its suppressions, so they are
// defined here, in code every executable that draws text links, and not in
// the modules.
#if defined(__SANITIZE_ADDRESS__)
#define TESSEL_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSEL_LEAK_CHECKED 1
#endif
#endif
#ifdef TESSEL_LEAK_CHECKED
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
#endif

std::unique_ptr<Font> Font::open(std::string_view face, int height, int width, int weight) {
    static const FontModuleApi* const api = loadFontModule();
    return api ? api->open(face, height, width, weight) : nullptr;
}

}  // namespace tessel
