// Native events into window messages, scripted events, and --record.
#include <algorithm>

#include "base/cp1252.h"
#include "platform/sdl/sdl_platform.h"

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

void SdlPlatform::pump(int timeoutMs) {
    SDL_Event e;
    if (timeoutMs > 0 && SDL_WaitEventTimeout(&e, timeoutMs)) translate(e);
    while (SDL_PollEvent(&e)) translate(e);
    lastPump_ = now();
}

int SdlPlatform::waitTimeout() const {
    // Wake up for the next timer tick or the end of a scripted wait; never
    // sleep so long that a missed wake-up would matter.
    uint64_t n = now();
    uint64_t until = n + 250;
    if (std::optional<uint64_t> d = timers_.nextDeadline()) until = std::min(until, *d);
    if (waitUntil_) until = std::min(until, *waitUntil_);
    if (nextEvent_ < events_.size() && !waitUntil_) until = n;
    return until > n ? static_cast<int>(until - n) : 0;
}

bool SdlPlatform::stepScriptedEvents() {
    if (waitUntil_) {
        if (now() < *waitUntil_) return false;
        waitUntil_.reset();
        return true;
    }
    if (nextEvent_ >= events_.size()) return false;
    const ScriptedEvent& e = events_[nextEvent_++];
    if (e.kind == EventKind::Wait)
        waitUntil_ = now() + static_cast<uint64_t>(e.a);
    else
        applyEvent(e);
    return true;
}

void SdlPlatform::record(const ScriptedEvent& e) {
    if (!record_) return;
    uint64_t n = now();
    if (n > lastRecorded_) std::fprintf(record_, "wait %llu\n", static_cast<unsigned long long>(n - lastRecorded_));
    lastRecorded_ = n;
    std::string line = formatEvent(e) + "\n";
    std::fwrite(line.data(), 1, line.size(), record_);
    std::fflush(record_);
}

void SdlPlatform::requestClose() {
    if (closePendingFor()) return;  // one request at a time
    post(Message{kMainWindow, WM_CLOSE, 0, 0});
    record(makeEvent(EventKind::Close));
}

void SdlPlatform::translate(const SDL_Event& e) {
    switch (e.type) {
        case SDL_QUIT: requestClose(); return;
        case SDL_WINDOWEVENT:
            if (e.window.windowID == boxId_ && boxId_ != 0)
                translateBoxEvent(e);
            else if (e.window.windowID == windowId_)
                translateWindowEvent(e.window);
            return;
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_TEXTINPUT: {
            uint32_t id = inputWindowId(e);
            if (id == boxId_ && boxId_ != 0)
                translateBoxEvent(e);
            else if (id == windowId_)
                translateMainInput(e);
            return;  // events of windows we do not know are ignored
        }
        default: return;
    }
}

void SdlPlatform::translateWindowEvent(const SDL_WindowEvent& w) {
    switch (w.event) {
        case SDL_WINDOWEVENT_CLOSE: requestClose(); break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            // The window keeps its content: show the kept frame, then let the
            // script repaint.
            refreshScreen();
            post(Message{kMainWindow, WM_PAINT, 0, 0});
            break;
        default: break;
    }
}

void SdlPlatform::translateMainInput(const SDL_Event& e) {
    switch (e.type) {
        case SDL_MOUSEMOTION:
            mouseMove(e.motion.x, e.motion.y);
            record(makeEvent(EventKind::Move, e.motion.x, e.motion.y));
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const SDL_MouseButtonEvent& b = e.button;
            if (b.button != SDL_BUTTON_LEFT && b.button != SDL_BUTTON_RIGHT) break;
            bool right = b.button == SDL_BUTTON_RIGHT;
            bool down = e.type == SDL_MOUSEBUTTONDOWN;
            mouseButton(b.x, b.y, right, down);
            if (down) record(makeEvent(right ? EventKind::RClick : EventKind::Click, b.x, b.y));
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            uint32_t vk = virtualKeyFor(e.key.keysym.sym);
            if (vk == 0) break;
            bool down = e.type == SDL_KEYDOWN;
            key(vk, down);
            record(makeEvent(down ? EventKind::KeyDown : EventKind::KeyUp, vk));
            break;
        }
        case SDL_TEXTINPUT: {
            if (focus() == kMainWindow) break;  // typing reaches only edit controls
            std::string bytes = utf8ToWindows1252(e.text.text);
            if (bytes.empty()) break;
            typeText(bytes);
            record(makeEvent(EventKind::Type, 0, 0, bytes));
            break;
        }
        default: break;
    }
}

}  // namespace tessel
