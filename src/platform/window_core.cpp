// The window core's main window, frames, clock, timers, message queue and
// the loops that wait for messages.
#include "platform/window_core.h"

#include <algorithm>
#include <cstdlib>

#include "base/cp1252.h"
#include "codec/image_files.h"

namespace tessel {

WindowCore::WindowCore(std::unique_ptr<NativeWindow> native, PlatformConfig cfg)
    : native_(std::move(native)),
      interactive_(native_->interactive()),
      virtualTime_(native_->virtualTime()),
      scripted_(cfg.scripted || !cfg.events.empty()),
      events_(std::move(cfg.events)),
      stopSignal_(cfg.stopSignal), idle_(std::move(cfg.idle)) {
    // A window always shows its frames; headless keeps them only for a
    // screenshot, which a scripted one needs as much as one taken at the end.
    keepFrames_ = interactive_ || cfg.keepFrames ||
                  std::any_of(events_.begin(), events_.end(),
                              [](const ScriptedEvent& e) { return e.kind == EventKind::Screenshot; });
    queueChanged();
}

WindowCore::~WindowCore() {
    // The backend goes first: closing, it may still show the last frame
    // presented, which frame_ or screen_ holds.
    native_.reset();
    if (record_) std::fclose(record_);
}

// ---------------------------------------------------------------------------
// Window and frame

void WindowCore::createMainWindow(std::string_view title, int width, int height, WindowProc proc) {
    width_ = width;
    height_ = height;
    proc_ = std::move(proc);
    if (keepFrames_) frame_.assign(static_cast<size_t>(width) * height, 0xFFFFFFFFu);
    opened_ = native_->open(windows1252ToUtf8(title), width, height);
    if (!opened_) std::fputs("tessel: the main window could not be opened\n", stderr);
    refreshScreen();
}

void WindowCore::present(PixelView f) {
    if (!keepFrames_) return;
    if (f.pixels && f.width == width_ && f.height == height_) {
        frame_.assign(f.pixels, f.pixels + static_cast<size_t>(f.width) * f.height);
        screenValid_ = false;
    }
    refreshScreen();
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
    if (!interactive_ || clock_.coarseMs() - lastShown_ >= kFrameMs) showScreen();
}

void WindowCore::showScreen() {
    showPending_ = false;
    lastShown_ = clock_.coarseMs();
    const FrameBuffer& screen = composeScreen();
    if (!screen.empty()) native_->present(screen.data(), width_, height_);
}

const FrameBuffer& WindowCore::composeScreen() {
    if (visibleEdits_ == 0) {  // the common case: no copy
        screenValid_ = false;
        return frame_;
    }
    if (!screenValid_) {
        screen_ = frame_;
        drawnEdits_ = 0;
        screenValid_ = true;
    }
    // Controls made since the last composition lie on top of all others.
    const Font* font = editFont();
    for (; drawnEdits_ < edits_.size(); ++drawnEdits_) {
        int32_t handle = kMainWindow + 1 + static_cast<int32_t>(drawnEdits_);
        edits_[drawnEdits_].draw(screen_.data(), width_, height_, font, handle == focus_);
    }
    return screen_;
}

void WindowCore::editChanged(int32_t handle) {
    EditModel* e = edit(handle);
    if (!e || !keepFrames_ || !opened_) return;
    const Font* font = editFont();
    // The scroll position follows the caret at every change, shown or not.
    if (e->visible) e->keepCaretVisible(editCellWidth(font));
    size_t index = static_cast<size_t>(handle - kMainWindow - 1);
    if (screenValid_ && index < drawnEdits_) {
        recomposeRegion(e->bounds(font));
    }
    refreshScreen();
}

void WindowCore::recomposeRegion(PixelRect r) {
    // Only this region changes: the frame under it, then every drawn control
    // that reaches into it, oldest first, drawn into a buffer of the region's
    // size so nothing outside it is touched.
    r.x0 = std::max(r.x0, 0);
    r.y0 = std::max(r.y0, 0);
    r.x1 = std::min(r.x1, width_);
    r.y1 = std::min(r.y1, height_);
    if (r.empty()) return;
    const int w = r.x1 - r.x0, h = r.y1 - r.y0;
    scratch_.resize(static_cast<size_t>(w) * h);
    for (int row = 0; row < h; ++row) {
        const uint32_t* from = frame_.data() + static_cast<size_t>(r.y0 + row) * width_ + r.x0;
        std::copy(from, from + w, scratch_.data() + static_cast<size_t>(row) * w);
    }
    const Font* font = editFont();
    for (size_t i = 0; i < drawnEdits_; ++i) {
        if (!edits_[i].bounds(font).intersects(r)) continue;
        int32_t handle = kMainWindow + 1 + static_cast<int32_t>(i);
        edits_[i].draw(scratch_.data(), w, h, font, handle == focus_, r.x0, r.y0);
    }
    for (int row = 0; row < h; ++row) {
        const uint32_t* from = scratch_.data() + static_cast<size_t>(row) * w;
        std::copy(from, from + w, screen_.data() + static_cast<size_t>(r.y0 + row) * width_ + r.x0);
    }
}

bool WindowCore::saveScreenshot(const std::string& path) {
    std::string error = "the window was never opened";
    if (width_ > 0 && height_ > 0 && keepFrames_) {
        const FrameBuffer& screen = composeScreen();
        if (writePngFile(path, screen.data(), width_, height_, &error)) return true;
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

uint64_t WindowCore::now() {
    // Without a window time is virtual: it starts at 0 and moves only by
    // scripted waits and by the run's own work (keepAlive), so a run gives
    // the same ticks, GETTICK values and RAND seed on any machine under any
    // load.
    if (virtualTime_) return workMs_ + clockOffset_;
    uint64_t n = native_->clockMs() + clockOffset_;
    // A coarse reading plus this is never behind now() until the next call
    // (the coarse clock lags by at most lagMs; unsigned sums wrap alike).
    coarseToNow_ = n - clock_.coarseMs() + clock_.lagMs();
    return n;
}

bool WindowCore::timerMayBeDue() const {
    std::optional<uint64_t> next = timers_.nextDeadline();
    if (virtualTime_) return next && workMs_ + clockOffset_ >= *next;
    // Only when the coarse estimate comes near the deadline is the exact
    // clock worth reading.
    return next && clock_.coarseMs() + coarseToNow_ >= *next;
}

void WindowCore::advanceClockTo(uint64_t t) {
    uint64_t n = now();
    if (t > n) clockOffset_ += t - n;
    now();
}

void WindowCore::setTimer(uint32_t id, uint32_t intervalMs) {
    timers_.set(id, intervalMs, now());
    queueChanged();
}

void WindowCore::killTimer(uint32_t id) {
    timers_.kill(id);
    queueChanged();
}

// ---------------------------------------------------------------------------
// Message queue

void WindowCore::post(const Message& m) {
    if (m.message == WM_CLOSE && !closeRequestedAt_) closeRequestedAt_ = now();
    queue_.push_back(m);
    mayHaveMessage_ = true;
}

namespace {

// Keys and the mouse.
bool isKeyOrMouse(const Message& m) {
    return (m.message >= WM_KEYDOWN && m.message <= WM_CHAR) ||
           (m.message >= WM_MOUSEMOVE && m.message <= WM_RBUTTONUP);
}

// Input a person gives: held while an event block runs. Commands count too
// (a button's or Enter's), but they are never dropped.
bool isInput(const Message& m) { return isKeyOrMouse(m) || m.message == WM_COMMAND; }

}  // namespace

bool WindowCore::takeWaiting(Message& m) {
    auto next = holdInput_ ? std::find_if_not(queue_.begin(), queue_.end(), isInput) : queue_.begin();
    if (next != queue_.end()) {
        m = *next;
        queue_.erase(next);
        queueChanged();
        if (m.message == WM_CLOSE) closeRequestedAt_.reset();
        return true;
    }
    // Timer ticks come only when nothing else waits, as on the desktop. Peeks
    // in a running script's loop come here for almost every line: without a
    // timer near its deadline they read no exact clock.
    if (!timerMayBeDue()) return false;
    if (std::optional<uint32_t> id = timers_.takeDue(now())) {
        m = Message{kMainWindow, WM_TIMER, *id, 0};
        return true;
    }
    return false;
}

void WindowCore::dropQueuedInput() {
    std::erase_if(queue_, isKeyOrMouse);
    queueChanged();
}

std::optional<uint64_t> WindowCore::closePendingFor() {
    if (!closeRequestedAt_) return std::nullopt;
    uint64_t n = now();
    return n > *closeRequestedAt_ ? n - *closeRequestedAt_ : 0;
}

bool WindowCore::isDialogMessage(const Message& m) {
    if (m.message != WM_KEYDOWN || !edit(m.window)) return false;
    switch (m.wParam) {
        case VK_RETURN: post(Message{kMainWindow, WM_COMMAND, 1, 0}); return true;
        case VK_ESCAPE: post(Message{kMainWindow, WM_COMMAND, 2, 0}); return true;
        case VK_TAB: focusNextEdit(); return true;
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
    EditModel* e = edit(m.window);
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
    if (waitUntil_) until = std::min(until, *waitUntil_);
    if (nextEvent_ < events_.size() && !waitUntil_) until = n;
    return until > n ? static_cast<int>(until - n) : 0;
}

bool WindowCore::getMessage(Message& m) {
    for (;;) {
        if (closed_) return false;
        pump(0);
        if (takeBeforeStop(m)) return true;
        if (takeMessage(m)) return true;
        if (!interactive_ && waitUntil_) {
            // Headless waits let the time pass at once, tick by tick.
            if (takeTickDuringWait(m)) return true;
            continue;
        }
        if (stepScriptedEvents()) continue;
        if (!interactive_) return false;  // as if the window was closed
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
    if (!queuedBeforeStop_) queuedBeforeStop_ = interactive_ ? queue_.size() : 0;
    if (*queuedBeforeStop_ == 0 || queue_.empty()) stopIfSignalled();
    --*queuedBeforeStop_;
    return takeWaiting(m);
}

bool WindowCore::peekMessage(Message& m) {
    // Scripts may peek in a tight loop: read native events, and look for a
    // termination signal, only now and then (keepAlive looks too).
    if (interactive_) {
        uint64_t c = clock_.coarseMs();
        if (c - lastPeekPump_ >= 2) {
            lastPeekPump_ = c;
            stopIfSignalled();
            pump(0);
        }
    }
    return takeMessage(m);
}

void WindowCore::keepAlive() {
    // Called every few thousand statements: headless, the run's
    // work moves the virtual clock one millisecond, so a loop that waits on
    // GETTICK ends and timers fall due while the main program runs.
    if (virtualTime_) {
        ++workMs_;
        native_->pollEvents(*this, 0);
        stopIfSignalled();
        return;
    }
    beat();
}

void WindowCore::beat() {
    stopIfSignalled();
    if (virtualTime_) return;
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
