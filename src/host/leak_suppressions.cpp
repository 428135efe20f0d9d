// What system libraries lose once and keep for the process's life, for the
// leak checker. Neither library has frame pointers, so the checker's stacks
// end inside it: each suppression names the library.
// - fontconfig (in the font module) loses a few hundred bytes while it parses
//   its configuration files: Font::open -> FcInitLoadConfigAndFonts -> malloc.
// - libdbus keeps about a kilobyte of a private bus connection's buffer that
//   SDL opens and never shuts down (SDL 2.26 calls no dbus_shutdown):
//   makeSdlWindow -> SDL_Init(SDL_INIT_VIDEO) -> SDL_DBus_Init -> realloc.
// The leak checker asks the executable for its suppressions, so this file is
// compiled into every executable that runs scripts (the build adds it to
// whatever links the host), never into a library or a module.
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
