// The window core keeps the screen (the frame with the input boxes over it)
// up to date by drawing only what changed. Proven against the long way: the
// same end state composed from scratch over a freshly presented frame.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/window_core.h"

namespace tessel {
namespace {

constexpr int kWidth = 160, kHeight = 120;

// A backend that keeps what it was last shown and counts the showings.
class ShownWindow final : public NativeWindow {
   public:
    ShownWindow(std::vector<uint32_t>* shown, int* presents) : shown_(shown), presents_(presents) {}
    bool open(std::string_view, int, int) override { return true; }
    void present(PixelView frame) override {
        shown_->assign(frame.pixels, frame.pixels + static_cast<size_t>(frame.width) * frame.height);
        ++*presents_;
    }
    void pollEvents(NativeInput&, int) override {}
    bool showBox(std::string_view, PixelView) override { return false; }
    void hideBox() override {}

   private:
    std::vector<uint32_t>* shown_;
    int* presents_;
};

PlatformConfig driven(Drive drive) {
    PlatformConfig cfg;
    cfg.drive = drive;
    return cfg;
}

struct Box {
    int x, y, w, h;
    std::string text;
    bool visible = true;
};

std::vector<uint32_t> patternFrame(uint32_t seed) {
    std::vector<uint32_t> f(static_cast<size_t>(kWidth) * kHeight);
    for (size_t i = 0; i < f.size(); ++i) f[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u + seed);
    return f;
}

// What the screen must be: the boxes made in order over the frame, with
// their texts, visibility and the focus as they ended up.
std::vector<uint32_t> composedFromScratch(const std::vector<Box>& boxes, int32_t focus,
                                          const std::vector<uint32_t>& frame) {
    std::vector<uint32_t> shown;
    int presents = 0;
    WindowCore core(std::make_unique<ShownWindow>(&shown, &presents), driven(Drive::Unattended));
    core.createMainWindow("t", kWidth, kHeight, [](const Message&) {});
    for (const Box& b : boxes) {
        int32_t h = core.createEdit(b.x, b.y, b.w, b.h, "");
        core.setEditText(h, b.text);
        core.showEdit(h, b.visible);
    }
    if (focus != kMainWindow) core.focusEdit(focus);
    // A new frame makes the core compose everything again.
    core.present(PixelView{frame.data(), kWidth, kHeight});
    return shown;
}

TEST(EditComposition, ChangesDrawnAloneMatchAWholeComposition) {
    std::mt19937 rng(12345);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 40; ++round) {
        std::vector<uint32_t> shown;
        int presents = 0;
        WindowCore core(std::make_unique<ShownWindow>(&shown, &presents), driven(Drive::Unattended));
        core.createMainWindow("t", kWidth, kHeight, [](const Message&) {});
        std::vector<uint32_t> frame = patternFrame(static_cast<uint32_t>(round));
        core.present(PixelView{frame.data(), kWidth, kHeight});
        std::vector<Box> boxes;
        int32_t focus = kMainWindow;
        for (int step = 0; step < 60; ++step) {
            int32_t any = boxes.empty() ? 0 : kMainWindow + pick(1, static_cast<int>(boxes.size()));
            Box* b = any ? &boxes[static_cast<size_t>(any - kMainWindow - 1)] : nullptr;
            switch (pick(0, 5)) {
                case 0: {  // overlapping boxes, some low enough for the text to stand out, some off the edge
                    Box n{pick(-30, kWidth), pick(-20, kHeight), pick(0, 90), pick(0, 30), "", true};
                    boxes.push_back(n);
                    core.createEdit(n.x, n.y, n.w, n.h, "");
                    break;
                }
                case 1:
                    if (!b) break;
                    b->text = std::string(static_cast<size_t>(pick(0, 14)), static_cast<char>('A' + pick(0, 25)));
                    core.setEditText(any, b->text);
                    break;
                case 2:
                    if (!b) break;
                    b->visible = !b->visible;
                    core.showEdit(any, b->visible);
                    if (!b->visible && focus == any) focus = kMainWindow;
                    break;
                case 3:
                    if (!b || !b->visible) break;
                    core.focusEdit(any);
                    focus = any;
                    break;
                case 4:
                    if (pick(0, 3) != 0) break;
                    frame = patternFrame(static_cast<uint32_t>(step * 7 + round));
                    core.present(PixelView{frame.data(), kWidth, kHeight});
                    break;
                default: core.redrawEdit(any); break;
            }
            // The caret of a box whose text was set stands at its start in
            // both runs; the reference sets every text once, as here.
            ASSERT_EQ(core.focus(), focus);
        }
        ASSERT_EQ(shown, composedFromScratch(boxes, focus, frame)) << "round " << round;
    }
}

TEST(EditComposition, AWindowIsShownTheLatestScreenWithoutAPresentPerBox) {
    std::vector<uint32_t> shown;
    int presents = 0;
    WindowCore core(std::make_unique<ShownWindow>(&shown, &presents), driven(Drive::Live));
    core.createMainWindow("t", kWidth, kHeight, [](const Message&) {});
    MonotonicClock clock;
    const int before = presents;
    const uint64_t start = clock.exactMs();
    std::vector<Box> boxes;
    for (int i = 0; i < 2000; ++i) {
        boxes.push_back(Box{i % 20 * 8, i % 15 * 8, 40, 20, "", true});
        core.createEdit(boxes.back().x, boxes.back().y, 40, 20, "");
    }
    const uint64_t elapsed = clock.exactMs() - start;
    // At most one showing per frame interval (4 ms) while the boxes come
    // (give or take the steps of the core's coarse clock, which a busy
    // machine makes fall unevenly), not one per box.
    EXPECT_LE(presents - before, static_cast<int>(elapsed / 4) + 3);
    // The next read of native events shows what is pending (a running
    // script's keep-alive rounds and peeks).
    std::vector<uint32_t> white(static_cast<size_t>(kWidth) * kHeight, 0xFFFFFFFFu);
    std::vector<uint32_t> expected = composedFromScratch(boxes, kMainWindow, white);
    const uint64_t giveUp = clock.exactMs() + 3000;
    Message m;
    while (shown != expected && clock.exactMs() < giveUp) {
        core.keepAlive();
        core.peekWaiting(m);
    }
    EXPECT_EQ(shown, expected);
}

}  // namespace
}  // namespace tessel
