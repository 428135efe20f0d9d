// The window core's input: what the backend reports, routed to the main
// window or an edit control; the edit controls themselves; the scripted
// events of --events and the recording of --record.
#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/cp1252.h"
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
    if (focus() == kMainWindow) return;  // typing reaches only edit controls
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
    if (edits_.at(x, y)) return;  // the control has the pointer, not the main window
    queue_.postMove(Message{kMainWindow, WM_MOUSEMOVE, 0, makeLParam(x, y)});
    mayHaveMessage_ = true;
}

void WindowCore::routeButton(int x, int y, bool right, bool down) {
    int32_t target = down ? edits_.at(x, y) : edits_.pressed;
    if (down) edits_.pressed = target;
    if (target) {
        // A click into an edit control focuses it and places the caret.
        if (down && !right) {
            edits_.find(target)->placeCaret(x, editCellWidth(editFont()));
            int32_t before = focus();
            edits_.setFocus(target);
            editChanged(before);
            editChanged(target);
        }
        if (!down) edits_.pressed = 0;
        return;
    }
    // A press on the main window outside every control takes the keys back.
    if (down) setFocus(kMainWindow);
    uint32_t msg = right ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                         : (down ? WM_LBUTTONDOWN : WM_LBUTTONUP);
    post(Message{kMainWindow, msg, right ? 2u : 1u, makeLParam(x, y)});
}

void WindowCore::routeKey(uint32_t vk, bool down) {
    post(Message{focus(), down ? WM_KEYDOWN : WM_KEYUP, vk, 0});
}

void WindowCore::routeText(std::string_view bytes) {
    if (focus() == kMainWindow) return;  // typing reaches only edit controls
    for (unsigned char c : bytes) post(Message{focus(), WM_CHAR, c, 0});
}

// ---------------------------------------------------------------------------
// Edit controls

int32_t WindowCore::createEdit(int x, int y, int width, int height, std::string_view text) {
    // Absurd rectangles are cut to a range where no coordinate sum overflows.
    constexpr int kLimit = 1 << 20;
    EditModel e;
    e.x = std::clamp(x, -kLimit, kLimit);
    e.y = std::clamp(y, -kLimit, kLimit);
    e.width = std::clamp(width, 0, kLimit);
    e.height = std::clamp(height, 0, kLimit);
    e.setText(text);
    int32_t handle = edits_.add(std::move(e));
    refreshScreen();  // the new control is drawn over everything else
    return handle;
}

void WindowCore::setEditText(int32_t handle, std::string_view text) {
    if (EditModel* e = edits_.find(handle)) {
        e->setText(text);
        redrawEdit(handle);
    }
}

std::string WindowCore::editText(int32_t handle) {
    const EditModel* e = edits_.find(handle);
    return e ? e->text : std::string();
}

void WindowCore::showEdit(int32_t handle, bool visible) {
    if (!edits_.find(handle)) return;
    edits_.setVisible(handle, visible);
    editChanged(handle);
}

bool WindowCore::editVisible(int32_t handle) {
    const EditModel* e = edits_.find(handle);
    return e && e->visible;
}

void WindowCore::focusEdit(int32_t handle) {
    const EditModel* e = edits_.find(handle);
    if (e && e->visible) setFocus(handle);
}

void WindowCore::redrawEdit(int32_t handle) { editChanged(handle); }

void WindowCore::setFocus(int32_t handle) {
    if (focus() == handle) return;
    int32_t before = focus();
    edits_.setFocus(handle);
    editChanged(before);
    editChanged(handle);
}

// ---------------------------------------------------------------------------
// Scripted events (--events)

// Starts the next scripted event, or ends a real-time wait that is over.
// False when there is nothing to do now.
bool WindowCore::stepScriptedEvents() {
    const ScriptedEvent* e = nullptr;
    if (!scripted_.step(now(), e)) return false;
    if (e) applyEvent(*e);
    return true;
}

// A headless wait: the clock jumps to each timer deadline in turn; the
// program is idle, so the next tick is due exactly one interval later.
bool WindowCore::takeTickDuringWait(Message& m) {
    std::optional<uint64_t> due = timers_.nextDeadline();
    const uint64_t end = *scripted_.waitEnd();
    if (!due || *due > end) {
        clock_->advanceTo(end);
        scripted_.endWait();
        return false;
    }
    clock_->advanceTo(*due);
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
// Recording (--record)

void WindowCore::startRecording(std::FILE* out, std::string path, uint32_t seed) {
    recorder_.start(out, std::move(path), seed, now());
}

void WindowCore::finishRecording() { recorder_.finish(); }

void WindowCore::record(const ScriptedEvent& e) {
    if (recorder_.recording()) recorder_.record(e, now());
}

}  // namespace tessel
