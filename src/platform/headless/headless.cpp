// The headless backend: no window. Message boxes go to stderr and are
// confirmed at once; presented frames are kept for screenshots.
#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tessel {

namespace {

struct EditControl {
    int x, y, w, h;
    std::string text;
    bool visible = true;
};

class HeadlessPlatform final : public Platform {
   public:
    explicit HeadlessPlatform(const PlatformConfig& cfg) : cfg_(cfg) {}

    void createMainWindow(std::string_view, int w, int h, WindowProc proc) override {
        width_ = w;
        height_ = h;
        proc_ = std::move(proc);
        frame_.assign(static_cast<size_t>(w) * h, 0xFFFFFFFFu);
    }
    void present(PixelView f) override {
        if (f.width == width_ && f.height == height_)
            frame_.assign(f.pixels, f.pixels + static_cast<size_t>(f.width) * f.height);
    }

    bool getMessage(Message& m) override { return takeQueued(m); }
    bool peekMessage(Message& m) override { return takeQueued(m); }
    bool isDialogMessage(const Message&) override { return false; }
    void dispatchMessage(const Message& m) override {
        if (m.window == kMainWindow && proc_) proc_(m);
    }
    void keepAlive() override {}

    void messageBox(std::string_view caption, std::string_view text) override {
        std::string line(caption);
        line += ": ";
        line += text;
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
    }

    void setTimer(uint32_t, uint32_t) override {}
    void killTimer(uint32_t) override {}
    uint32_t tickCount() override {
        using namespace std::chrono;
        return static_cast<uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }

    int32_t createEdit(int x, int y, int w, int h, std::string_view text) override {
        edits_.push_back(EditControl{x, y, w, h, std::string(text)});
        return static_cast<int32_t>(edits_.size()) + kMainWindow;
    }
    void setEditText(int32_t h, std::string_view t) override {
        if (EditControl* e = edit(h)) e->text = t;
    }
    std::string editText(int32_t h) override {
        EditControl* e = edit(h);
        return e ? e->text : std::string();
    }
    void showEdit(int32_t h, bool v) override {
        if (EditControl* e = edit(h)) e->visible = v;
    }
    void focusEdit(int32_t) override {}
    void redrawEdit(int32_t) override {}

    bool saveScreenshot(const std::string&) override { return false; }

   private:
    bool takeQueued(Message& m) {
        if (queue_.empty()) return false;
        m = queue_.front();
        queue_.pop_front();
        return true;
    }
    EditControl* edit(int32_t h) {
        int32_t i = h - kMainWindow - 1;
        return i >= 0 && i < static_cast<int32_t>(edits_.size()) ? &edits_[i] : nullptr;
    }

    PlatformConfig cfg_;
    WindowProc proc_;
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> frame_;
    std::deque<Message> queue_;
    std::vector<EditControl> edits_;
};

}  // namespace

std::unique_ptr<Platform> makeHeadlessPlatform(const PlatformConfig& cfg, std::string*) {
    return std::make_unique<HeadlessPlatform>(cfg);
}

}  // namespace tessel
