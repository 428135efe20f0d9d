// The message box window: created once and shown again for every box
// (destroying it races SDL's wake-up events). It shows the pixels the
// window core painted; its input goes back to the core.
#include "platform/sdl/sdl_window.h"

namespace tessel {

bool SdlWindow::ensureBoxWindow() {
    if (box_) return true;
    box_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 240, 120,
                            SDL_WINDOW_HIDDEN | SDL_WINDOW_SKIP_TASKBAR);
    if (!box_) return false;
    boxId_ = SDL_GetWindowID(box_);
    return true;
}

bool SdlWindow::showBox(std::string_view caption, PixelView box) {
    if (!ensureBoxWindow()) return false;
    boxPixels_.assign(box.pixels, box.pixels + static_cast<size_t>(box.width) * box.height);
    // Showing, moving and resizing wait for the X server: only a new box
    // pays for them, a repaint of the one shown does not.
    bool fresh = !boxShown_ || caption != boxCaption_ || box.width != boxWidth_ || box.height != boxHeight_;
    boxCaption_ = caption;
    boxWidth_ = box.width;
    boxHeight_ = box.height;
    if (fresh) {
        SDL_SetWindowTitle(box_, boxCaption_.c_str());
        SDL_SetWindowSize(box_, box.width, box.height);
        SDL_SetWindowPosition(box_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        SDL_ShowWindow(box_);
        if (window_) SDL_SetWindowModalFor(box_, window_);
        SDL_RaiseWindow(box_);
        SDL_SetWindowInputFocus(box_);
        boxShown_ = true;
    }
    drawBox();
    return true;
}

void SdlWindow::drawBox() {
    if (!box_ || !boxShown_) return;
    SDL_Surface* target = SDL_GetWindowSurface(box_);
    if (!target) return;
    if (target->w == boxWidth_ && target->h == boxHeight_) {
        SDL_ConvertPixels(boxWidth_, boxHeight_, SDL_PIXELFORMAT_ARGB8888, boxPixels_.data(),
                          boxWidth_ * 4, target->format->format, target->pixels, target->pitch);
        SDL_UpdateWindowSurface(box_);
        return;
    }
    // The window has another size (a window manager's doing): the box keeps
    // its top-left corner, its pixels copied as they are.
    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(boxPixels_.data(), boxWidth_, boxHeight_, 32,
                                                          boxWidth_ * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!src) return;
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
    SDL_BlitSurface(src, nullptr, target, nullptr);
    SDL_FreeSurface(src);
    SDL_UpdateWindowSurface(box_);
}

void SdlWindow::hideBox() {
    if (!box_) return;
    SDL_HideWindow(box_);
    boxShown_ = false;
    if (!window_) return;
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
}

}  // namespace tessel
