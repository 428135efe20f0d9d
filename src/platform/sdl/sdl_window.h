// The SDL2 window backend: the main window, its frames and native input,
// and a second window that shows the message boxes the window core paints.
// Everything else is the core's (window_core.h).
#pragma once

#include <SDL2/SDL.h>

#include <string>
#include <vector>

#include "platform/native.h"

namespace tessel {

class SdlWindow final : public NativeWindow {
   public:
    SdlWindow() = default;
    ~SdlWindow() override;

    bool open(std::string_view title, int width, int height) override;
    void present(PixelView frame) override;
    void pollEvents(NativeInput& input, int timeoutMs) override;
    bool showBox(std::string_view caption, PixelView box) override;
    void hideBox() override;

   private:
    // events.cpp
    void translate(NativeInput& in, const SDL_Event& e);
    void translateWindowEvent(NativeInput& in, const SDL_WindowEvent& w);
    void translateMainInput(NativeInput& in, const SDL_Event& e);
    void translateBoxEvent(NativeInput& in, const SDL_Event& e);
    // message_box.cpp
    bool ensureBoxWindow();
    void drawBox();

    SDL_Window* window_ = nullptr;   // the main window
    uint32_t windowId_ = 0;          // its SDL window id
    SDL_Window* box_ = nullptr;      // the message box window, created once and reused
    uint32_t boxId_ = 0;             // its SDL window id (0: not created)
    bool boxShown_ = false;          // the box window is on screen
    std::string boxCaption_;         // its title
    std::vector<uint32_t> boxPixels_;  // what it shows, kept for exposures
    int boxWidth_ = 0, boxHeight_ = 0;  // its size
};

// The module's entry point (makeSdlWindow forwards here).
std::unique_ptr<NativeWindow> openSdlWindow(std::string* error);

// Windows virtual-key code for an SDL key (0 when it has none).
uint32_t virtualKeyFor(SDL_Keycode key);

// Makes X errors (which SDL can provoke while windows come and go) non-fatal.
void installX11ErrorHandler();

}  // namespace tessel
