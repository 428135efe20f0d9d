#include <gtest/gtest.h>

#include "platform/timers.h"

namespace tessel {
namespace {

TEST(Timers, StallGivesOneTickThenCountsFromDelivery) {
    TimerSet t;
    t.set(1, 100, 1000);
    EXPECT_FALSE(t.takeDue(1099));
    // 500 ms late: one tick, not five.
    EXPECT_EQ(t.takeDue(1600), 1u);
    EXPECT_FALSE(t.takeDue(1600));
    EXPECT_EQ(t.nextDeadline(), 1700u);
    EXPECT_FALSE(t.takeDue(1699));
    EXPECT_EQ(t.takeDue(1700), 1u);
}

TEST(Timers, ExactScheduleFromDeadline) {
    TimerSet t;
    t.set(1, 250, 0);
    // Idle time passing: each tick one interval after the previous deadline.
    EXPECT_EQ(t.takeDue(251, 250), 1u);
    EXPECT_EQ(t.nextDeadline(), 500u);
}

TEST(Timers, EarliestDueFirstAndKill) {
    TimerSet t;
    t.set(1, 300, 0);
    t.set(2, 100, 0);
    EXPECT_EQ(t.nextDeadline(), 100u);
    EXPECT_EQ(t.takeDue(400), 2u);  // due at 100, before timer 1's 300
    EXPECT_EQ(t.takeDue(400), 1u);
    t.kill(2);
    t.kill(1);
    EXPECT_TRUE(t.empty());
    EXPECT_FALSE(t.nextDeadline());
}

TEST(Timers, SetAgainReplacesIntervalAndShortIntervalsRiseToTen) {
    TimerSet t;
    t.set(1, 1000, 0);
    t.set(1, 0, 50);
    EXPECT_EQ(t.nextDeadline(), 60u);
    EXPECT_EQ(t.takeDue(60), 1u);
    EXPECT_EQ(t.nextDeadline(), 70u);
}

}  // namespace
}  // namespace tessel
