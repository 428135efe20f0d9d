// The main window: opening it at the top-left corner and showing frames.
#include <cstdlib>

#include "platform/sdl/sdl_window.h"

namespace tessel {

SdlWindow::~SdlWindow() {
    // The windows are left to SDL_Quit: destroying them one by one races
    // SDL's own wake-up events.
    SDL_Quit();
}

bool SdlWindow::open(std::string_view title, int width, int height) {
    window_ = SDL_CreateWindow(std::string(title).c_str(), 0, 0, width, height, SDL_WINDOW_HIDDEN);
    if (!window_) return false;
    windowId_ = SDL_GetWindowID(window_);
    // Mapping the window lets a window manager place it anew: ask for the
    // top-left corner again (without one the window stays there).
    SDL_SetWindowPosition(window_, 0, 0);
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    return true;
}

void SdlWindow::present(PixelView frame) {
    if (!window_) return;
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (!target) return;
    if (target->w == frame.width && target->h == frame.height) {
        SDL_ConvertPixels(frame.width, frame.height, SDL_PIXELFORMAT_ARGB8888, frame.pixels, frame.width * 4,
                          target->format->format, target->pixels, target->pitch);
    } else {
        // A window manager gave us another size: blit what fits.
        SDL_Surface* src =
            SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(frame.pixels), frame.width, frame.height,
                                               32, frame.width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (src) {
            SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
            SDL_BlitSurface(src, nullptr, target, nullptr);
            SDL_FreeSurface(src);
        }
    }
    SDL_UpdateWindowSurface(window_);
}

std::unique_ptr<NativeWindow> openSdlWindow(std::string* error) {
    auto fail = [error](std::string reason) -> std::unique_ptr<NativeWindow> {
        if (error) *error = std::move(reason);
        return nullptr;
    };
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return fail("no display: DISPLAY is not set");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail(SDL_GetError());
    installX11ErrorHandler();
    return std::make_unique<SdlWindow>();
}

}  // namespace tessel
