// The window core over backends the tests make: its clock, boxes nobody
// confirms, a close request during a long statement.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/window_core.h"

namespace tessel {
namespace {

// A window whose boxes nobody confirms: a box shown there would wait for ever.
class UnwatchedWindow final : public NativeWindow {
   public:
    bool open(std::string_view, int, int) override { return true; }
    void present(PixelView) override {}
    void pollEvents(NativeInput& in, int) override {
        if (boxShown) in.closeRequest();  // the test ends the wait it should not have
    }
    bool showBox(std::string_view, PixelView) override { return boxShown = true; }
    void hideBox() override {}
    bool boxShown = false;
};

// An events file drives a window run even when it holds no event (an empty
// file, /dev/null): its boxes are confirmed at once, as with any other.
TEST(WindowCore, AnEventsFileWithoutEventsConfirmsBoxes) {
    auto native = std::make_unique<UnwatchedWindow>();
    UnwatchedWindow* window = native.get();
    PlatformConfig cfg;
    cfg.drive = Drive::Live;
    cfg.scripted = true;
    WindowCore core(std::move(native), std::move(cfg));
    core.createMainWindow("t", 8, 8, [](const Message&) {});
    testing::internal::CaptureStderr();
    core.messageBox("Caption", "text");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Caption: text\n");
    EXPECT_FALSE(window->boxShown);
}

TEST(WindowCore, TimersFallDueOnTheRealClockForARunningScript) {
    PlatformConfig cfg;
    cfg.clock = std::make_unique<RealClock>();
    WindowCore core(makeHeadlessWindow(), std::move(cfg));
    core.createMainWindow("t", 8, 8, [](const Message&) {});
    // Read before the timer is set: read after, the clock may already have
    // moved on by a millisecond and the tick would seem early.
    const uint32_t start = core.tickCount();
    core.setTimer(1, 30);
    // Peeks with a keep-alive round now and then, as a running script makes
    // them: the core reads no exact clock until the coarse reading says the
    // tick may be due.
    MonotonicClock system;
    const uint64_t giveUp = system.exactMs() + 3000;
    Message m;
    bool got = false;
    for (int peeks = 1; !got && system.exactMs() < giveUp; ++peeks) {
        if (peeks % 64 == 0) core.keepAlive();
        got = core.peekWaiting(m);
    }
    const uint32_t elapsed = core.tickCount() - start;
    ASSERT_TRUE(got);
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_GE(elapsed, 30u) << "not early";
    EXPECT_LT(elapsed, 1000u) << "not (much) late";
}

// Real time as the test sets it.
class SetClock final : public Clock {
   public:
    explicit SetClock(const uint64_t* ms) : ms_(ms) {}
    uint64_t now() override { return *ms_; }
    bool mayHaveReached(uint64_t deadline) override { return *ms_ >= deadline; }
    uint64_t coarse() override { return *ms_; }
    bool isVirtual() const override { return false; }
    void advanceTo(uint64_t) override {}

   private:
    const uint64_t* ms_;
};

// A window whose person asks to close it at the first read of its events.
class ClosingWindow final : public NativeWindow {
   public:
    bool open(std::string_view, int, int) override { return true; }
    void present(PixelView) override {}
    void pollEvents(NativeInput& input, int) override {
        if (!asked_) input.closeRequest();
        asked_ = true;
    }
    bool showBox(std::string_view, PixelView) override { return false; }
    void hideBox() override {}

   private:
    bool asked_ = false;
};

// A window whose person clicks when the test says so, at the next read of
// its events.
class ClickingWindow final : public NativeWindow {
   public:
    bool open(std::string_view, int, int) override { return true; }
    void present(PixelView) override {}
    void pollEvents(NativeInput& input, int) override {
        ++polls;
        if (clickNext) input.mouseButton(1, 1, false, true);
        clickNext = false;
    }
    bool showBox(std::string_view, PixelView) override { return false; }
    void hideBox() override {}
    int polls = 0;
    bool clickNext = false;
};

// A window's script peeks at lines that may run millions of times a second:
// the clock is read at the keep-alive rounds and the frames instead, and the
// peek after them looks when native events are due to be read (2 ms on) or
// a timer may have fallen due.
TEST(WindowCore, AWindowsPeeksLookWhenTimeMayHaveBroughtSomething) {
    uint64_t clock = 5000;
    PlatformConfig cfg;
    cfg.drive = Drive::Live;
    cfg.clock = std::make_unique<SetClock>(&clock);
    auto native = std::make_unique<ClickingWindow>();
    ClickingWindow* window = native.get();
    WindowCore core(std::move(native), std::move(cfg));
    core.createMainWindow("t", 8, 8, [](const Message&) {});
    Message m;
    core.keepAlive();
    ASSERT_TRUE(core.mayHaveMessage());
    EXPECT_FALSE(core.peekWaiting(m));
    EXPECT_FALSE(core.mayHaveMessage()) << "nothing to look for until time moves";

    const int polls = window->polls;
    clock += 1;
    core.keepAlive();
    EXPECT_FALSE(core.mayHaveMessage());
    EXPECT_FALSE(core.peekWaiting(m));
    EXPECT_EQ(window->polls, polls) << "native events are read at most every 2 ms";

    window->clickNext = true;
    clock += 1;
    core.keepAlive();
    ASSERT_TRUE(core.peekWaiting(m)) << "2 ms on, the peek reads the click";
    EXPECT_EQ(m.message, WM_LBUTTONDOWN);

    core.setTimer(1, 30);  // due at 5032
    clock = 5031;
    core.keepAlive();
    EXPECT_FALSE(core.peekWaiting(m)) << "a millisecond early";
    EXPECT_FALSE(core.mayHaveMessage());
    clock = 5032;
    core.keepAlive();
    ASSERT_TRUE(core.peekWaiting(m)) << "the tick, within 2 ms of the last look";
    EXPECT_EQ(m.message, WM_TIMER);

    // Input held while an event block runs waits for the hold to end.
    core.holdInput(true);
    core.post(Message{kMainWindow, WM_KEYDOWN, 65, 0});
    EXPECT_FALSE(core.peekWaiting(m));
    EXPECT_FALSE(core.mayHaveMessage());
    core.holdInput(false);
    ASSERT_TRUE(core.peekWaiting(m));
    EXPECT_EQ(m.message, WM_KEYDOWN);

    // A frame looks at the clock too.
    core.killTimer(1);
    EXPECT_FALSE(core.peekWaiting(m));
    clock += 2;
    const uint32_t pixels[64] = {};
    core.present(PixelView{pixels, 8, 8});
    EXPECT_TRUE(core.mayHaveMessage());
}

// Unattended, time moves only at the keep-alive rounds (a millisecond each)
// and the waits: a timer's tick is taken at the first peek after the round
// that makes it due, and no peek before it looks.
TEST(WindowCore, AnUnattendedTickIsTakenAtTheFirstPeekOnceDue) {
    WindowCore core(makeHeadlessWindow(), PlatformConfig{});
    core.createMainWindow("t", 8, 8, [](const Message&) {});
    core.setTimer(1, 10);
    Message m;
    EXPECT_FALSE(core.peekWaiting(m));
    for (int round = 1; round < 10; ++round) {
        core.keepAlive();
        EXPECT_FALSE(core.mayHaveMessage()) << "round " << round;
    }
    core.keepAlive();
    ASSERT_TRUE(core.peekWaiting(m));
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(core.tickCount(), 10u);
    EXPECT_FALSE(core.peekWaiting(m)) << "the next tick is an interval away";
}

struct WindowClosed {};

// Inside one long statement (an image decoding) nothing takes messages:
// the heartbeat reads the window's events and, once the close request has
// waited a second, hands it to the window procedure, which ends the run.
TEST(WindowCore, AHeartbeatEndsALongStatementASecondAfterACloseRequest) {
    uint64_t clock = 5000;
    PlatformConfig cfg;
    cfg.drive = Drive::Live;
    cfg.clock = std::make_unique<SetClock>(&clock);
    WindowCore core(std::make_unique<ClosingWindow>(), std::move(cfg));
    int closes = 0;
    core.createMainWindow("t", 8, 8, [&closes](const Message& m) {
        if (m.message != WM_CLOSE) return;
        ++closes;
        throw WindowClosed{};
    });
    clock += 20;
    core.beat();  // reads the close request
    clock += 500;
    core.beat();
    clock += 400;
    core.beat();
    EXPECT_EQ(closes, 0) << "the script has a second to take the request itself";
    clock += 100;
    EXPECT_THROW(core.beat(), WindowClosed);
    EXPECT_EQ(closes, 1);
}

}  // namespace
}  // namespace tessel
