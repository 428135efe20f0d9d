// The host's phases around a whole run: what reaches the message loop when
// an event block runs from inside a diagnostic box's modal loop.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "exec_test_support.h"

namespace tessel {
namespace {

std::string writeScript(const std::string& name, const std::string& text) {
    auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

// While the box whose caption is `caption` is open, `msg` arrives for the
// main window and the box's modal loop dispatches it.
void dispatchWhileBoxIsOpen(test::FakePlatform& p, std::string caption, Message msg) {
    p.onMessageBox = [&p, caption, msg] {
        if (p.boxes.back().rfind(caption + "|", 0) == 0) p.dispatchMessage(msg);
    };
}

TEST(HostRun, AbortInsideTheCheckersBoxReachesTheMessageLoop) {
    // The checker has registered the click block when PRINT's argument fails;
    // a click dispatched by that error's box runs the block, whose type error
    // aborts the run. The program goes on to its message loop and ends with
    // status 1 instead of dying on the unwinding abort.
    test::FakePlatform platform;
    dispatchWhileBoxIsOpen(platform, "ERROR~print", Message{kMainWindow, WM_LBUTTONDOWN, 0, 0});
    Options opts;
    opts.script = writeScript("tessel_host_abort_in_box.tsl",
                              "STR s\nWINMSG WMLBUTTONDOWN\ns = \"a\" + 5\nENDWM\nPRINT \"x\"\n");
    Interpreter in(platform, opts);
    EXPECT_EQ(in.run(), 1);
    ASSERT_GE(platform.boxes.size(), 3u);
    EXPECT_EQ(platform.boxes[1], "ERROR~print|Wrong Argument(1)! -{ x }-Line: 5");
    EXPECT_EQ(platform.boxes[2], "TYPE ERROR|Not String! -{ 5 }");
    std::remove(opts.script.c_str());
}

TEST(HostRun, AbortInsideARunsBoxEndsOnlyThatRun) {
    // A box shown by the main run (a handle of the wrong kind) dispatches a
    // command, whose block runs nested and aborts: the main run is abandoned
    // with it, and the program ends through its message loop.
    test::FakePlatform platform;
    dispatchWhileBoxIsOpen(platform, "Hendler Error!", Message{kMainWindow, WM_COMMAND, 1, 0});
    Options opts;
    opts.script = writeScript("tessel_host_abort_in_run_box.tsl",
                              "VAR n\nSTR s\nSETTEXT n, s\nn = 7\n"
                              "WINMSG WMCOMMAND\ns = \"a\" + 5\nENDWM\n");
    Interpreter in(platform, opts);
    EXPECT_EQ(in.run(), 1);
    EXPECT_EQ(in.vm.memory.vars[1].num, 0.0f);  // n = 7 never ran
    std::remove(opts.script.c_str());
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

TEST(HostOptions, QuietLeavesOutExactlyTheCountBox) {
    std::string script = std::filesystem::temp_directory_path() / "tessel_host_quiet.tsl";
    std::ofstream(script, std::ios::binary) << "VAR x\ny = 1\n";
    auto boxesOf = [&](bool quiet) {
        test::FakePlatform platform;
        Options opts;
        opts.script = script;
        opts.headless = true;
        opts.quiet = quiet;
        Interpreter in(platform, opts);
        in.run();
        return platform.boxes;
    };
    std::vector<std::string> loud = boxesOf(false), quiet = boxesOf(true);
    ASSERT_FALSE(loud.empty());
    EXPECT_EQ(loud.front().rfind("Kiv|", 0), 0u);
    loud.erase(loud.begin());
    EXPECT_EQ(quiet, loud);
    std::remove(script.c_str());
}

TEST(HostOptions, WindowRunWritesEachDiagnosticToStderr) {
    std::string script = std::filesystem::temp_directory_path() / "tessel_host_echo.tsl";
    std::ofstream(script, std::ios::binary) << "VAR x\n\ny = 1\n";
    test::FakePlatform platform;
    Options opts;
    opts.script = script;  // a window run: not headless, not --check
    Interpreter in(platform, opts);
    testing::internal::CaptureStderr();
    in.run();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, script + ":3: ERROR: Variable ID not found! -{ y }-Line: 3\n    y = 1\n" + script +
                       ": Program Exit!: END\n");
    EXPECT_EQ(platform.boxes.size(), 3u);  // the count box is shown, not written
    std::remove(script.c_str());
}

TEST(HostOptions, Utf8ScriptIsReadAsWindows1252) {
    std::string script = std::filesystem::temp_directory_path() / "tessel_host_utf8.tsl";
    std::ofstream(script, std::ios::binary) << "\xEF\xBB\xBFSTR s\ns = \"\xC3\xA9\"\n";
    test::FakePlatform platform;
    Options opts;
    opts.script = script;
    opts.headless = true;
    opts.utf8 = true;
    Interpreter in(platform, opts);
    EXPECT_EQ(in.run(), 0);
    EXPECT_EQ(in.host.source, "STR s\ns = \"\xE9\"\n");
    std::remove(script.c_str());
}

}  // namespace
}  // namespace tessel
