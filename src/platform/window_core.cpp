// The window core's main window, frames, clock, timers, message queue and
// the loops that wait for messages.
#include "platform/window_core.h"

#include <algorithm>
#include <cstdlib>

#include "base/cp1252.h"
#include "codec/image_files.h"

namespace tessel {

namespace {

std::unique_ptr<Clock> clockFor(PlatformConfig& cfg) {
    if (cfg.clock) return std::move(cfg.clock);
    if (cfg.drive == Drive::Live) return std::make_unique<RealClock>();
    return std::make_unique<VirtualClock>();
}

}  // namespace

WindowCore::WindowCore(std::unique_ptr<NativeWindow> native, PlatformConfig cfg)
    : native_(std::move(native)),
      live_(cfg.drive == Drive::Live),
      clock_(clockFor(cfg)),
      scripted_(std::move(cfg.events), cfg.scripted),
      stopSignal_(cfg.stopSignal), idle_(std::move(cfg.idle)) {
    // A window always shows its frames; unattended, they are kept only for a
    // screenshot, which a scripted one needs as much as one taken at the end.
    keepFrames_ = live_ || cfg.keepFrames || scripted_.hasScreenshot();
    queueChanged();
}

WindowCore::~WindowCore() {
    // The backend goes first: closing, it may still show the last frame
    // presented, which the screen part holds.
    native_.reset();
}

// ---------------------------------------------------------------------------
// Window and frame

void WindowCore::createMainWindow(std::string_view title, int width, int height, WindowProc proc) {
    proc_ = std::move(proc);
    screen_.open(width, height, keepFrames_);
    opened_ = native_->open(windows1252ToUtf8(title), width, height);
    if (!opened_) std::fputs("tessel: the main window could not be opened\n", stderr);
    refreshScreen();
}

void WindowCore::present(PixelView f, RowSpan changed) {
    if (!keepFrames_) return;
    screen_.setFrame(f, changed);
    refreshScreen();
    // An animation's frames come often even when its statements are slow.
    armPeekIfDue();
}

namespace {

// A window shows a new screen at most this often; scripts that draw a
// thousand input boxes or present at every PSET would otherwise spend their
// time copying frames to the window system.
constexpr uint64_t kFrameMs = 4;

}  // namespace

void WindowCore::refreshScreen() {
    if (!keepFrames_ || !opened_) return;
    showPending_ = true;
    if (!live_ || clock_->coarse() - lastShown_ >= kFrameMs) showScreen();
}

void WindowCore::showScreen() {
    showPending_ = false;
    lastShown_ = clock_->coarse();
    const FrameBuffer& screen = composeScreen();
    if (!screen.empty()) native_->present(PixelView{screen.data(), screen_.width(), screen_.height()});
}

void WindowCore::editChanged(int32_t handle) {
    EditModel* e = edits_.find(handle);
    if (!e || !keepFrames_ || !opened_) return;
    const Font* font = editFont();
    // The scroll position follows the caret at every change, shown or not.
    if (e->visible) e->keepCaretVisible(editCellWidth(font));
    screen_.changed(edits_, EditControls::indexOf(handle), font);
    refreshScreen();
}

PixelView WindowCore::screenNow() {
    if (!screen_.opened() || !keepFrames_) return {};
    const FrameBuffer& screen = composeScreen();
    return screen.empty() ? PixelView{} : PixelView{screen.data(), screen_.width(), screen_.height()};
}

bool WindowCore::saveScreenshot(const std::string& path) {
    std::string error = "the window was never opened";
    if (screen_.opened() && keepFrames_) {
        const FrameBuffer& screen = composeScreen();
        if (writePngFile(path, screen.data(), screen_.width(), screen_.height(), &error)) return true;
    }
    std::string line = "tessel: cannot save screenshot " + bytesToTerminal(path) + ": " + error + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return false;
}

const Font* WindowCore::editFont() {
    if (!editFontOpened_) {
        editFontOpened_ = true;
        editFont_ = Font::open(kDefaultFontFace, kDefaultFontHeight, kDefaultFontWidth, 400);
    }
    return editFont_.get();
}

// ---------------------------------------------------------------------------
// Clock and timers

void WindowCore::setTimer(uint32_t id, uint32_t intervalMs) {
    timers_.set(id, intervalMs, now());
    armPeekIfDue();
}

void WindowCore::killTimer(uint32_t id) {
    timers_.kill(id);
    queueChanged();
}

// ---------------------------------------------------------------------------
// Message queue

void WindowCore::post(const Message& m) {
    if (m.message == WM_CLOSE && !closeRequestedAt_) closeRequestedAt_ = now();
    queue_.post(m);
    mayHaveMessage_ = true;
}

bool WindowCore::takeWaiting(Message& m) {
    if (queue_.take(m)) {
        queueChanged();
        if (m.message == WM_CLOSE) closeRequestedAt_.reset();
        return true;
    }
    // Timer ticks come only when nothing else waits, as on the desktop. Peeks
    // in a running script's loop come here for almost every line: without a
    // timer near its deadline they read no exact clock.
    std::optional<uint64_t> next = timers_.nextDeadline();
    if (!next || !clock_->mayHaveReached(*next)) return false;
    if (std::optional<uint32_t> id = timers_.takeDue(now())) {
        m = Message{kMainWindow, WM_TIMER, *id, 0};
        return true;
    }
    return false;
}

void WindowCore::dropQueuedInput() {
    queue_.dropKeysAndMouse();
    queueChanged();
}

std::optional<uint64_t> WindowCore::closePendingFor() {
    if (!closeRequestedAt_) return std::nullopt;
    uint64_t n = now();
    return n > *closeRequestedAt_ ? n - *closeRequestedAt_ : 0;
}

bool WindowCore::isDialogMessage(const Message& m) {
    if (m.message != WM_KEYDOWN || !edits_.find(m.window)) return false;
    switch (m.wParam) {
        case VK_RETURN: post(Message{kMainWindow, WM_COMMAND, 1, 0}); return true;
        case VK_ESCAPE: post(Message{kMainWindow, WM_COMMAND, 2, 0}); return true;
        case VK_TAB:
            if (int32_t next = edits_.nextVisible()) setFocus(next);
            return true;
        default: return false;
    }
}

void WindowCore::dispatchMessage(const Message& m) {
    if (m.window == kMainWindow) {
        if (proc_) proc_(m);
        // A procedure that returns from WM_CLOSE has let the window go.
        if (m.message == WM_CLOSE) closed_ = true;
        return;
    }
    EditModel* e = edits_.find(m.window);
    if (!e) return;
    if (m.message == WM_KEYDOWN && e->handleKey(m.wParam)) redrawEdit(m.window);
    if (m.message == WM_CHAR) {
        char c = static_cast<char>(m.wParam & 0xFF);
        e->insert(std::string_view(&c, 1));
        redrawEdit(m.window);
    }
}

// ---------------------------------------------------------------------------
// Waiting for messages

void WindowCore::pump(int timeoutMs) {
    if (showPending_) showScreen();
    native_->pollEvents(*this, timeoutMs);
    lastPump_ = now();
}

int WindowCore::waitTimeout() {
    // Wake up for the next timer tick or the end of a scripted wait; never
    // sleep so long that a missed wake-up would matter.
    uint64_t n = now();
    uint64_t until = n + 250;
    if (std::optional<uint64_t> d = timers_.nextDeadline()) until = std::min(until, *d);
    if (std::optional<uint64_t> end = scripted_.waitEnd())
        until = std::min(until, *end);
    else if (scripted_.pending())
        until = n;
    return until > n ? static_cast<int>(until - n) : 0;
}

bool WindowCore::getMessage(Message& m) {
    const bool got = waitForMessage(m);
    // The wait may have moved the clock past a timer's deadline: the
    // statements the message sets running look at once.
    armPeekIfDue();
    return got;
}

bool WindowCore::waitForMessage(Message& m) {
    for (;;) {
        if (closed_) return false;
        pump(0);
        if (takeBeforeStop(m)) return true;
        if (takeMessage(m)) return true;
        if (!live_ && scripted_.waitEnd()) {
            // Unattended waits let the time pass at once, tick by tick.
            if (takeTickDuringWait(m)) return true;
            continue;
        }
        if (stepScriptedEvents()) continue;
        if (!live_) return false;  // as if the window was closed
        if (idle_) {
            idle_();
            pump(std::min(waitTimeout(), kIdleCallMs));
        } else {
            pump(waitTimeout());
        }
    }
}

// A termination signal ends the program. A window first hands out the
// messages queued when the signal was noticed (the input a person gave
// before it), as a close request queued after them would; a headless run
// stops at once.
bool WindowCore::takeBeforeStop(Message& m) {
    if (!stopSignal_ || !*stopSignal_) return false;
    if (!queuedBeforeStop_) queuedBeforeStop_ = live_ ? queue_.size() : 0;
    if (*queuedBeforeStop_ == 0 || queue_.empty()) stopIfSignalled();
    --*queuedBeforeStop_;
    return takeWaiting(m);
}

bool WindowCore::peekMessage(Message& m) {
    // Scripts may peek in a tight loop: read native events, and look for a
    // termination signal, only now and then (keepAlive looks too).
    if (live_) {
        uint64_t c = clock_->coarse();
        if (c - lastPeekPump_ >= 2) {
            lastPeekPump_ = c;
            stopIfSignalled();
            pump(0);
        }
    }
    if (takeMessage(m)) return true;
    // Nothing to take (what waits, if anything, is input held while an event
    // block runs) until time brings something (armPeekIfDue) or the hold
    // ends: until then the statement loop goes on without coming here.
    mayHaveMessage_ = false;
    return false;
}

void WindowCore::armPeekIfDue() {
    // A script peeks at lines that may run millions of times a second;
    // reading a clock at each (in the page, a call out to JavaScript) made
    // a window's such lines several times slower, and a running timer
    // made every peek look at it. So the clock is read here, every few
    // thousand statements, at each frame, after each wait and when a timer
    // is set, and the next peek looks when a timer may have fallen due or
    // (in a window) native events are due to be read. Unattended, time
    // moves only at those places, so a peek finds a tick exactly when it
    // did before.
    if (mayHaveMessage_) return;
    std::optional<uint64_t> next = timers_.nextDeadline();
    if ((live_ && clock_->coarse() - lastPeekPump_ >= 2) || (next && clock_->mayHaveReached(*next)))
        mayHaveMessage_ = true;
}

void WindowCore::keepAlive() {
    // Called every few thousand statements: on virtual time, the run's
    // work moves the clock one millisecond, so a loop that waits on GETTICK
    // ends and timers fall due while the main program runs.
    if (clock_->isVirtual()) {
        clock_->work();
        native_->pollEvents(*this, 0);
        stopIfSignalled();
    } else {
        beat();
    }
    armPeekIfDue();
}

void WindowCore::beat() {
    stopIfSignalled();
    if (clock_->isVirtual()) return;
    // One clock read, and native events at most every 10 ms.
    if (now() - lastPump_ < 10) return;
    pump(0);
    std::optional<uint64_t> pending = closePendingFor();
    if (pending && *pending >= 1000) forceClose();
}

void WindowCore::forceClose() {
    // The script has not serviced the close request: handle it here, which
    // ends the program; should the procedure return, end the process anyway.
    dispatchMessage(Message{kMainWindow, WM_CLOSE, 0, 0});
    std::fflush(nullptr);
    std::exit(0);
}

}  // namespace tessel
