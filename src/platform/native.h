// The native backend under the window core: the few things only a real
// window system (or its stand-in) can do. Everything else - the message
// queue, timers, edit controls, scripted events, --record, message-box
// layout and its modal loop - is the core's, the same for every backend.
//
// A backend implements NativeWindow; the core implements NativeInput and
// hands it to pollEvents, which turns the native events waiting into calls
// on it. Coordinates are client pixels; keys are Windows virtual-key codes;
// text (titles, typed text) is UTF-8: the core converts to and from the
// scripts' Windows-1252. A backend never calls back into the core outside
// pollEvents.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "pixels/raster.h"

namespace tessel {

// What native input becomes: calls on the core, made from pollEvents.
class NativeInput {
   public:
    virtual ~NativeInput() = default;

    // --- the main window ---------------------------------------------------
    virtual void mouseMove(int x, int y) = 0;
    virtual void mouseButton(int x, int y, bool right, bool down) = 0;
    virtual void key(uint32_t vk, bool down) = 0;
    virtual void typeText(std::string_view bytes) = 0;
    // The person asked to close the main window.
    virtual void closeRequest() = 0;
    // The main window's content was lost: the core presents again.
    virtual void expose() = 0;

    // --- the message box window --------------------------------------------
    // The left button went down or up at (x, y) in the box's own pixels.
    virtual void boxButton(int x, int y, bool down) = 0;
    virtual void boxKey(uint32_t vk) = 0;
    // The person closed the box window.
    virtual void boxClose() = 0;
};

class NativeWindow {
   public:
    virtual ~NativeWindow() = default;

    // Opens the main window (client area width x height) at the top-left
    // corner of the screen and shows it. False when it cannot be opened.
    virtual bool open(std::string_view title, int width, int height) = 0;
    // Shows a whole frame (0x??RRGGBB, the size opened). The pixels stay
    // readable until the backend is destroyed, and change only for a newer
    // screen that the core then presents: a backend may show them later,
    // when it next can, without a copy of its own.
    virtual void present(PixelView frame) = 0;

    // Turns the native events waiting into calls on `input`; when none waits,
    // waits up to timeoutMs (0: not at all) for the first. In an unattended
    // run it is called too, now and then while a script runs or waits for
    // messages (timeout 0): a backend that shares its thread with a page
    // hands control to the page there.
    virtual void pollEvents(NativeInput& input, int timeoutMs) = 0;

    // Shows (or, while it is shown, updates) the message box window: modal
    // for the main window, titled `caption` (Windows-1252), showing the
    // pixels the core composed, with the keyboard focus. Its input comes
    // back through boxButton, boxKey and boxClose. False when no box window
    // can be shown.
    virtual bool showBox(std::string_view caption, PixelView box) = 0;
    // Hides the box window and gives the focus back to the main window.
    virtual void hideBox() = 0;
};

// The stand-in without a window: nothing shown, no input.
std::unique_ptr<NativeWindow> makeHeadlessWindow();

}  // namespace tessel
