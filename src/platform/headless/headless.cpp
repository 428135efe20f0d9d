// The headless stand-in for a window: nothing is shown and no native input
// arrives; the window core's events file is the only input, and its message
// boxes go to stderr.
#include "platform/native.h"

namespace tessel {

namespace {

class HeadlessWindow final : public NativeWindow {
   public:
    bool open(std::string_view, int, int) override { return true; }
    void present(PixelView) override {}
    void pollEvents(NativeInput&, int) override {}
    bool showBox(std::string_view, PixelView) override { return false; }
    void hideBox() override {}
};

}  // namespace

std::unique_ptr<NativeWindow> makeHeadlessWindow() { return std::make_unique<HeadlessWindow>(); }

}  // namespace tessel
