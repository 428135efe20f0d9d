// The window system the interpreter is written against, the same for every
// backend: one main window with a message queue and a window procedure
// called on dispatch, timers, a tick count, single-line edit controls with
// their focus and dialog keys, modal message boxes whose own loop keeps
// dispatching the main window's messages, screenshots, the scripted events
// of --events and the recording of --record. A NativeWindow underneath
// (native.h) opens the window, shows frames and reports native input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/heartbeat.h"
#include "font/font.h"
#include "pixels/pixel_buffer.h"
#include "platform/clock.h"
#include "platform/edit_model.h"
#include "platform/events_file.h"
#include "platform/native.h"
#include "platform/platform.h"
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
    void present(PixelView frame);

    // --- message queue -----------------------------------------------------
    // Blocks until a message is available. False ends the message loop (the
    // window was closed, or a headless run has no more events).
    bool getMessage(Message& msg);
    // Takes one waiting message without blocking.
    bool peekMessage(Message& msg);
    // False only while peekMessage would certainly find nothing. A running
    // script's statement loop tests it at almost every line end, and calls
    // peekMessage only when it holds.
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
    void holdInput(bool hold) { holdInput_ = hold; }
    bool holdingInput() const { return holdInput_; }
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
    bool outputFailed() const { return outputFailed_; }

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
    int32_t focus() const { return focus_; }

    // --- output ------------------------------------------------------------
    // Saves what the window shows now (last presented frame plus visible edit
    // controls) as a PNG. False on failure.
    bool saveScreenshot(const std::string& path);

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
    uint64_t now();
    bool timerMayBeDue() const;
    void advanceClockTo(uint64_t t);
    bool takeMessage(Message& m) { return (queue_.empty() && timers_.empty()) ? false : takeWaiting(m); }
    bool takeWaiting(Message& m);
    bool takeBeforeStop(Message& m);
    void queueChanged() { mayHaveMessage_ = interactive_ || !queue_.empty() || !timers_.empty(); }
    void dropQueuedInput();
    void pump(int timeoutMs);
    int waitTimeout();
    std::optional<uint64_t> closePendingFor();
    [[noreturn]] void forceClose();
    const FrameBuffer& composeScreen();
    void refreshScreen();
    void showScreen();
    void editChanged(int32_t handle);
    void recomposeRegion(PixelRect r);
    const Font* editFont();

    // core_input.cpp: input routing, edit controls, scripted events, --record
    void routeMove(int x, int y);
    void routeButton(int x, int y, bool right, bool down);
    void routeKey(uint32_t vk, bool down);
    void routeText(std::string_view bytes);
    EditModel* edit(int32_t handle);
    int32_t editAt(int x, int y) const;
    void setFocus(int32_t handle);
    void focusNextEdit();
    bool stepScriptedEvents();
    bool takeTickDuringWait(Message& m);
    void applyEvent(const ScriptedEvent& e);
    void record(const ScriptedEvent& e);
    void writeRecord(const std::string& lines);
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
    bool interactive_ = false;        // native_->interactive(), asked once
    bool virtualTime_ = false;        // native_->virtualTime(), asked once
    bool opened_ = false;             // the main window is open
    WindowProc proc_;                 // the main window's procedure
    int width_ = 0, height_ = 0;      // client area
    FrameBuffer frame_;               // last presented frame: what a repaint shows
    FrameBuffer screen_;              // frame_ with the edit controls over it
    bool keepFrames_ = true;          // frame_ and screen_ are kept up to date
    // screen_ is built up as controls come and change: valid, it holds frame_
    // with the first drawnEdits_ controls over it; a new frame invalidates it.
    bool screenValid_ = false;
    size_t drawnEdits_ = 0;
    size_t visibleEdits_ = 0;         // controls shown: none, and frame_ is the screen
    FrameBuffer scratch_;             // a region of the screen being composed again
    // A window shows the screen at most once per kFrameMs; what changes in
    // between is shown at the next read of native events.
    bool showPending_ = false;
    uint64_t lastShown_ = 0;          // coarse time the screen was last shown

    std::deque<Message> queue_;       // posted messages, oldest first
    bool mayHaveMessage_ = true;      // false only while peekMessage would certainly find nothing
    TimerSet timers_;                 // the script's timers
    MonotonicClock clock_;            // coarse readings for the per-line timer test
    uint64_t clockOffset_ = 0;        // time added by scripted waits
    uint64_t workMs_ = 0;             // virtual time: ms the run's work has taken
    uint64_t coarseToNow_ = 0;        // added to a coarse reading: never behind now()
    uint64_t lastPump_ = 0;           // now() when native events were last read
    uint64_t lastPeekPump_ = 0;       // coarse time a peek last read them
    std::optional<uint64_t> closeRequestedAt_;  // a WM_CLOSE is queued since then
    bool closed_ = false;             // WM_CLOSE was dispatched and returned
    bool holdInput_ = false;          // input is held for the end of an event block

    std::vector<EditModel> edits_;    // handle = kMainWindow + 1 + index
    int32_t focus_ = kMainWindow;     // window that receives keys
    int32_t pressedEdit_ = 0;         // edit control a button went down on (gets the release)
    std::unique_ptr<Font> editFont_;  // the edit controls' and boxes' font (null: no text drawn)
    bool editFontOpened_ = false;     // editFont_ was asked for once

    bool scripted_ = false;              // an events file drives the run: boxes are confirmed at once
    std::vector<ScriptedEvent> events_;  // --events, played while the script is idle
    size_t nextEvent_ = 0;               // next scripted event
    std::optional<uint64_t> waitUntil_;  // end of the scripted wait in progress
    std::FILE* record_ = nullptr;        // --record output (null: not recording)
    std::string recordPath_;             // its name, for messages
    uint64_t lastRecorded_ = 0;          // time of the last recorded event
    int64_t recordedBytes_ = 0;          // written so far: at most kMaxEventsBytes
    bool outputFailed_ = false;          // a recording or scripted screenshot failed
    const volatile std::sig_atomic_t* stopSignal_ = nullptr;  // see PlatformConfig
    std::function<void()> idle_;                              // see PlatformConfig
    static constexpr int kIdleCallMs = 50;
    std::optional<size_t> queuedBeforeStop_;  // messages still handed out after a termination signal

    BoxView* activeBox_ = nullptr;       // the box on screen (innermost when nested)
};

}  // namespace tessel
