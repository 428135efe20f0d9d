// The main window: creation, showing frames, and the message loop's waits.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/cp1252.h"
#include "platform/sdl/sdl_platform.h"

namespace tessel {

SdlPlatform::SdlPlatform(SDL_Window* window, std::vector<ScriptedEvent> events, std::FILE* record)
    : window_(window),
      windowId_(SDL_GetWindowID(window)),
      events_(std::move(events)),
      scripted_(!events_.empty()),
      record_(record) {
    lastRecorded_ = now();
    // Native events arrive without our queue knowing: every peek reads them.
    alwaysPeek_ = true;
    queueChanged();
}

SdlPlatform::~SdlPlatform() {
    if (record_) std::fclose(record_);
    // The box window is left to SDL_Quit: destroying windows one by one races
    // SDL's own wake-up events.
    SDL_Quit();
}

void SdlPlatform::openWindow(std::string_view title, int width, int height) {
    SDL_SetWindowTitle(window_, windows1252ToUtf8(title).c_str());
    // Moving or resizing waits for the X server's answer (up to 100 ms each):
    // the window was created centred at 800x600, so usually neither is needed.
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    if (w != width || h != height) {
        SDL_SetWindowSize(window_, width, height);
        SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    refreshScreen();
}

void SdlPlatform::showScreen(const FrameBuffer& screen) {
    if (screen.empty() || !(SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN)) return;
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (!target) return;
    if (target->w == width_ && target->h == height_) {
        SDL_ConvertPixels(width_, height_, SDL_PIXELFORMAT_ARGB8888, screen.data(), width_ * 4,
                          target->format->format, target->pixels, target->pitch);
    } else {
        // A window manager gave us another size: blit what fits.
        SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<uint32_t*>(screen.data()), width_, height_, 32, width_ * 4,
            SDL_PIXELFORMAT_ARGB8888);
        if (src) {
            SDL_BlitSurface(src, nullptr, target, nullptr);
            SDL_FreeSurface(src);
        }
    }
    SDL_UpdateWindowSurface(window_);
}

bool SdlPlatform::getMessage(Message& m) {
    for (;;) {
        if (closed()) return false;
        pump(0);
        if (takeMessage(m)) return true;
        if (stepScriptedEvents()) continue;
        pump(waitTimeout());
    }
}

// Milliseconds from the coarse clock: a few nanoseconds to read, which
// matters for a call made at every non-statement token of a running script.
static uint64_t coarseMillis() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
}

bool SdlPlatform::peekMessage(Message& m) {
    // Scripts may peek in a tight loop: read native events only now and then.
    uint64_t c = coarseMillis();
    if (c - lastPeekPump_ >= 2) {
        lastPeekPump_ = c;
        pump(0);
    }
    return takeMessage(m);
}

void SdlPlatform::keepAlive() {
    // Called for many statements: one clock read (tens of nanoseconds), and
    // native events at most every 10 ms.
    if (now() - lastPump_ < 10) return;
    pump(0);
    std::optional<uint64_t> pending = closePendingFor();
    if (pending && *pending >= 1000) forceClose();
}

void SdlPlatform::forceClose() {
    // The script has not serviced the close request: handle it here, which
    // ends the program; should the procedure return, end the process anyway.
    dispatchMessage(Message{kMainWindow, WM_CLOSE, 0, 0});
    std::fflush(nullptr);
    std::exit(0);
}

std::unique_ptr<Platform> openSdlPlatform(const PlatformConfig& cfg, std::string* error) {
    auto fail = [error](std::string reason) -> std::unique_ptr<Platform> {
        if (error) *error = std::move(reason);
        return nullptr;
    };
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return fail("no display: DISPLAY is not set");
    std::vector<ScriptedEvent> events;
    std::string reason;
    if (!cfg.events.empty() && !loadEventsFile(cfg.events, events, &reason)) return fail(reason);

    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail(SDL_GetError());
    installX11ErrorHandler();
    SDL_Window* window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800,
                                          600, SDL_WINDOW_HIDDEN);
    if (!window) {
        std::string why = SDL_GetError();
        SDL_Quit();
        return fail(why);
    }
    std::FILE* record = nullptr;
    if (!cfg.record.empty()) {
        record = std::fopen(cfg.record.c_str(), "wb");
        if (!record)
            std::fprintf(stderr, "tessel: cannot write %s: %s\n", cfg.record.c_str(),
                         std::strerror(errno));
    }
    return std::make_unique<SdlPlatform>(window, std::move(events), record);
}

}  // namespace tessel
