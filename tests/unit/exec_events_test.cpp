// The window procedure: which event blocks run when, what the event
// statements read, the timer, and re-entry while a run is in progress.
#include "exec_test_support.h"

namespace tessel::test {
namespace {

TEST(ExecEvents, KeyBlocksRunWhenIdleAndReadTheKeyCode) {
    Program p(
        "PTR down , up\n"
        "WINMSG WMKEYDOWN\n"
        "HWPARAM down\n"
        "ENDWM\n"
        "WINMSG WMKEYUP\n"
        "HWPARAM up\n"
        "ENDWM\n");
    p.run();
    p.send(WM_KEYDOWN, 65);
    p.send(WM_KEYUP, 66);
    EXPECT_EQ(p.var("down").ptr, 65);
    EXPECT_EQ(p.var("up").ptr, 66);
    EXPECT_EQ(p.in.vm.exec.wordParam, 0) << "HWPARAM clears what it read";
    EXPECT_FALSE(p.in.vm.exec.running);
}

TEST(ExecEvents, MouseMoveRecordsThePositionReadOnce) {
    Program p(
        "VAR x , y , again\n"
        "WINMSG WMMOUSEMOVE\n"
        "MOUSEX x\n"
        "MOUSEY y\n"
        "MOUSEX again\n"
        "ENDWM\n");
    p.run();
    p.send(WM_MOUSEMOVE, 0, makeLParam(30, 40));
    EXPECT_EQ(p.var("x").num, 30.0f);
    EXPECT_EQ(p.var("y").num, 40.0f);
    EXPECT_EQ(p.var("again").num, 0.0f);
}

TEST(ExecEvents, IdleBlocksWaitWhileScriptCodeRuns) {
    Program p(
        "WINMSG WMLBUTTONDOWN\n"
        "SWAP\n"
        "ENDWM\n"
        "WINMSG WMTIMER\n"
        "SWAP\n"
        "ENDWM\n");
    p.run();
    p.in.vm.exec.running = true;
    p.send(WM_LBUTTONDOWN);
    p.send(WM_TIMER, kTimerId);
    EXPECT_EQ(p.presents(), 0);
    p.in.vm.exec.running = false;
    p.send(WM_LBUTTONDOWN);
    p.send(WM_TIMER, kTimerId);
    EXPECT_EQ(p.presents(), 2);
}

TEST(ExecEvents, ACommandDuringARunResumesTheRunWhereItWas) {
    Program p(
        "PTR k\n"
        "SWAP\n"
        "SWAP\n"
        "WINMSG WMCOMMAND\n"
        "HWPARAM k\n"
        "ENDWM\n");
    p.platform.core.post(Message{kMainWindow, WM_COMMAND, 1, 0});
    p.run();
    EXPECT_EQ(p.var("k").ptr, 1);
    EXPECT_EQ(p.presents(), 2) << "the main run was not restarted";
    EXPECT_FALSE(p.in.vm.exec.running);
}

TEST(ExecEvents, OnlyDialogCommandsWithoutNotificationRunTheBlock) {
    Program p(
        "WINMSG WMCOMMAND\n"
        "SWAP\n"
        "ENDWM\n");
    p.run();
    p.send(WM_COMMAND, 1u | (1u << 16));
    p.send(WM_COMMAND, 3);
    EXPECT_EQ(p.presents(), 0);
    EXPECT_EQ(p.in.vm.exec.wordParam, 3);
    p.send(WM_COMMAND, 2);
    EXPECT_EQ(p.presents(), 1);
}

TEST(ExecEvents, ARunAbortLeavesTheInterpreterIdle) {
    Program p(
        "VAR x\n"
        "WEND\n"
        "WINMSG WMRBUTTONDOWN\n"
        "SWAP\n"
        "ENDWM\n"
        "WHILE x = 1\n");
    EXPECT_THROW(p.run(), RunAbort);
    EXPECT_FALSE(p.in.vm.exec.running);
    EXPECT_EQ(p.in.vm.exec.runDepth, 0);
    p.send(WM_RBUTTONDOWN);
    EXPECT_EQ(p.presents(), 1);
}

TEST(ExecEvents, AMainRunThatRanOffTheEndIsIdle) {
    Program p(
        "GOTO last\n"
        "WINMSG WMTIMER\n"
        "SWAP\n"
        "ENDWM\n"
        "LABEL last\n"
        "SWAP\n");
    p.run();
    EXPECT_EQ(p.presents(), 1);
    p.send(WM_TIMER, kTimerId);
    EXPECT_EQ(p.presents(), 2);
}

TEST(ExecEvents, PaintShowsTheBackBufferOnlyInModeOne) {
    Program p("VAR x\n");
    p.send(WM_PAINT);
    EXPECT_EQ(p.presents(), 0);
    p.in.vm.exec.displayMode = 1;
    p.send(WM_PAINT);
    EXPECT_EQ(p.presents(), 1);
}

TEST(ExecEvents, ClosingTheWindowEndsTheProgram) {
    Program p("VAR x\n");
    try {
        p.send(WM_CLOSE);
        FAIL() << "no ProgramExit";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.status, 0);
    }
    EXPECT_TRUE(p.in.vm.exec.windowClosed);
}

TEST(ExecEvents, TimerIntervalsComeFromVariablesAndAreAtLeastTenMs) {
    Program p(
        "VAR t , tick\n"
        "TIMERON t\n"
        "WINMSG WMTIMER\n"
        "TIMERON t\n"
        "GETTICK tick\n"
        "ENDWM\n"
        "WINMSG WMLBUTTONDOWN\n"
        "TIMEROFF\n"
        "ENDWM\n");
    p.run();
    EXPECT_EQ(p.platform.core.timerInterval(kTimerId), 10u);
    p.var("t").num = 250.0f;
    p.platform.clock = 123456;
    p.send(WM_TIMER, kTimerId);
    EXPECT_EQ(p.platform.core.timerInterval(kTimerId), 250u);
    EXPECT_EQ(p.var("tick").num, 123456.0f);
    p.send(WM_LBUTTONDOWN);
    EXPECT_FALSE(p.platform.core.timerInterval(kTimerId));
}

TEST(ExecEvents, TimerOnTakesALiteral) {
    Program p("TIMERON 100\n");
    p.run();
    EXPECT_EQ(p.platform.core.timerInterval(kTimerId), 100u);
    Program q("TIMERON 3\n");
    q.run();
    EXPECT_EQ(q.platform.core.timerInterval(kTimerId), 10u);
}

TEST(ExecEvents, EndlessLoopsKeepThePlatformAliveAndCanBeClosed) {
    Program p(
        "LABEL l\n"
        "GOTO l\n");
    // The loop keeps reading native events; a close request ends it.
    FakeNative& native = *p.platform.native;
    p.platform.clockStep = 1;
    native.onPoll = [&native](NativeInput& in) {
        if (native.polls == 3) in.closeRequest();
    };
    EXPECT_THROW(p.run(), ProgramExit);
    EXPECT_EQ(native.polls, 3);
    EXPECT_FALSE(p.in.vm.exec.running);
}

// A long move block, and blocks that count clicks and read keys.
const char* const kLongMoveBlock =
    "VAR i , clicks , key\n"
    "WINMSG WMMOUSEMOVE\n"
    "i = 0\n"
    "WHILE i < 50000\n"
    "i = i + 1\n"
    "WEND\n"
    "ENDWM\n"
    "WINMSG WMLBUTTONDOWN\n"
    "clicks = clicks + 1\n"
    "ENDWM\n"
    "WINMSG WMKEYDOWN\n"
    "HWPARAM key\n"
    "ENDWM\n";

// The person's input, given when the running script first reads native events.
void giveInputOnFirstLook(FakePlatform& platform) {
    FakeNative* native = platform.native;
    platform.clockStep = 1;
    native->onPoll = [native](NativeInput& in) {
        if (native->polls != 1) return;
        in.mouseButton(5, 5, false, true);
        in.mouseButton(5, 5, false, false);
        in.mouseMove(7, 7);
        in.key(65, true);
        in.mouseMove(9, 9);
    };
}

// The message loop once the script is idle: the messages it dispatches.
std::vector<Message> runMessageLoop(Program& p) {
    std::vector<Message> seen;
    Message m;
    while (p.platform.core.getMessage(m)) {
        seen.push_back(m);
        if (!p.platform.core.isDialogMessage(m)) p.platform.core.dispatchMessage(m);
    }
    return seen;
}

TEST(ExecEvents, InputDuringAnEventBlockIsHeldAndDeliveredInOrderAfterIt) {
    Program p(kLongMoveBlock);
    p.run();
    giveInputOnFirstLook(p.platform);
    p.send(WM_MOUSEMOVE, 0, makeLParam(1, 1));
    ASSERT_GE(p.platform.native->polls, 1) << "the block never read native events";
    EXPECT_EQ(p.var("clicks").num, 0.0f) << "no block runs inside another";
    std::vector<Message> seen = runMessageLoop(p);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(seen[1].message, WM_LBUTTONUP);
    EXPECT_EQ(seen[2].message, WM_KEYDOWN);
    EXPECT_EQ(seen[3].message, WM_MOUSEMOVE) << "the moves merged into the newest";
    EXPECT_EQ(seen[3].lParam, makeLParam(9, 9));
    EXPECT_EQ(p.var("clicks").num, 1.0f);
    EXPECT_EQ(p.var("key").num, 65.0f);
}

TEST(ExecEvents, AFloodOfCommandsDuringABlockRunsOneBlockAfterAnother) {
    // Each run of the block services the next command: held, it waits for
    // the block's end instead of nesting one level deeper.
    Program p(
        "WINMSG WMCOMMAND\n"
        "SWAP\n"
        "ENDWM\n");
    p.run();
    for (int i = 0; i < 500; ++i) p.platform.core.post(Message{kMainWindow, WM_COMMAND, 1, 0});
    p.send(WM_COMMAND, 1);
    EXPECT_EQ(p.presents(), 1);
    EXPECT_EQ(runMessageLoop(p).size(), 500u);
    EXPECT_EQ(p.presents(), 501);
    EXPECT_EQ(p.in.vm.exec.runDepth, 0);
    EXPECT_FALSE(p.in.vm.exec.droppedBlockNoted);
}

}  // namespace
}  // namespace tessel::test
