#include "platform/window_core.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>

#include "platform/sdl_module.h"

namespace tessel {

// ---------------------------------------------------------------------------
// Window and frame

void WindowCore::createMainWindow(std::string_view title, int width, int height, WindowProc proc) {
    width_ = width;
    height_ = height;
    proc_ = std::move(proc);
    if (keepFrames_) frame_.assign(static_cast<size_t>(width) * height, 0xFFFFFFFFu);
    queueChanged();
    openWindow(title, width, height);
}

void WindowCore::present(PixelView f) {
    if (!keepFrames_) return;
    if (f.pixels && f.width == width_ && f.height == height_)
        frame_.assign(f.pixels, f.pixels + static_cast<size_t>(f.width) * f.height);
    refreshScreen();
}

const FrameBuffer& WindowCore::composeScreen() {
    bool anyVisible = std::any_of(edits_.begin(), edits_.end(),
                                  [](const EditModel& e) { return e.visible; });
    if (!anyVisible) return frame_;  // the common case: no copy
    screen_ = frame_;
    const Font* font = editFont();
    for (size_t i = 0; i < edits_.size(); ++i) {
        int32_t handle = kMainWindow + 1 + static_cast<int32_t>(i);
        edits_[i].draw(screen_.data(), width_, height_, font, handle == focus_);
    }
    return screen_;
}

bool WindowCore::saveScreenshot(const std::string& path) {
    if (width_ <= 0 || height_ <= 0 || !keepFrames_) return false;
    const FrameBuffer& screen = composeScreen();
    return savePng(path, screen.data(), width_, height_);
}

const Font* WindowCore::editFont() {
    if (!editFontOpened_) {
        editFontOpened_ = true;
        editFont_ = Font::open("Consolas", 16, 8, 400);
    }
    return editFont_.get();
}

// ---------------------------------------------------------------------------
// Clock and timers

uint64_t WindowCore::now() const {
    if (virtualTime_) return workMs_ + clockOffset_;
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint64_t>(ms) + clockOffset_;
}

namespace {

// Milliseconds on the coarse monotonic clock (the same clock as
// steady_clock, read at tick resolution for a few nanoseconds), and how far
// it may lag behind the exact reading.
struct CoarseClock {
    clockid_t id = CLOCK_MONOTONIC;
    uint64_t lagMs = 0;

    CoarseClock() {
        timespec res{};
        if (clock_getres(CLOCK_MONOTONIC_COARSE, &res) == 0) {
            id = CLOCK_MONOTONIC_COARSE;
            lagMs = static_cast<uint64_t>(res.tv_sec) * 1000u +
                    static_cast<uint64_t>(res.tv_nsec) / 1000000u + 1u;
        }
    }

    uint64_t read() const {
        timespec t{};
        clock_gettime(id, &t);
        return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
    }
};

const CoarseClock& coarseClock() {
    static const CoarseClock clock;
    return clock;
}

}  // namespace

bool WindowCore::timerMayBeDue() const {
    std::optional<uint64_t> next = timers_.nextDeadline();
    if (!next) return false;
    if (virtualTime_) return now() >= *next;
    // The coarse clock never runs ahead of the exact one; only when it comes
    // within its own lag of the deadline is the exact clock worth reading.
    const CoarseClock& c = coarseClock();
    return c.read() + clockOffset_ + c.lagMs >= *next;
}

void WindowCore::advanceClockTo(uint64_t t) {
    uint64_t n = now();
    if (t > n) clockOffset_ += t - n;
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

bool WindowCore::takeWaiting(Message& m) {
    if (!queue_.empty()) {
        m = queue_.front();
        queue_.pop_front();
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
    std::erase_if(queue_, [](const Message& m) {
        return (m.message >= WM_KEYDOWN && m.message <= WM_CHAR) ||
               (m.message >= WM_MOUSEMOVE && m.message <= WM_RBUTTONUP);
    });
    queueChanged();
}

std::optional<uint64_t> WindowCore::closePendingFor() const {
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
// Edit controls

EditModel* WindowCore::edit(int32_t handle) {
    int64_t i = static_cast<int64_t>(handle) - kMainWindow - 1;
    return i >= 0 && i < static_cast<int64_t>(edits_.size()) ? &edits_[static_cast<size_t>(i)]
                                                             : nullptr;
}

int32_t WindowCore::editAt(int x, int y) const {
    // The newest control lies on top.
    for (size_t i = edits_.size(); i-- > 0;)
        if (edits_[i].contains(x, y)) return kMainWindow + 1 + static_cast<int32_t>(i);
    return 0;
}

int32_t WindowCore::createEdit(int x, int y, int width, int height, std::string_view text) {
    // Absurd rectangles are cut to a range where no coordinate sum overflows.
    constexpr int kLimit = 1 << 20;
    EditModel e;
    e.x = std::clamp(x, -kLimit, kLimit);
    e.y = std::clamp(y, -kLimit, kLimit);
    e.width = std::clamp(width, 0, kLimit);
    e.height = std::clamp(height, 0, kLimit);
    e.setText(text);
    edits_.push_back(std::move(e));
    refreshScreen();
    return kMainWindow + static_cast<int32_t>(edits_.size());
}

void WindowCore::setEditText(int32_t handle, std::string_view text) {
    if (EditModel* e = edit(handle)) {
        e->setText(text);
        redrawEdit(handle);
    }
}

std::string WindowCore::editText(int32_t handle) {
    EditModel* e = edit(handle);
    return e ? e->text : std::string();
}

void WindowCore::showEdit(int32_t handle, bool visible) {
    EditModel* e = edit(handle);
    if (!e) return;
    e->visible = visible;
    if (!visible && focus_ == handle) focus_ = kMainWindow;
    refreshScreen();
}

void WindowCore::focusEdit(int32_t handle) {
    EditModel* e = edit(handle);
    if (e && e->visible) setFocus(handle);
}

void WindowCore::redrawEdit(int32_t handle) {
    if (edit(handle)) refreshScreen();
}

void WindowCore::setFocus(int32_t handle) {
    if (focus_ == handle) return;
    focus_ = handle;
    refreshScreen();
}

void WindowCore::focusNextEdit() {
    size_t n = edits_.size();
    size_t start = focus_ > kMainWindow ? static_cast<size_t>(focus_ - kMainWindow - 1) : n - 1;
    for (size_t k = 1; k <= n; ++k) {
        size_t i = (start + k) % n;
        if (edits_[i].visible) {
            setFocus(kMainWindow + 1 + static_cast<int32_t>(i));
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Input

void WindowCore::mouseMove(int x, int y) {
    if (editAt(x, y)) return;  // the control has the pointer, not the main window
    Message m{kMainWindow, WM_MOUSEMOVE, 0, makeLParam(x, y)};
    // Moves not yet taken merge into the newest, as on the desktop.
    if (!queue_.empty() && queue_.back().message == WM_MOUSEMOVE) {
        queue_.back() = m;
        return;
    }
    post(m);
}

void WindowCore::mouseButton(int x, int y, bool right, bool down) {
    int32_t target = down ? editAt(x, y) : pressedEdit_;
    if (down) pressedEdit_ = target;
    if (target) {
        // A click into an edit control focuses it and places the caret.
        if (down && !right) {
            EditModel* e = edit(target);
            const Font* font = editFont();
            e->placeCaret(x, font ? font->textWidth("0") : 8);
            focus_ = target;
            refreshScreen();
        }
        if (!down) pressedEdit_ = 0;
        return;
    }
    if (down && !right) setFocus(kMainWindow);
    uint32_t msg = right ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                         : (down ? WM_LBUTTONDOWN : WM_LBUTTONUP);
    post(Message{kMainWindow, msg, right ? 2u : 1u, makeLParam(x, y)});
}

void WindowCore::key(uint32_t vk, bool down) {
    post(Message{focus_, down ? WM_KEYDOWN : WM_KEYUP, vk, 0});
}

void WindowCore::typeText(std::string_view bytes) {
    if (focus_ == kMainWindow) return;  // typing reaches only edit controls
    for (unsigned char c : bytes) post(Message{focus_, WM_CHAR, c, 0});
}

void WindowCore::applyEvent(const ScriptedEvent& e) {
    int x = static_cast<int>(e.a), y = static_cast<int>(e.b);
    switch (e.kind) {
        case EventKind::Wait: break;
        case EventKind::Move: mouseMove(x, y); break;
        case EventKind::Click:
        case EventKind::RClick:
            mouseButton(x, y, e.kind == EventKind::RClick, true);
            mouseButton(x, y, e.kind == EventKind::RClick, false);
            break;
        case EventKind::KeyDown: key(static_cast<uint32_t>(e.a), true); break;
        case EventKind::KeyUp: key(static_cast<uint32_t>(e.a), false); break;
        case EventKind::Type: typeText(e.text); break;
        case EventKind::Command:
            post(Message{kMainWindow, WM_COMMAND,
                         (static_cast<uint32_t>(e.a) & 0xFFFFu) | (static_cast<uint32_t>(e.b) << 16), 0});
            break;
        case EventKind::Paint: post(Message{kMainWindow, WM_PAINT, 0, 0}); break;
        case EventKind::Screenshot:
            if (!saveScreenshot(e.text))
                std::fprintf(stderr, "tessel: cannot save screenshot %s\n", e.text.c_str());
            break;
        case EventKind::Close: post(Message{kMainWindow, WM_CLOSE, 0, 0}); break;
    }
}

}  // namespace tessel
