// `tessel --dap` debugging a window run under the X server of the window
// tests (scripts/window-tests.sh runs it there): a real click hits a
// breakpoint in an event block; stepping back there brings back the earlier
// values, the same GETTICK reading and the earlier picture, and the window
// takes over where the record ends; a pause while the run waits for
// messages stops it there; closing the window while the run stands ends it.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "close_request.h"
#include "dap_process.h"

namespace tessel {
namespace {

using test::at;
using test::DapProcess;
using test::kDir;

constexpr int64_t kVariables = 1;
const std::string kBlue = "0,0,255", kGreen = "0,255,0", kRed = "255,0,0";

// Standard output of a shell command, without its last newline.
std::string shell(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(command.c_str(), "r"), pclose);
    if (!p) return out;
    std::array<char, 256> buf{};
    while (fgets(buf.data(), static_cast<int>(buf.size()), p.get())) out += buf.data();
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

const std::string kFindMainWindow =
    "xdotool search --onlyvisible --name '^Tesselv11_31_8_2023$' 2>/dev/null | tail -1";

std::string mainWindow() {
    for (int i = 0; i < 100; ++i) {
        std::string id = shell(kFindMainWindow);
        if (!id.empty()) return id;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
}

// Waits up to two seconds until no main window is shown.
bool mainWindowGone() {
    for (int i = 0; i < 40; ++i) {
        if (shell(kFindMainWindow).empty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// The window's pixel at (x, y) as "R,G,B".
std::string pixel(const std::string& window, int x, int y) {
    const std::string at = "p{" + std::to_string(x) + "," + std::to_string(y) + "}";
    return shell("import -window " + window +
                 " png:- 2>/dev/null | convert png:- -format '%[fx:int(255*" + at +
                 ".r)],%[fx:int(255*" + at + ".g)],%[fx:int(255*" + at + ".b)]' info:");
}

// Waits until the window shows `rgb` at its middle; what it shows last.
std::string comesToShow(const std::string& window, const std::string& rgb) {
    std::string seen;
    for (int i = 0; i < 60 && seen != rgb; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        seen = pixel(window, 400, 300);
    }
    return seen;
}

void click(const std::string& window) {
    shell("xdotool mousemove --window " + window + " 100 100 click 1");
}

// Debugs window_click.tsl in a window with a breakpoint in its click's
// block and clicks the window; the window (empty when it did not come up).
std::string clickIntoTheBlock(DapProcess& dap) {
    dap.start("window_click.tsl", {at(9)}, Json::object({{"headless", false}}));
    const std::string window = mainWindow();
    if (window.empty()) {
        ADD_FAILURE() << "no window";
    } else if (comesToShow(window, kBlue) != kBlue) {
        ADD_FAILURE() << "the window does not show the script's blue";
        return {};
    } else {
        click(window);
    }
    return window;
}

TEST(DapWindow, StepsBackInAnEventBlockHitByARealClick) {
    DapProcess dap;
    const std::string window = clickIntoTheBlock(dap);
    ASSERT_FALSE(window.empty());
    EXPECT_EQ(dap.event("stopped")["body"]["reason"].asString(), "breakpoint");
    EXPECT_EQ(dap.line(), 9);
    EXPECT_EQ(dap.variables(kVariables)["n"], "1");
    EXPECT_EQ(dap.resume("next"), "step");
    EXPECT_EQ(dap.resume("next"), "step");
    const std::string tick = dap.variables(kVariables)["t"];
    EXPECT_NE(tick, "0");
    EXPECT_EQ(dap.resume("next"), "step");
    EXPECT_EQ(dap.resume("next"), "step");
    EXPECT_EQ(dap.line(), 13);
    EXPECT_EQ(comesToShow(window, kRed), kRed);

    // Real time passes while the run stands; stepping back runs it again
    // from the record to the line before, with the picture of then.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(dap.resume("stepBack"), "step");
    EXPECT_EQ(dap.line(), 12);
    EXPECT_EQ(dap.variables(kVariables)["t"], tick);
    EXPECT_EQ(comesToShow(window, kGreen), kGreen);
    EXPECT_EQ(dap.resume("stepBack"), "step");
    EXPECT_EQ(comesToShow(window, kBlue), kBlue);
    EXPECT_EQ(dap.resume("stepBack"), "step");
    EXPECT_EQ(dap.resume("stepBack"), "step");
    EXPECT_EQ(dap.line(), 9);
    auto vars = dap.variables(kVariables);
    EXPECT_EQ(vars["n"], "1");
    EXPECT_EQ(vars["t"], "0");
    // Forward again: GETTICK gives what it gave the first time.
    EXPECT_EQ(dap.resume("next"), "step");
    EXPECT_EQ(dap.resume("next"), "step");
    EXPECT_EQ(dap.variables(kVariables)["t"], tick);

    // Past the record the window takes over: a second click is the run's.
    dap.body("continue", Json::object({{"threadId", 1}}));
    EXPECT_EQ(comesToShow(window, kRed), kRed);
    click(window);
    EXPECT_EQ(dap.event("stopped")["body"]["reason"].asString(), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["n"], "20");
    dap.body("disconnect");
    EXPECT_EQ(dap.wait(), 0);
}

TEST(DapWindow, PauseWhileTheRunWaitsForMessagesStopsThereAtOnce) {
    DapProcess dap;
    dap.start("window_click.tsl", {}, Json::object({{"headless", false}}));
    const std::string window = mainWindow();
    ASSERT_FALSE(window.empty()) << "no window";
    ASSERT_EQ(comesToShow(window, kBlue), kBlue);
    EXPECT_EQ(dap.resume("pause"), "pause");
    EXPECT_EQ(dap.frames(), std::vector<std::string>({"waiting for messages:0"}));
    EXPECT_EQ(dap.variables(kVariables)["n"], "1");
    // A step from there stops in the block the next click runs.
    dap.body("next", Json::object({{"threadId", 1}}));
    click(window);
    EXPECT_EQ(dap.event("stopped")["body"]["reason"].asString(), "step");
    EXPECT_EQ(dap.line(), 9);
    dap.body("disconnect");
    EXPECT_EQ(dap.wait(), 0);
}

// The person closes the window (its close button: the window manager's
// WM_DELETE_WINDOW) while the run stands at a breakpoint: the run ends as
// a closed window ends it, the client hears so at once, and the adapter
// ends well once the client lets it go.
TEST(DapWindow, ClosingTheWindowWhileStoppedEndsTheRun) {
    DapProcess dap;
    const std::string window = clickIntoTheBlock(dap);
    ASSERT_FALSE(window.empty());
    ASSERT_EQ(dap.event("stopped")["body"]["reason"].asString(), "breakpoint");
    ASSERT_TRUE(test::askWindowToClose(std::stoul(window))) << "the close request was not sent";
    // The stopped run tends its window every few tens of milliseconds.
    constexpr int kSoon = 3000;
    EXPECT_EQ(dap.event("exited", kSoon)["body"]["exitCode"].asInt(), 0);
    EXPECT_EQ(dap.event("terminated", kSoon)["event"].asString(), "terminated");
    EXPECT_TRUE(mainWindowGone());
    dap.body("disconnect");
    EXPECT_EQ(dap.wait(), 0);
}

}  // namespace
}  // namespace tessel
