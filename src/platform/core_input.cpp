// The window core's input: what the backend reports, routed to the main
// window or an edit control; the edit controls themselves; the scripted
// events of --events and the recording of --record.
#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/cp1252.h"
#include "base/file_io.h"
#include "platform/window_core.h"

namespace tessel {

// ---------------------------------------------------------------------------
// Native input: routed, and recorded for --record

void WindowCore::mouseMove(int x, int y) {
    routeMove(x, y);
    record(makeEvent(EventKind::Move, x, y));
}

void WindowCore::mouseButton(int x, int y, bool right, bool down) {
    routeButton(x, y, right, down);
    if (down) record(makeEvent(right ? EventKind::RClick : EventKind::Click, x, y));
}

void WindowCore::key(uint32_t vk, bool down) {
    routeKey(vk, down);
    record(makeEvent(down ? EventKind::KeyDown : EventKind::KeyUp, vk));
}

void WindowCore::typeText(std::string_view utf8) {
    if (focus_ == kMainWindow) return;  // typing reaches only edit controls
    std::string bytes = utf8ToWindows1252(utf8);
    if (bytes.empty()) return;
    routeText(bytes);
    record(makeEvent(EventKind::Type, 0, 0, std::move(bytes)));
}

void WindowCore::closeRequest() {
    if (closePendingFor()) return;  // one request at a time
    post(Message{kMainWindow, WM_CLOSE, 0, 0});
    record(makeEvent(EventKind::Close));
}

void WindowCore::expose() {
    // The window keeps its content: show the kept frame, then let the
    // script repaint.
    refreshScreen();
    post(Message{kMainWindow, WM_PAINT, 0, 0});
}

// ---------------------------------------------------------------------------
// Routing

void WindowCore::routeMove(int x, int y) {
    if (editAt(x, y)) return;  // the control has the pointer, not the main window
    Message m{kMainWindow, WM_MOUSEMOVE, 0, makeLParam(x, y)};
    // Held moves merge into the newest, wherever they wait.
    if (holdInput_) std::erase_if(queue_, [](const Message& q) { return q.message == WM_MOUSEMOVE; });
    // Moves not yet taken merge into the newest, as on the desktop.
    if (!queue_.empty() && queue_.back().message == WM_MOUSEMOVE) {
        queue_.back() = m;
        return;
    }
    post(m);
}

void WindowCore::routeButton(int x, int y, bool right, bool down) {
    int32_t target = down ? editAt(x, y) : pressedEdit_;
    if (down) pressedEdit_ = target;
    if (target) {
        // A click into an edit control focuses it and places the caret.
        if (down && !right) {
            EditModel* e = edit(target);
            const Font* font = editFont();
            e->placeCaret(x, editCellWidth(font));
            int32_t before = focus_;
            focus_ = target;
            editChanged(before);
            editChanged(target);
        }
        if (!down) pressedEdit_ = 0;
        return;
    }
    // A press on the main window outside every control takes the keys back.
    if (down) setFocus(kMainWindow);
    uint32_t msg = right ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                         : (down ? WM_LBUTTONDOWN : WM_LBUTTONUP);
    post(Message{kMainWindow, msg, right ? 2u : 1u, makeLParam(x, y)});
}

void WindowCore::routeKey(uint32_t vk, bool down) {
    post(Message{focus_, down ? WM_KEYDOWN : WM_KEYUP, vk, 0});
}

void WindowCore::routeText(std::string_view bytes) {
    if (focus_ == kMainWindow) return;  // typing reaches only edit controls
    for (unsigned char c : bytes) post(Message{focus_, WM_CHAR, c, 0});
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
    ++visibleEdits_;
    refreshScreen();  // the new control is drawn over everything else
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
    if (e->visible && !visible) --visibleEdits_;
    if (!e->visible && visible) ++visibleEdits_;
    e->visible = visible;
    if (!visible && focus_ == handle) focus_ = kMainWindow;
    editChanged(handle);
}

bool WindowCore::editVisible(int32_t handle) {
    EditModel* e = edit(handle);
    return e && e->visible;
}

void WindowCore::focusEdit(int32_t handle) {
    EditModel* e = edit(handle);
    if (e && e->visible) setFocus(handle);
}

void WindowCore::redrawEdit(int32_t handle) { editChanged(handle); }

void WindowCore::setFocus(int32_t handle) {
    if (focus_ == handle) return;
    int32_t before = focus_;
    focus_ = handle;
    editChanged(before);
    editChanged(handle);
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
// Scripted events (--events)

// Starts the next scripted event, or ends a real-time wait that is over.
// False when there is nothing to do now.
bool WindowCore::stepScriptedEvents() {
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

// A headless wait: the clock jumps to each timer deadline in turn; the
// program is idle, so the next tick is due exactly one interval later.
bool WindowCore::takeTickDuringWait(Message& m) {
    std::optional<uint64_t> due = timers_.nextDeadline();
    if (!due || *due > *waitUntil_) {
        advanceClockTo(*waitUntil_);
        waitUntil_.reset();
        return false;
    }
    advanceClockTo(*due);
    std::optional<uint32_t> id = timers_.takeDue(now(), *due);
    if (!id) return false;
    m = Message{kMainWindow, WM_TIMER, *id, 0};
    return true;
}

void WindowCore::applyEvent(const ScriptedEvent& e) {
    int x = static_cast<int>(e.a), y = static_cast<int>(e.b);
    switch (e.kind) {
        case EventKind::Wait: break;
        case EventKind::Move: routeMove(x, y); break;
        case EventKind::Click:
        case EventKind::RClick:
            routeButton(x, y, e.kind == EventKind::RClick, true);
            routeButton(x, y, e.kind == EventKind::RClick, false);
            break;
        case EventKind::KeyDown: routeKey(static_cast<uint32_t>(e.a), true); break;
        case EventKind::KeyUp: routeKey(static_cast<uint32_t>(e.a), false); break;
        case EventKind::Type: routeText(e.text); break;
        case EventKind::Command:
            post(Message{kMainWindow, WM_COMMAND,
                         (static_cast<uint32_t>(e.a) & 0xFFFFu) | (static_cast<uint32_t>(e.b) << 16), 0});
            break;
        case EventKind::Paint: post(Message{kMainWindow, WM_PAINT, 0, 0}); break;
        case EventKind::Screenshot:
            if (!saveScreenshot(e.text)) outputFailed_ = true;
            break;
        case EventKind::Close: post(Message{kMainWindow, WM_CLOSE, 0, 0}); break;
        case EventKind::Seed: break;  // the host applies it before the run
    }
}

// ---------------------------------------------------------------------------
// Recording (--record): what a person did, with the waits between, in the
// events file's format.

void WindowCore::startRecording(std::FILE* out, std::string path, uint32_t seed) {
    if (record_) std::fclose(record_);
    record_ = out;
    recordPath_ = std::move(path);
    recordedBytes_ = 0;
    lastRecorded_ = now();
    // The first line: the seed the run's RAND started from, so that a replay
    // draws the same numbers.
    writeRecord(formatEvent(makeEvent(EventKind::Seed, seed)) + "\n");
}

void WindowCore::finishRecording() {
    if (record_ && !closeOutputFile(std::exchange(record_, nullptr), recordPath_)) outputFailed_ = true;
}

void WindowCore::record(const ScriptedEvent& e) {
    if (!record_) return;
    uint64_t n = now();
    std::string lines;
    if (n > lastRecorded_) lines = "wait " + std::to_string(n - lastRecorded_) + "\n";
    lastRecorded_ = n;
    writeRecord(lines + formatEvent(e) + "\n");
}

// Each event is flushed as it comes, so a recording survives the end of the
// process. A failed write, or a recording grown past what an events file
// may hold, ends the recording with a message and fails the run.
void WindowCore::writeRecord(const std::string& lines) {
    recordedBytes_ += static_cast<int64_t>(lines.size());
    bool ok = recordedBytes_ <= kMaxEventsBytes;
    if (!ok)
        reportWriteError(recordPath_, "the recording reached " + std::to_string(kMaxEventsBytes >> 20) +
                                          " MiB, the most an events file may hold; the rest is not recorded");
    else
        ok = writeOutputFile(record_, recordPath_, lines, true);
    if (ok) return;
    outputFailed_ = true;
    std::fclose(std::exchange(record_, nullptr));
}

}  // namespace tessel
