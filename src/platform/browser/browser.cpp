#include <emscripten.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/browser/browser_platform.h"
#include "platform/browser/page.h"
#include "platform/cp1252.h"
#include "platform/window_core.h"

namespace tessel {

namespace {

// Longest stretch a running script keeps the page waiting, in milliseconds.
constexpr double kYieldInterval = 15;
// Longest wait for input before looking at the timers again, in milliseconds.
constexpr int kMaxWait = 250;

class BrowserPlatform final : public WindowCore {
   public:
    BrowserPlatform(std::vector<ScriptedEvent> events, bool scripted)
        : events_(std::move(events)), scripted_(scripted) {
        keepFrames_ = true;
        lastYield_ = emscripten_get_now();
    }
    ~BrowserPlatform() override { paintCanvas(); }

    bool getMessage(Message& m) override {
        for (;;) {
            if (closed()) return false;
            readPageInput();
            if (takeMessage(m)) return true;
            if (scripted_) {
                if (!stepScript(m)) return false;
                if (gotTick_) {
                    gotTick_ = false;
                    return true;
                }
                continue;
            }
            waitForInput(waitTimeout());
        }
    }

    bool peekMessage(Message& m) override {
        readPageInput();
        return takeMessage(m);
    }

    void keepAlive() override {
        if (emscripten_get_now() - lastYield_ >= kYieldInterval) yieldToPage();
        readPageInput();
    }

    void messageBox(std::string_view caption, std::string_view text) override {
        std::string c = windows1252ToUtf8(caption), t = windows1252ToUtf8(text);
        // A scripted run passes over boxes as confirmed, as a headless run does.
        if (!page_box_opened(c.c_str(), t.c_str(), scripted_ ? 0 : 1)) return;
        struct Restore {
            BrowserPlatform& p;
            ~Restore() { p.dropQueuedInput(); }
        } restore{*this};
        int box = page_box_depth();
        // The main window stays enabled: its messages are dispatched here.
        while (page_box_depth() >= box && !closed()) {
            readPageInput();
            Message m;
            if (takeMessage(m)) {
                dispatchMessage(m);
                continue;
            }
            waitForInput(waitTimeout());
        }
    }

   protected:
    void openWindow(std::string_view, int width, int height) override {
        page_open_canvas(width, height);
    }

    void showScreen(const FrameBuffer& screen) override {
        shown_ = &screen;
        dirty_ = true;
    }

   private:
    // Copies the screen to the canvas when it changed since the last copy.
    void paintCanvas() {
        if (!dirty_ || !shown_ || shown_->empty()) return;
        dirty_ = false;
        page_paint(shown_->data(), width_, height_);
    }

    void checkStop() {
        if (page_stop_requested()) throw StopRequested{};
    }

    // Lets the page run: it paints, takes events, may ask the run to stop.
    void yieldToPage() {
        paintCanvas();
        page_yield();
        lastYield_ = emscripten_get_now();
        checkStop();
    }

    // Sleeps until the page has input for us, or `ms` milliseconds passed.
    void waitForInput(int ms) {
        paintCanvas();
        page_wait(ms);
        lastYield_ = emscripten_get_now();
        checkStop();
    }

    int waitTimeout() const {
        uint64_t n = now();
        uint64_t until = n + kMaxWait;
        if (std::optional<uint64_t> d = timers_.nextDeadline()) until = std::min(until, *d);
        return until > n ? static_cast<int>(until - n) : 0;
    }

    // Moves what the page has taken since the last look into the queue. The
    // page's input is ignored in a scripted run.
    void readPageInput() {
        if (!page_input_waiting()) return;
        PageEvent e;
        char text[64];
        while (page_take_input(&e, text, sizeof text)) {
            if (!scripted_) translate(e, text);
        }
    }

    void translate(const PageEvent& e, const char* text) {
        switch (e.kind) {
            case kPageMove: mouseMove(e.a, e.b); break;
            case kPageButtonDown: mouseButton(e.a, e.b, e.c != 0, true); break;
            case kPageButtonUp: mouseButton(e.a, e.b, e.c != 0, false); break;
            case kPageKeyDown: key(static_cast<uint32_t>(e.a), true); break;
            case kPageKeyUp: key(static_cast<uint32_t>(e.a), false); break;
            case kPageText: {
                if (focus() == kMainWindow) break;  // typing reaches only edit controls
                std::string bytes = utf8ToWindows1252(text);
                if (!bytes.empty()) typeText(bytes);
                break;
            }
            case kPageExpose:
                refreshScreen();
                post(Message{kMainWindow, WM_PAINT, 0, 0});
                break;
            default: break;
        }
    }

    // One step of the events of a scripted run, as the headless backend
    // takes them. False when they are used up: the run ends.
    bool stepScript(Message& m) {
        if (emscripten_get_now() - lastYield_ >= kYieldInterval) yieldToPage();
        if (waitUntil_) {
            gotTick_ = takeTickDuringWait(m);
            return true;
        }
        if (next_ >= events_.size()) return false;
        const ScriptedEvent& e = events_[next_++];
        if (e.kind == EventKind::Wait)
            waitUntil_ = now() + static_cast<uint64_t>(e.a);
        else if (e.kind != EventKind::Screenshot)  // the page takes its own
            applyEvent(e);
        return true;
    }

    // During a scripted wait the clock jumps to each timer deadline in turn;
    // the program is idle, so the next tick is due exactly one interval later.
    bool takeTickDuringWait(Message& m) {
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

    std::vector<ScriptedEvent> events_;  // a scripted run's events, in order
    bool scripted_ = false;              // events drive the run, not the page
    size_t next_ = 0;                    // next event to deliver
    std::optional<uint64_t> waitUntil_;  // end of the scripted wait in progress
    bool gotTick_ = false;               // stepScript left a timer tick in its message
    const FrameBuffer* shown_ = nullptr; // what the canvas should show
    bool dirty_ = false;                 // the canvas lags behind shown_
    double lastYield_ = 0;               // when the page last had control (ms)
};

}  // namespace

std::unique_ptr<Platform> makeBrowserPlatform(std::vector<ScriptedEvent> events, bool scripted) {
    return std::make_unique<BrowserPlatform>(std::move(events), scripted);
}

}  // namespace tessel
