// The SDL2 window backend: a real 800x600 window, native input turned into
// window messages, timers waited for with SDL_WaitEventTimeout, and message
// boxes drawn by us in a second window whose modal loop keeps servicing the
// main window.
#pragma once

#include <SDL2/SDL.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/events_file.h"
#include "pixels/image_io.h"
#include "platform/window_core.h"

namespace tessel {

// A message box on screen: what it shows and where its button is.
struct BoxView {
    std::string caption;         // window title (Windows-1252 bytes)
    std::vector<std::string> lines;  // the text, split at line ends
    int width = 0, height = 0;   // client size of the box window
    SDL_Rect button{};           // the OK button
    bool pressed = false;        // the button is held down
    bool confirmed = false;      // OK was given: the box closes
};

class SdlPlatform final : public WindowCore {
   public:
    SdlPlatform(SDL_Window* window, std::vector<ScriptedEvent> events, std::FILE* record);
    ~SdlPlatform() override;

    bool getMessage(Message& m) override;
    bool peekMessage(Message& m) override;
    void keepAlive() override;
    void messageBox(std::string_view caption, std::string_view text) override;

   protected:
    void openWindow(std::string_view title, int width, int height) override;
    void showScreen(const FrameBuffer& screen) override;

   private:
    // events.cpp: native events into messages
    void pump(int timeoutMs);
    void translate(const SDL_Event& e);
    void translateWindowEvent(const SDL_WindowEvent& w);
    void translateMainInput(const SDL_Event& e);
    void requestClose();
    int waitTimeout() const;
    bool stepScriptedEvents();
    void record(const ScriptedEvent& e);
    [[noreturn]] void forceClose();

    // message_box.cpp: the box window
    bool ensureBoxWindow();
    void layoutBox(BoxView& view);
    void showBox(BoxView& view);
    void drawBox(const BoxView& view);
    void hideBox();
    void translateBoxEvent(const SDL_Event& e);
    void runBoxLoop(BoxView& view);

    SDL_Window* window_ = nullptr;   // the main window
    uint32_t windowId_ = 0;          // its SDL window id
    SDL_Window* box_ = nullptr;      // the message box window, created once and reused
    uint32_t boxId_ = 0;             // its SDL window id (0: not created)
    BoxView* activeBox_ = nullptr;   // the box on screen (innermost when nested)
    uint64_t lastPump_ = 0;          // when native events were last read
    uint64_t lastPeekPump_ = 0;      // coarse-clock time peekMessage last read them

    std::vector<ScriptedEvent> events_;  // --events, fed when the script is idle
    // A run driven by an events file has nobody to press OK: its message
    // boxes are written to stderr and confirmed at once, as headless.
    bool scripted_ = false;
    size_t nextEvent_ = 0;               // next scripted event
    std::optional<uint64_t> waitUntil_;  // end of a scripted wait in progress

    std::FILE* record_ = nullptr;    // --record output (null: not recording)
    uint64_t lastRecorded_ = 0;      // time of the last recorded event
};

// The module's entry points (makeSdlPlatform, loadImageFile and savePng
// forward here).
std::unique_ptr<Platform> openSdlPlatform(const PlatformConfig& cfg, std::string* error);
bool sdlLoadImageFile(const std::string& path, ImageData& out, std::string* error);
bool sdlSavePng(const std::string& path, const uint32_t* pixels, int width, int height);

// Windows virtual-key code for an SDL key (0 when it has none).
uint32_t virtualKeyFor(SDL_Keycode key);

// Makes X errors (which SDL can provoke while windows come and go) non-fatal.
void installX11ErrorHandler();

}  // namespace tessel
