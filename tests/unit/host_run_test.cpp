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
// main window (once) and the box's modal loop dispatches it.
void dispatchWhileBoxIsOpen(test::FakePlatform& p, std::string caption, Message msg) {
    p.native->onShowBox = [&p, caption, msg, sent = false](const std::string& shown) mutable {
        if (shown != caption || sent) return;
        sent = true;
        p.core.post(msg);
    };
}

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

std::vector<std::string> readBoxes(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<std::string> boxes = test::FakePlatform::readBoxLog(f);
    if (f) std::fclose(f);
    std::remove(path.c_str());
    return boxes;
}

TEST(HostRun, AbortInsideTheCheckersBoxReachesTheMessageLoop) {
    // The checker has registered the click block when PRINT's argument fails;
    // a click dispatched by that error's box runs the block, whose type error
    // aborts the run. The program goes on to its message loop and ends with
    // status 1 instead of dying on the unwinding abort.
    test::FakePlatform platform(true);
    dispatchWhileBoxIsOpen(platform, "ERROR~print", Message{kMainWindow, WM_LBUTTONDOWN, 0, 0});
    Options opts;
    opts.boxLog = tempPath("tessel_host_abort_in_box.boxes");
    opts.script = writeScript("tessel_host_abort_in_box.tsl",
                              "STR s\nWINMSG WMLBUTTONDOWN\ns = \"a\" + 5\nENDWM\nPRINT \"x\"\n");
    int status = 0;
    {
        Interpreter in(platform.core, opts);
        status = in.run();
    }
    EXPECT_EQ(status, 1);
    std::vector<std::string> boxes = readBoxes(opts.boxLog);
    ASSERT_GE(boxes.size(), 3u);
    EXPECT_EQ(boxes[1], "ERROR~print|Wrong Argument(1)! -{ x }-Line: 5");
    EXPECT_EQ(boxes[2], "TYPE ERROR|Not String! -{ 5 }");
    std::remove(opts.script.c_str());
}

TEST(HostRun, AbortInsideARunsBoxEndsOnlyThatRun) {
    // A box shown by the main run (a handle of the wrong kind) dispatches a
    // command, whose block runs nested and aborts: the main run is abandoned
    // with it, and the program ends through its message loop.
    test::FakePlatform platform(true);
    dispatchWhileBoxIsOpen(platform, "Hendler Error!", Message{kMainWindow, WM_COMMAND, 1, 0});
    Options opts;
    opts.script = writeScript("tessel_host_abort_in_run_box.tsl",
                              "VAR n\nSTR s\nSETTEXT n, s\nn = 7\n"
                              "WINMSG WMCOMMAND\ns = \"a\" + 5\nENDWM\n");
    Interpreter in(platform.core, opts);
    EXPECT_EQ(in.run(), 1);
    EXPECT_EQ(in.vm.memory.vars[1].num, 0.0f);  // n = 7 never ran
    std::remove(opts.script.c_str());
}

TEST(HostRun, ClosingTheWindowWhileARunErrorIsShownStillFailsTheRun) {
    // The window is closed from inside the box of a run error, before the
    // abort itself is thrown: the program ends there, and its status is 1.
    test::FakePlatform platform(true);
    dispatchWhileBoxIsOpen(platform, "Run Error!", Message{kMainWindow, WM_CLOSE, 0, 0});
    Options opts;
    opts.boxLog = tempPath("tessel_host_close_in_error_box.boxes");
    opts.script = writeScript("tessel_host_close_in_error_box.tsl",
                              "VAR i\nGOTO x\nWHILE i < 1\nLABEL x\nWEND\n");
    int status = 0;
    {
        Interpreter in(platform.core, opts);
        status = in.run();
    }
    EXPECT_EQ(status, 1);
    std::vector<std::string> boxes = readBoxes(opts.boxLog);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), "Run Error!|WEND without a running WHILE! : WEND -Line: 5");
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
        opts.boxLog = tempPath("tessel_host_quiet.boxes");
        {
            Interpreter in(platform.core, opts);
            in.run();
        }
        return readBoxes(opts.boxLog);
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
    test::FakePlatform platform(true);
    Options opts;
    opts.script = script;  // a window run: not headless, not --check
    opts.boxLog = tempPath("tessel_host_echo.boxes");
    testing::internal::CaptureStderr();
    {
        Interpreter in(platform.core, opts);
        in.run();
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, script + ":3: ERROR: Variable ID not found! -{ y }-Line: 3\n    y = 1\n" + script +
                       ": Program Exit!: END\n");
    EXPECT_EQ(readBoxes(opts.boxLog).size(), 3u);  // the count box is shown, not written
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
    Interpreter in(platform.core, opts);
    EXPECT_EQ(in.run(), 0);
    EXPECT_EQ(in.vm.tokens.source(), "STR s\ns = \"\xE9\"\n");
    std::remove(script.c_str());
}

}  // namespace
}  // namespace tessel
