// The headless backend's message queue as the interpreter's loop sees it,
// with a window procedure that records what reaches it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "codec/image_io.h"
#include "platform/sdl_module.h"
#include "platform/window_core.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

struct Harness {
    std::unique_ptr<WindowCore> platform;
    std::vector<Message> seen;  // messages that reached the main window's procedure

    explicit Harness(const std::string& events, bool keepFrames = true) {
        PlatformConfig cfg;
        cfg.keepFrames = keepFrames;
        std::string error;
        EXPECT_TRUE(parseEvents(events, "test.events", cfg.events, &error)) << error;
        platform = std::make_unique<WindowCore>(makeHeadlessWindow(), std::move(cfg));
        platform->createMainWindow("t", 64, 48, [this](const Message& m) { seen.push_back(m); });
    }

    // The interpreter's message loop.
    void runLoop() {
        Message m;
        while (platform->getMessage(m))
            if (!platform->isDialogMessage(m)) platform->dispatchMessage(m);
    }

    std::vector<uint32_t> kinds() const {
        std::vector<uint32_t> k;
        for (const Message& m : seen) k.push_back(m.message);
        return k;
    }
};

TEST(Headless, EventsWaitForTheMessageLoop) {
    Harness h("click 5 6\nrclick 7 8\nmove 9 10\ncommand 2 1\npaint\n");
    Message m;
    EXPECT_FALSE(h.platform->peekMessage(m));  // nothing before the script is idle
    h.runLoop();
    std::vector<uint32_t> want = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP,
                                  WM_MOUSEMOVE,   WM_COMMAND,   WM_PAINT};
    EXPECT_EQ(h.kinds(), want);
    EXPECT_EQ(h.seen[0].lParam, makeLParam(5, 6));
    EXPECT_EQ(h.seen[4].lParam, makeLParam(9, 10));
    EXPECT_EQ(h.seen[5].wParam, 2u | (1u << 16));
    EXPECT_FALSE(h.platform->getMessage(m));  // the run is over after the last event
}

TEST(Headless, WaitDeliversEveryTimerTickInOrderAndAdvancesTheClock) {
    Harness h("wait 350\nclick 1 1\nwait 200\n");
    h.platform->setTimer(1, 100);
    uint32_t start = h.platform->tickCount();
    h.runLoop();
    std::vector<uint32_t> want = {WM_TIMER,       WM_TIMER,     WM_TIMER, WM_LBUTTONDOWN,
                                  WM_LBUTTONUP,   WM_TIMER,     WM_TIMER};
    EXPECT_EQ(h.kinds(), want);
    EXPECT_EQ(h.seen[0].wParam, 1u);
    uint32_t elapsed = h.platform->tickCount() - start;
    EXPECT_GE(elapsed, 550u);
    EXPECT_LT(elapsed, 550u + 5000u);
}

TEST(Headless, TimerStoppedDuringWaitTicksNoMore) {
    Harness h("wait 1000\n");
    h.platform->setTimer(1, 100);
    Message m;
    ASSERT_TRUE(h.platform->getMessage(m));
    EXPECT_EQ(m.message, WM_TIMER);
    h.platform->killTimer(1);
    EXPECT_FALSE(h.platform->getMessage(m));
}

TEST(Headless, PeekDeliversATimerTickOnceItFallsDueAndNotBefore) {
    // Headless time is virtual: only the run's work (keepAlive, every few
    // thousand statements) and scripted waits move it. A running script
    // peeks in a tight loop: the tick must come exactly at its deadline on
    // that clock, neither early nor lost to the cheap checks.
    Harness h("");
    Message m;
    EXPECT_FALSE(h.platform->peekWaiting(m));  // no timer: nothing, ever
    EXPECT_EQ(h.platform->tickCount(), 0u);    // the clock starts at 0 on every machine
    h.platform->setTimer(1, 30);
    bool got = false;
    int rounds = 0;
    for (; !got && rounds < 3000; ++rounds) {
        got = h.platform->peekWaiting(m);
        if (!got) h.platform->keepAlive();
    }
    ASSERT_TRUE(got);
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(h.platform->tickCount(), 30u);
    EXPECT_FALSE(h.platform->peekWaiting(m));  // the next tick is one interval on
    h.platform->killTimer(1);
    for (int i = 0; i < 60; ++i, h.platform->keepAlive()) ASSERT_FALSE(h.platform->peekWaiting(m));
}

TEST(Headless, InputBoxTakesClickTypingAndDialogKeys) {
    Harness h("click 15 15\ntype hi there\nkeydown 37\nkeydown 8\nkeydown 13\nkeydown 27\n"
              "click 50 40\nkeydown 13\n");
    int32_t box = h.platform->createEdit(10, 10, 40, 20, "");
    h.runLoop();
    EXPECT_EQ(h.platform->editText(box), "hi thee");  // the r before the caret went
    ASSERT_EQ(h.seen.size(), 5u);
    // Enter and Escape in the box are commands 1 and 2; the click outside
    // gives the main window the focus, where Enter is a key.
    EXPECT_EQ(h.seen[0].message, WM_COMMAND);
    EXPECT_EQ(h.seen[0].wParam, 1u);
    EXPECT_EQ(h.seen[1].wParam, 2u);
    EXPECT_EQ(h.seen[2].message, WM_LBUTTONDOWN);
    EXPECT_EQ(h.seen[4].message, WM_KEYDOWN);
    EXPECT_EQ(h.seen[4].wParam, 13u);
}

TEST(Headless, TabMovesFocusAmongVisibleBoxes) {
    Harness h("keydown 9\ntype b\nkeydown 9\ntype c\n");
    int32_t a = h.platform->createEdit(0, 0, 10, 10, "");
    int32_t b = h.platform->createEdit(0, 20, 10, 10, "");
    int32_t c = h.platform->createEdit(0, 40, 10, 10, "");
    h.platform->showEdit(a, false);
    h.platform->focusEdit(c);
    h.runLoop();
    // From c, Tab wraps past the hidden a to b, then comes back to c.
    EXPECT_EQ(h.platform->editText(b), "b");
    EXPECT_EQ(h.platform->editText(c), "c");
    EXPECT_EQ(h.platform->editText(a), "");
}

TEST(Headless, CommandFromDialogKeyIsQueuedForPeek) {
    Harness h("");
    int32_t box = h.platform->createEdit(0, 0, 10, 10, "");
    h.platform->focusEdit(box);
    Message key{box, WM_KEYDOWN, 13, 0};
    EXPECT_TRUE(h.platform->isDialogMessage(key));
    Message m;
    ASSERT_TRUE(h.platform->peekWaiting(m));
    EXPECT_EQ(m.message, WM_COMMAND);
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_FALSE(h.platform->peekWaiting(m));
    EXPECT_FALSE(h.platform->isDialogMessage(Message{kMainWindow, WM_KEYDOWN, 13, 0}));
}

TEST(Headless, CloseEndsTheLoop) {
    Harness h("close\nclick 1 1\n");
    h.runLoop();
    ASSERT_EQ(h.seen.size(), 1u);
    EXPECT_EQ(h.seen[0].message, WM_CLOSE);
}

TEST(Headless, ScreenshotShowsFrameWithBoxesOver) {
    fs::path shot = fs::temp_directory_path() / "tessel_headless_shot.png";
    Harness h("screenshot " + shot.string() + "\n");
    std::vector<uint32_t> frame(64 * 48, 0xFFFF0000u);
    h.platform->present(PixelView{frame.data(), 64, 48});
    h.platform->createEdit(10, 10, 30, 20, "");
    h.runLoop();
    ImageData img;
    std::string error;
    ASSERT_TRUE(loadImageFile(shot.string(), img, &error)) << error;
    fs::remove(shot);
    ASSERT_EQ(img.width, 64);
    EXPECT_EQ(img.pixels[0] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(img.pixels[20 * 64 + 20] & 0xFFFFFF, 0xFFFFFFu);
}

// Without a screenshot to come, frames are not kept: presenting, input boxes
// and typing still work, and a screenshot asked for anyway is refused. A
// scripted screenshot keeps them.
TEST(Headless, FramesAreKeptOnlyForScreenshots) {
    Harness h("click 15 15\ntype abc\n", false);
    std::vector<uint32_t> frame(64 * 48, 0xFFFF0000u);
    h.platform->present(PixelView{frame.data(), 64, 48});
    int32_t box = h.platform->createEdit(10, 10, 30, 20, "");
    h.runLoop();
    EXPECT_EQ(h.platform->editText(box), "abc");
    fs::path shot = fs::temp_directory_path() / "tessel_headless_unkept.png";
    EXPECT_FALSE(h.platform->saveScreenshot(shot.string()));
    EXPECT_FALSE(fs::exists(shot));

    fs::path scripted = fs::temp_directory_path() / "tessel_headless_scripted.png";
    Harness s("screenshot " + scripted.string() + "\n", false);
    s.platform->present(PixelView{frame.data(), 64, 48});
    s.runLoop();
    ImageData img;
    std::string error;
    ASSERT_TRUE(loadImageFile(scripted.string(), img, &error)) << error;
    fs::remove(scripted);
    EXPECT_EQ(img.pixels[0] & 0xFFFFFF, 0xFF0000u);
}

TEST(Headless, MessageBoxesGoToStderrAsUtf8) {
    Harness h("");
    testing::internal::CaptureStderr();
    h.platform->messageBox("Cap\x80", "caf\xe9");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cap\xe2\x82\xac: caf\xc3\xa9\n");
}

TEST(Headless, AbsurdInputBoxRectanglesAreSafe) {
    Harness h("click 5 5\nclick 1000000 5\n");
    int32_t box = h.platform->createEdit(2147483000, -2147483000, 2147483647, 2147483647, "x");
    h.platform->createEdit(0, 0, 2147483647, 10, "");
    h.runLoop();
    EXPECT_EQ(h.platform->editText(box), "x");
    EXPECT_TRUE(h.seen.empty());  // both clicks landed in the wide box
    EXPECT_TRUE(h.platform->saveScreenshot((fs::temp_directory_path() / "tessel_absurd.png").string()));
    fs::remove(fs::temp_directory_path() / "tessel_absurd.png");
}

}  // namespace
}  // namespace tessel
