// What both backends share: the message queue, timers, the edit controls
// with their focus and dialog keys, the kept frame, screenshots, and the
// scripted events of --events. A backend adds only how native input arrives,
// how a frame reaches the screen, and how message boxes are shown.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pixels/font.h"
#include "platform/edit_model.h"
#include "platform/events_file.h"
#include "pixels/pixel_buffer.h"
#include "platform/platform.h"
#include "platform/timers.h"

namespace tessel {

class WindowCore : public Platform {
   public:
    void createMainWindow(std::string_view title, int width, int height, WindowProc proc) override;
    void present(PixelView frame) override;

    bool isDialogMessage(const Message& msg) override;
    void dispatchMessage(const Message& msg) override;

    void setTimer(uint32_t id, uint32_t intervalMs) override;
    void killTimer(uint32_t id) override;
    uint32_t tickCount() override { return static_cast<uint32_t>(now()); }

    int32_t createEdit(int x, int y, int width, int height, std::string_view text) override;
    void setEditText(int32_t handle, std::string_view text) override;
    std::string editText(int32_t handle) override;
    void showEdit(int32_t handle, bool visible) override;
    void focusEdit(int32_t handle) override;
    void redrawEdit(int32_t handle) override;

    bool saveScreenshot(const std::string& path) override;

    // The window with the keyboard focus: kMainWindow or an edit control.
    int32_t focus() const { return focus_; }

   protected:
    // Native side of createMainWindow: open the window (headless: nothing).
    virtual void openWindow(std::string_view title, int width, int height) = 0;
    // Native side of showing the screen (frame plus edit controls); headless: nothing.
    virtual void showScreen(const FrameBuffer& screen) = 0;

    // Milliseconds on the monotonic clock, plus the time scripted waits let pass.
    uint64_t now() const;
    // False when no timer can have fallen due yet (cheap: no exact clock read).
    bool timerMayBeDue() const;
    // Moves the clock forward to `t` (scripted waits); never backwards.
    void advanceClockTo(uint64_t t);

    // Takes the next queued message, or else a timer tick that fell due. A
    // running script peeks for almost every line: with nothing queued and no
    // timer set this answers without a call.
    bool takeMessage(Message& m) { return (queue_.empty() && timers_.empty()) ? false : takeWaiting(m); }
    // Brings mayHaveMessage_ up to date after the queue or the timers changed.
    void queueChanged() { mayHaveMessage_ = alwaysPeek_ || !queue_.empty() || !timers_.empty(); }
    void post(const Message& m);
    // Drops queued mouse and key input (after a modal loop).
    void dropQueuedInput();

    // Person's input, routed to the main window or an edit control.
    void mouseMove(int x, int y);
    void mouseButton(int x, int y, bool right, bool down);
    void key(uint32_t vk, bool down);
    void typeText(std::string_view bytes);
    // One scripted event other than wait (which the backend's loop handles).
    void applyEvent(const ScriptedEvent& e);

    // The frame with the visible edit controls drawn over it.
    const FrameBuffer& composeScreen();
    void refreshScreen() {
        if (keepFrames_) showScreen(composeScreen());
    }

    // How long a close request has waited for the script, in ms (none: not pending).
    std::optional<uint64_t> closePendingFor() const;
    // True once the window procedure has handled WM_CLOSE and returned.
    bool closed() const { return closed_; }

    const Font* editFont();

    WindowProc proc_;                 // the main window's procedure
    int width_ = 0, height_ = 0;      // client area
    FrameBuffer frame_;                 // last presented frame: what a repaint shows
    FrameBuffer screen_;                // frame_ with the edit controls over it
    TimerSet timers_;                 // the script's timers
    bool keepFrames_ = true;          // frame_ and screen_ are kept up to date
    bool alwaysPeek_ = false;         // each peek reads native events: never skip one
    // Headless time is virtual: it starts at 0 and moves only by scripted
    // waits and by the run's own work (advanceWorkClock), so a run gives the
    // same ticks, GETTICK values and RAND seed on any machine under any load.
    bool virtualTime_ = false;
    uint64_t workMs_ = 0;             // virtual milliseconds the run's work has taken
    void advanceWorkClock(uint64_t ms) { workMs_ += ms; }

   private:
    // takeMessage when something is queued or a timer is set.
    bool takeWaiting(Message& m);
    EditModel* edit(int32_t handle);
    int32_t editAt(int x, int y) const;
    void setFocus(int32_t handle);
    void focusNextEdit();

    std::deque<Message> queue_;         // posted messages, oldest first
    std::vector<EditModel> edits_;      // handle = kMainWindow + 1 + index
    int32_t focus_ = kMainWindow;       // window that receives keys
    int32_t pressedEdit_ = 0;           // edit control a button went down on (gets the release)
    uint64_t clockOffset_ = 0;          // time added by scripted waits
    std::optional<uint64_t> closeRequestedAt_;  // a WM_CLOSE is queued since then
    bool closed_ = false;               // WM_CLOSE was dispatched and returned
    std::unique_ptr<Font> editFont_;    // the edit controls' font (null: no text drawn)
    bool editFontOpened_ = false;       // editFont_ was asked for once
};

}  // namespace tessel
