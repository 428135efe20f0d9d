// Native events into calls on the window core's input.
#include "platform/sdl/sdl_window.h"

namespace tessel {

namespace {

// The window an input event belongs to.
uint32_t inputWindowId(const SDL_Event& e) {
    switch (e.type) {
        case SDL_MOUSEMOTION: return e.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: return e.button.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP: return e.key.windowID;
        case SDL_TEXTINPUT: return e.text.windowID;
        default: return 0;
    }
}

}  // namespace

void SdlWindow::pollEvents(NativeInput& in, int timeoutMs) {
    SDL_Event e;
    if (timeoutMs > 0 && SDL_WaitEventTimeout(&e, timeoutMs)) translate(in, e);
    while (SDL_PollEvent(&e)) translate(in, e);
}

void SdlWindow::translate(NativeInput& in, const SDL_Event& e) {
    switch (e.type) {
        case SDL_QUIT: in.closeRequest(); return;
        case SDL_WINDOWEVENT:
            if (e.window.windowID == boxId_ && boxId_ != 0)
                translateBoxEvent(in, e);
            else if (e.window.windowID == windowId_ && windowId_ != 0)
                translateWindowEvent(in, e.window);
            return;
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_TEXTINPUT: {
            uint32_t id = inputWindowId(e);
            if (id == boxId_ && boxId_ != 0)
                translateBoxEvent(in, e);
            else if (id == windowId_ && windowId_ != 0)
                translateMainInput(in, e);
            return;  // events of windows we do not know are ignored
        }
        default: return;
    }
}

void SdlWindow::translateWindowEvent(NativeInput& in, const SDL_WindowEvent& w) {
    switch (w.event) {
        case SDL_WINDOWEVENT_CLOSE: in.closeRequest(); break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED: in.expose(); break;
        default: break;
    }
}

void SdlWindow::translateMainInput(NativeInput& in, const SDL_Event& e) {
    switch (e.type) {
        case SDL_MOUSEMOTION: in.mouseMove(e.motion.x, e.motion.y); break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const SDL_MouseButtonEvent& b = e.button;
            if (b.button != SDL_BUTTON_LEFT && b.button != SDL_BUTTON_RIGHT) break;
            in.mouseButton(b.x, b.y, b.button == SDL_BUTTON_RIGHT, e.type == SDL_MOUSEBUTTONDOWN);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (uint32_t vk = virtualKeyFor(e.key.keysym.sym)) in.key(vk, e.type == SDL_KEYDOWN);
            break;
        case SDL_TEXTINPUT: in.typeText(e.text.text); break;
        default: break;
    }
}

void SdlWindow::translateBoxEvent(NativeInput& in, const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) in.boxClose();
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) drawBox();
            break;
        case SDL_KEYDOWN:
            if (uint32_t vk = virtualKeyFor(e.key.keysym.sym)) in.boxKey(vk);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (e.button.button == SDL_BUTTON_LEFT)
                in.boxButton(e.button.x, e.button.y, e.type == SDL_MOUSEBUTTONDOWN);
            break;
        default: break;
    }
}

}  // namespace tessel
