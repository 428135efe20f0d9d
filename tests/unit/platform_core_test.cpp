// The window core over a backend whose clock starts at zero, as a page's
// clock does: timers still fall due on time for a running script's peeks.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/window_core.h"

namespace tessel {
namespace {

// Headless, but with its own clock: zero when it was made.
class ZeroStartWindow final : public NativeWindow {
   public:
    bool interactive() const override { return false; }
    bool open(std::string_view, int, int) override { return true; }
    void present(const uint32_t*, int, int) override {}
    void pollEvents(NativeInput&, int) override {}
    uint64_t clockMs() override { return clock_.exactMs() - start_; }
    bool showBox(std::string_view, const uint32_t*, int, int) override { return false; }
    void hideBox() override {}

   private:
    MonotonicClock clock_;
    uint64_t start_ = clock_.exactMs();
};

// A window whose boxes nobody confirms: a box shown there would wait for ever.
class UnattendedWindow final : public NativeWindow {
   public:
    bool interactive() const override { return true; }
    bool open(std::string_view, int, int) override { return true; }
    void present(const uint32_t*, int, int) override {}
    void pollEvents(NativeInput& in, int) override {
        if (boxShown) in.closeRequest();  // the test ends the wait it should not have
    }
    uint64_t clockMs() override { return 0; }
    bool showBox(std::string_view, const uint32_t*, int, int) override { return boxShown = true; }
    void hideBox() override {}
    bool boxShown = false;
};

// An events file drives a window run even when it holds no event (an empty
// file, /dev/null): its boxes are confirmed at once, as with any other.
TEST(WindowCore, AnEventsFileWithoutEventsConfirmsBoxes) {
    auto native = std::make_unique<UnattendedWindow>();
    UnattendedWindow* window = native.get();
    PlatformConfig cfg;
    cfg.scripted = true;
    WindowCore core(std::move(native), std::move(cfg));
    core.createMainWindow("t", 8, 8, [](const Message&) {});
    testing::internal::CaptureStderr();
    core.messageBox("Caption", "text");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Caption: text\n");
    EXPECT_FALSE(window->boxShown);
}

TEST(WindowCore, TimersFallDueOnABackendClockOfItsOwn) {
    WindowCore core(std::make_unique<ZeroStartWindow>(), PlatformConfig{});
    core.createMainWindow("t", 8, 8, [](const Message&) {});
    EXPECT_LT(core.tickCount(), 1000u) << "the tick count is the backend's clock";
    // Read before the timer is set: read after, the clock may already have
    // moved on by a millisecond and the tick would seem early.
    const uint32_t start = core.tickCount();
    core.setTimer(1, 30);
    // Peeks alone, as a running script makes them: the core reads no clock
    // of the backend's until the coarse estimate says the tick may be due.
    MonotonicClock system;
    const uint64_t giveUp = system.exactMs() + 3000;
    Message m;
    bool got = false;
    while (!got && system.exactMs() < giveUp) got = core.peekWaiting(m);
    const uint32_t elapsed = core.tickCount() - start;
    ASSERT_TRUE(got);
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_GE(elapsed, 30u) << "not early";
    EXPECT_LT(elapsed, 1000u) << "not (much) late";
}

// A window whose clock the test sets, and whose person asks to close it at
// the first read of its events.
class ClosingWindow final : public NativeWindow {
   public:
    explicit ClosingWindow(uint64_t* clock) : clock_(clock) {}
    bool interactive() const override { return true; }
    bool open(std::string_view, int, int) override { return true; }
    void present(const uint32_t*, int, int) override {}
    void pollEvents(NativeInput& input, int) override {
        if (!asked_) input.closeRequest();
        asked_ = true;
    }
    uint64_t clockMs() override { return *clock_; }
    bool showBox(std::string_view, const uint32_t*, int, int) override { return false; }
    void hideBox() override {}

   private:
    uint64_t* clock_;
    bool asked_ = false;
};

struct WindowClosed {};

// Inside one long statement (an image decoding) nothing takes messages:
// the heartbeat reads the window's events and, once the close request has
// waited a second, hands it to the window procedure, which ends the run.
TEST(WindowCore, AHeartbeatEndsALongStatementASecondAfterACloseRequest) {
    uint64_t clock = 5000;
    WindowCore core(std::make_unique<ClosingWindow>(&clock), PlatformConfig{});
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
