// Window messages as the interpreter and the window core exchange them,
// and how the core is configured. The core itself is window_core.h.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/events_file.h"

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
// (a run abort or the end of the program) through any call of the window
// core that dispatches messages; the core stays consistent when it does.
using WindowProc = std::function<void(const Message&)>;

// Thrown out of the window core's loops (waiting for messages, a box's
// modal loop, the keep-alive of a running script) once a termination signal
// has arrived: the program then ends as after a close, with its logs and
// screenshot written, and exit status 128 + signal.
struct SignalStop {
    int signal;
};

// How a run is driven, whichever backend shows it.
enum class Drive {
    // A person may act at any moment: native events are read while a script
    // runs, frames are shown at the pace of the eye, a message box waits for
    // its OK, and time is the system's.
    Live,
    // Nothing acts but the events file (none: nothing at all): no native
    // input is read, every frame is shown as it comes, message boxes go to
    // stderr, the run ends when the events do, and time is virtual.
    Unattended,
};

// How the window core runs.
struct PlatformConfig {
    Drive drive = Drive::Unattended;
    // The clock (null: the drive's own, real when Live, virtual otherwise).
    std::unique_ptr<Clock> clock;
    std::vector<ScriptedEvent> events;  // the events file, parsed (empty: none)
    // Set to the number of a termination signal by the process's handler
    // (null: signals are not watched).
    const volatile std::sig_atomic_t* stopSignal = nullptr;
    // An events file drives the run, even one with no events (or only a
    // seed): nobody is there to confirm a box.
    bool scripted = false;
    // Headless: keep each presented frame (with the input boxes over it).
    // Nothing shows them there but a screenshot; without one, leaving them
    // out saves a frame copy per SWAP. A window always keeps them.
    bool keepFrames = true;
    // Called while a window waits for input, at least every 50 ms (null:
    // nothing): an attached debugger reads its requests there.
    std::function<void()> idle;
};

}  // namespace tessel
