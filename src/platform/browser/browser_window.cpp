#include "platform/browser/browser_window.h"

#include <emscripten.h>

#include <cstdint>
#include <string>

#include "platform/browser/page.h"

namespace tessel {

namespace {

// Longest stretch a running script keeps the page waiting, in milliseconds.
constexpr double kYieldInterval = 15;

class BrowserWindow final : public NativeWindow {
   public:
    explicit BrowserWindow(bool scripted) : scripted_(scripted), lastYield_(emscripten_get_now()) {}
    ~BrowserWindow() override { paintCanvas(); }

    bool open(std::string_view, int width, int height) override {
        page_open_canvas(width, height);
        width_ = width;
        height_ = height;
        return true;
    }

    void present(PixelView frame) override {
        if (frame.width != width_ || frame.height != height_) return;
        // Painted when the page next has control, from the core's own frame
        // (see NativeWindow::present): a script that shows many frames
        // between two yields pays for one canvas update and no copies.
        frame_ = frame.pixels;
        dirty_ = true;
    }

    void pollEvents(NativeInput& input, int timeoutMs) override {
        if (stopping_) return;
        if (timeoutMs > 0) {
            if (!boxShown_ && !waiting_) {
                waiting_ = true;
                page_waiting();
            }
            paintCanvas();
            page_wait(timeoutMs);
            lastYield_ = emscripten_get_now();
        } else if (emscripten_get_now() - lastYield_ >= kYieldInterval) {
            paintCanvas();
            page_yield();
            lastYield_ = emscripten_get_now();
        }
        if (page_stop_requested()) {
            stopping_ = true;
            throw StopRequested{};
        }
        PageEvent e;
        char text[64];
        while (page_take_input(&e, text, sizeof text))
            if (!scripted_) translate(input, e, text);
    }

    bool showBox(std::string_view caption, PixelView box) override {
        paintCanvas();
        page_show_box(std::string(caption).c_str(), box.pixels, box.width, box.height);
        boxShown_ = true;
        return true;
    }

    void hideBox() override {
        boxShown_ = false;
        page_hide_box();
    }

   private:
    void paintCanvas() {
        if (!dirty_) return;
        dirty_ = false;
        page_paint(frame_, width_, height_);
    }

    static void translate(NativeInput& in, const PageEvent& e, const char* text) {
        switch (e.kind) {
            case kPageMove: in.mouseMove(e.a, e.b); break;
            case kPageButtonDown: in.mouseButton(e.a, e.b, e.c != 0, true); break;
            case kPageButtonUp: in.mouseButton(e.a, e.b, e.c != 0, false); break;
            case kPageKeyDown: in.key(static_cast<uint32_t>(e.a), true); break;
            case kPageKeyUp: in.key(static_cast<uint32_t>(e.a), false); break;
            case kPageText: in.typeText(text); break;
            case kPageExpose: in.expose(); break;
            case kPageBoxButton: in.boxButton(e.a, e.b, e.c != 0); break;
            case kPageBoxKey: in.boxKey(static_cast<uint32_t>(e.a)); break;
            case kPageBoxClose: in.boxClose(); break;
            case kPageClose: in.closeRequest(); break;
            default: break;
        }
    }

    bool scripted_ = false;            // an events file drives the run, not the page
    bool stopping_ = false;            // StopRequested was thrown: the run is unwinding
    int width_ = 0, height_ = 0;       // the canvas
    const uint32_t* frame_ = nullptr;  // the newest frame, the core's
    bool dirty_ = false;               // the canvas lags behind frame_
    bool boxShown_ = false;            // a message box is on the page
    bool waiting_ = false;             // the page knows the main program is over
    double lastYield_ = 0;             // when the page last had control (ms)
};

}  // namespace

std::unique_ptr<NativeWindow> makeBrowserWindow(bool scripted) {
    return std::make_unique<BrowserWindow>(scripted);
}

}  // namespace tessel
