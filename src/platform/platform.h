// The window-system layer. It stands in for the desktop services the
// interpreter is written against: one main window with a message queue, a
// window procedure called on dispatch, timers, a tick count, single-line edit
// controls and modal message boxes whose own loop keeps dispatching the main
// window's messages. Two backends implement it: SDL2 (a real window) and
// headless (tests, CI).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "pixels/pixel_buffer.h"

namespace tessel {

// Window messages, with the classic numeric values.
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;

// Window handles: the main window is kMainWindow; edit controls get their own
// positive handles from createEdit.
inline constexpr int32_t kMainWindow = 1;

struct Message {
    int32_t window = kMainWindow;  // target window
    uint32_t message = 0;          // WM_*
    uint32_t wParam = 0;           // key code, command id | notification << 16, timer id
    uint32_t lParam = 0;           // mouse position: x | y << 16
};

inline uint32_t makeLParam(int x, int y) {
    return (static_cast<uint32_t>(x) & 0xFFFFu) | (static_cast<uint32_t>(y) << 16);
}

// The main window's procedure. It may re-enter the executor, and it may throw
// (a run abort or the end of the program) through any platform call that
// dispatches messages; backends must stay consistent when that happens.
using WindowProc = std::function<void(const Message&)>;

class Platform {
   public:
    virtual ~Platform() = default;

    // --- main window -------------------------------------------------------
    // Creates the main window (client area width x height) and shows it.
    virtual void createMainWindow(std::string_view title, int width, int height,
                                  WindowProc proc) = 0;
    // Copies a whole frame to the window; the window keeps it for repaints.
    virtual void present(PixelView frame) = 0;

    // --- message queue -----------------------------------------------------
    // Blocks until a message is available. False ends the message loop (the
    // backend has nothing more to deliver, or a quit was posted).
    virtual bool getMessage(Message& msg) = 0;
    // Takes one waiting message without blocking.
    virtual bool peekMessage(Message& msg) = 0;
    // peekMessage for a running script, which peeks between almost every two
    // statements: false without a call while the backend knows nothing waits.
    bool peekWaiting(Message& msg) { return mayHaveMessage_ && peekMessage(msg); }
    // Dialog-key processing of the main loop: Enter and Escape in a focused
    // edit control post WM_COMMAND 1 and 2 to the main window, Tab moves the
    // focus between edit controls. True when the message was consumed.
    virtual bool isDialogMessage(const Message& msg) = 0;
    // Hands a message to its window: the main window's procedure, or the
    // edit control's own handling.
    virtual void dispatchMessage(const Message& msg) = 0;
    // Called often by a running script; reads native events into the queue
    // so the window never looks hung. Must cost next to nothing when called
    // at a high rate. May dispatch WM_CLOSE itself when a close request has
    // been ignored for too long.
    virtual void keepAlive() = 0;

    // --- message boxes -----------------------------------------------------
    // Modal box with one OK button; returns when it is confirmed. While it is
    // open the main window's messages keep being dispatched.
    virtual void messageBox(std::string_view caption, std::string_view text) = 0;

    // --- timers and time ---------------------------------------------------
    virtual void setTimer(uint32_t id, uint32_t intervalMs) = 0;
    virtual void killTimer(uint32_t id) = 0;
    // Milliseconds since an arbitrary start, wrapping at 2^32.
    virtual uint32_t tickCount() = 0;

    // --- edit controls (input boxes) ---------------------------------------
    // Creates a visible single-line edit control; returns its handle (> 0) or
    // 0 on failure.
    virtual int32_t createEdit(int x, int y, int width, int height, std::string_view text) = 0;
    virtual void setEditText(int32_t handle, std::string_view text) = 0;
    virtual std::string editText(int32_t handle) = 0;
    virtual void showEdit(int32_t handle, bool visible) = 0;
    virtual void focusEdit(int32_t handle) = 0;
    // Redraws an edit control over the presented frame.
    virtual void redrawEdit(int32_t handle) = 0;

    // --- output ------------------------------------------------------------
    // Saves what the window shows now (last presented frame plus visible edit
    // controls) as a PNG. False on failure.
    virtual bool saveScreenshot(const std::string& path) = 0;

   protected:
    // False only while peekMessage would certainly find nothing.
    bool mayHaveMessage_ = true;
};

}  // namespace tessel

namespace tessel {

struct PlatformConfig {
    std::string events;  // events file to feed to the run ("" for none)
    std::string record;  // where to record what a person did ("" for none)
    // Headless: keep each presented frame (with the input boxes over it).
    // Nothing shows them there but a screenshot; without one, leaving them
    // out saves a frame copy per SWAP. A window always keeps them.
    bool keepFrames = true;
};

// The headless backend. Fails (returns null, with a reason in `error`) only
// when the events file cannot be read.
std::unique_ptr<Platform> makeHeadlessPlatform(const PlatformConfig& cfg, std::string* error);

// The SDL2 window backend. Returns null, with a reason in `error`, when no
// window can be opened (no display).
std::unique_ptr<Platform> makeSdlPlatform(const PlatformConfig& cfg, std::string* error);

}  // namespace tessel
