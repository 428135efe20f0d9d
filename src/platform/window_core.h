// The window system the interpreter is written against, the same for every
// backend: one main window with a message queue and a window procedure
// called on dispatch, timers, a tick count, single-line edit controls with
// their focus and dialog keys, modal message boxes whose own loop keeps
// dispatching the main window's messages, screenshots, the scripted events
// of --events and the recording of --record. A NativeWindow underneath
// (native.h) opens the window, shows frames and reports native input.
//
// The core composes parts with one job each: the message queue
// (message_queue.h), the timers (timers.h), the edit controls and the screen
// composed from them (edit_controls.h, screen.h), the scripted input and
// the recording (scripted_input.h), and one clock (clock.h), real or virtual
// as the run's Drive asks. What is left here is how they meet: routing
// input, the loops that wait for messages, and the message boxes.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/heartbeat.h"
#include "font/font.h"
#include "pixels/pixel_buffer.h"
#include "platform/clock.h"
#include "platform/edit_controls.h"
#include "platform/message_queue.h"
#include "platform/native.h"
#include "platform/platform.h"
#include "platform/screen.h"
#include "platform/scripted_input.h"
#include "platform/timers.h"

namespace tessel {

struct BoxView;

class WindowCore final : private NativeInput, public Heartbeat {
   public:
    WindowCore(std::unique_ptr<NativeWindow> native, PlatformConfig cfg);
    ~WindowCore() override;
    WindowCore(const WindowCore&) = delete;
    WindowCore& operator=(const WindowCore&) = delete;

    // --- main window -------------------------------------------------------
    // Creates the main window (client area width x height) and shows it.
    void createMainWindow(std::string_view title, int width, int height, WindowProc proc);
    // Copies a whole frame to the window; the window keeps it for repaints.
    // Only rows in `changed` may differ from the frame presented before
    // (only they are copied).
    void present(PixelView frame, RowSpan changed = RowSpan{0, INT_MAX});

    // --- message queue -----------------------------------------------------
    // Blocks until a message is available. False ends the message loop (the
    // window was closed, or a headless run has no more events).
    bool getMessage(Message& msg);
    // Takes one waiting message without blocking.
    bool peekMessage(Message& msg);
    // False while nothing is queued and no look at the clock (a keep-alive
    // round, a frame, a wait, a timer set) has found a timer that may be
    // due or, in a window, native events due to be read; unattended, where
    // time moves only at those places, exactly while peekMessage would find
    // nothing. A running script's statement loop tests it at almost every
    // line end, and calls peekMessage only when it holds.
    bool mayHaveMessage() const { return mayHaveMessage_; }
    // The same test and peek in one call.
    bool peekWaiting(Message& msg) { return mayHaveMessage() && peekMessage(msg); }
    // Dialog-key processing of the main loop: Enter and Escape in a focused
    // edit control post WM_COMMAND 1 and 2 to the main window, Tab moves the
    // focus between edit controls. True when the message was consumed.
    bool isDialogMessage(const Message& msg);
    // Hands a message to its window: the main window's procedure, or the
    // edit control's own handling.
    void dispatchMessage(const Message& msg);
    // Queues a message for the main window or an edit control.
    void post(const Message& m);
    // While held, input (mouse, keys, commands) stays queued in arrival
    // order and only other messages are taken; moves merge into the newest.
    // An event block holds the input that arrives while it runs.
    void holdInput(bool hold) {
        queue_.hold(hold);
        if (!hold) queueChanged();  // what was held may be taken now
    }
    bool holdingInput() const { return queue_.holding(); }
    // Called every few thousand statements of a running script: reads native
    // events so the window never looks hung, and ends the program when a
    // close request has waited a second for a script that services nothing.
    void keepAlive();
    // Called inside long statements (decoding an image): a window reads its
    // events at most every 10 ms, and a close request that has waited a
    // second ends the program here. Headless, nothing: time there moves by
    // statements alone.
    void beat() override;

    // --- message boxes -----------------------------------------------------
    // Modal box with one OK button; returns when it is confirmed. While it is
    // open the main window's messages keep being dispatched. Without a
    // person to confirm it (headless, or an events file), the box is written
    // to stderr and passed over at once.
    void messageBox(std::string_view caption, std::string_view text);

    // --- timers and time ---------------------------------------------------
    void setTimer(uint32_t id, uint32_t intervalMs);
    void killTimer(uint32_t id);
    // The interval of a running timer (nothing: not running).
    std::optional<uint32_t> timerInterval(uint32_t id) const { return timers_.interval(id); }
    // Milliseconds since an arbitrary start, wrapping at 2^32.
    uint32_t tickCount() { return static_cast<uint32_t>(now()); }
    // --- recording (--record) ---------------------------------------------
    // Records what a person does from now on into `out` (the core owns it
    // from here), starting with the run's RAND seed. Nothing is recorded
    // without a window.
    void startRecording(std::FILE* out, std::string path, uint32_t seed);
    // Ends the recording (a failure to write its end counts in outputFailed).
    void finishRecording();
    // A recording or a scripted screenshot could not be written (each
    // failure reported on stderr once): the run's exit status is 1.
    bool outputFailed() const { return outputFailed_ || recorder_.failed(); }

    // --- edit controls (input boxes) ---------------------------------------
    // Creates a visible single-line edit control; returns its handle (> 0).
    int32_t createEdit(int x, int y, int width, int height, std::string_view text);
    void setEditText(int32_t handle, std::string_view text);
    std::string editText(int32_t handle);
    void showEdit(int32_t handle, bool visible);
    bool editVisible(int32_t handle);
    void focusEdit(int32_t handle);
    // Redraws an edit control over the presented frame.
    void redrawEdit(int32_t handle);
    // The window with the keyboard focus: kMainWindow or an edit control.
    int32_t focus() const { return edits_.focus(); }

    // --- output ------------------------------------------------------------
    // Saves what the window shows now (last presented frame plus visible edit
    // controls) as a PNG. False on failure.
    bool saveScreenshot(const std::string& path);
    // The same pixels (none before the window opens or when frames are not
    // kept), changes not yet shown included; reads no clock and shows
    // nothing, so a debugger's stop may look without changing the run.
    PixelView screenNow();

   private:
    friend struct BoxRestore;

    // NativeInput: what the backend reports (recorded for --record).
    void mouseMove(int x, int y) override;
    void mouseButton(int x, int y, bool right, bool down) override;
    void key(uint32_t vk, bool down) override;
    void typeText(std::string_view bytes) override;
    void closeRequest() override;
    void expose() override;
    void boxButton(int x, int y, bool down) override;
    void boxKey(uint32_t vk) override;
    void boxClose() override;

    // window_core.cpp: clock, queue, loops
    uint64_t now() { return clock_->now(); }
    bool takeMessage(Message& m) { return (queue_.empty() && timers_.empty()) ? false : takeWaiting(m); }
    bool takeWaiting(Message& m);
    bool takeBeforeStop(Message& m);
    // The timers' ticks (and in a window what a person does) come with time,
    // which the keep-alive rounds, the frames and the waits watch
    // (armPeekIfDue), so the queue alone says whether a peek may find
    // something.
    void queueChanged() { mayHaveMessage_ = !queue_.empty(); }
    void armPeekIfDue();
    bool waitForMessage(Message& m);
    void dropQueuedInput();
    void pump(int timeoutMs);
    int waitTimeout();
    std::optional<uint64_t> closePendingFor();
    [[noreturn]] void forceClose();
    const FrameBuffer& composeScreen() { return screen_.compose(edits_, editFont()); }
    void refreshScreen();
    void showScreen();
    void editChanged(int32_t handle);
    const Font* editFont();

    // core_input.cpp: input routing, edit controls, scripted events, --record
    void routeMove(int x, int y);
    void routeButton(int x, int y, bool right, bool down);
    void routeKey(uint32_t vk, bool down);
    void routeText(std::string_view bytes);
    void setFocus(int32_t handle);
    bool stepScriptedEvents();
    bool takeTickDuringWait(Message& m);
    void applyEvent(const ScriptedEvent& e);
    void record(const ScriptedEvent& e);
    // Ends the program when a termination signal has arrived: called only
    // where the core may throw (never from a destructor's pump).
    void stopIfSignalled() {
        if (stopSignal_ && *stopSignal_) throw SignalStop{static_cast<int>(*stopSignal_)};
    }

    // message_box.cpp: the box's pixels and its modal loop
    bool showBox(BoxView& view);
    void runBoxLoop(BoxView& view);
    void writeBoxToStderr(std::string_view caption, std::string_view text);

    std::unique_ptr<NativeWindow> native_;  // the backend
    bool live_ = false;               // a person may act at any moment (Drive::Live)
    std::unique_ptr<Clock> clock_;    // the run's one clock, real or virtual
    ScriptedEvents scripted_;         // --events
    Recorder recorder_;               // --record
    bool outputFailed_ = false;       // a scripted screenshot failed

    // The main window and what it shows.
    bool opened_ = false;             // the main window is open
    WindowProc proc_;                 // the main window's procedure
    Screen screen_;                   // the last frame with the edit controls over it
    bool keepFrames_ = true;          // frames are kept (and shown)
    // A window shows the screen at most once per kFrameMs; what changes in
    // between is shown at the next read of native events.
    bool showPending_ = false;
    uint64_t lastShown_ = 0;          // coarse time the screen was last shown
    EditControls edits_;              // the input boxes and the keyboard focus
    std::unique_ptr<Font> editFont_;  // the edit controls' and boxes' font (null: no text drawn)
    bool editFontOpened_ = false;     // editFont_ was asked for once

    // Messages, timers and the loops that wait for them.
    MessageQueue queue_;              // posted messages
    bool mayHaveMessage_ = true;      // see mayHaveMessage()
    TimerSet timers_;                 // the script's timers
    uint64_t lastPump_ = 0;           // now() when native events were last read
    uint64_t lastPeekPump_ = 0;       // coarse time a peek last read them
    std::optional<uint64_t> closeRequestedAt_;  // a WM_CLOSE is queued since then
    bool closed_ = false;             // WM_CLOSE was dispatched and returned
    const volatile std::sig_atomic_t* stopSignal_ = nullptr;  // see PlatformConfig
    std::function<void()> idle_;                              // see PlatformConfig
    static constexpr int kIdleCallMs = 50;
    std::optional<size_t> queuedBeforeStop_;  // messages still handed out after a termination signal

    BoxView* activeBox_ = nullptr;    // the box on screen (innermost when nested)
};

}  // namespace tessel
