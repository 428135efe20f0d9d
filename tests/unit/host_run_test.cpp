// The host's phases around a whole run: what reaches the message loop when
// an event block runs from inside a diagnostic box's modal loop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

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
    EXPECT_EQ(in.vm.memory.num[1], 0.0f);  // n = 7 never ran
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

// A run error in a window run is written at the token that failed, with its
// line and column, though the box names neither.
TEST(HostOptions, WindowRunWritesARunErrorAtItsToken) {
    std::string script = std::filesystem::temp_directory_path() / "tessel_host_type.tsl";
    std::ofstream(script, std::ios::binary) << "STR s\n\ts = \"score: \" + 5\n";
    test::FakePlatform platform(true);
    Options opts;
    opts.script = script;
    opts.quiet = true;
    testing::internal::CaptureStderr();
    int status = 0;
    {
        Interpreter in(platform.core, opts);
        status = in.run();
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    // The caret keeps the line's tab, so it stands under the 5 in any terminal.
    EXPECT_EQ(err, script + ":2:18: TYPE ERROR: Not String! -{ 5 }\n    \ts = \"score: \" + 5\n    \t" +
                       std::string(16, ' ') + "^\n");
    std::remove(script.c_str());
}

// --check --format=json: one object a finding on stdout, without the boxes
// that only say the phases ended after it.
TEST(HostOptions, CheckWritesJsonFindings) {
    auto check = [](const std::string& name, const std::string& source) {
        std::string script = std::filesystem::temp_directory_path() / name;
        std::ofstream(script, std::ios::binary) << source;
        test::FakePlatform platform;
        Options opts;
        opts.script = script;
        opts.check = opts.json = true;
        testing::internal::CaptureStdout();
        int status = 0;
        {
            Interpreter in(platform.core, opts);
            status = in.run();
        }
        std::string out = testing::internal::GetCapturedStdout();
        std::remove(script.c_str());
        EXPECT_EQ(status, 1);
        return std::make_pair(script, out);
    };
    auto [script, out] = check("tessel_host_json.tsl", "VAR a\nIF a = 1\n");
    EXPECT_EQ(out, "{\"file\":\"" + script +
                       "\",\"line\":2,\"column\":1,\"endLine\":2,\"endColumn\":3,\"severity\":\"error\","
                       "\"caption\":\"IF/ENDIF ERROR\",\"text\":\"IF without ENDIF , check code!\",\"rule\":\"\","
                       "\"hint\":\"this IF has no ENDIF (blocks are matched by nesting: each ENDIF closes the latest IF "
                       "still open); add ENDIF where its block ends\"}\n");
    // An empty script: the tokenizer's end is the finding, at no place.
    auto [empty, first] = check("tessel_host_empty.tsl", "");
    EXPECT_EQ(first, "{\"file\":\"" + empty +
                         "\",\"line\":0,\"column\":0,\"endLine\":0,\"endColumn\":0,\"severity\":\"error\","
                         "\"caption\":\"Process Terminated!\",\"text\":\"EXIT from TOKENIZER\",\"rule\":\"\","
                         "\"hint\":\"\"}\n");
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
    EXPECT_EQ(err, script + ":3:1: ERROR: Variable ID not found! -{ y }-Line: 3\n    y = 1\n    ^\n" + script +
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

namespace tessel {
namespace {

// Closing the window while the tokenizer's or the checker's error box is
// open ends the program inside the box's modal loop: the failure counts.
TEST(HostRun, ClosingTheWindowOnAFrontEndErrorBoxFailsTheRun) {
    for (auto [caption, source] : {std::pair{"T:Error", "VAR x\nx = (1\n"},
                                   std::pair{"ERROR", "VAR x\ny = 1\n"},
                                   std::pair{"Program Exit!", "VAR x\ny = 1\n"}}) {
        test::FakePlatform platform(true);
        dispatchWhileBoxIsOpen(platform, caption, Message{kMainWindow, WM_CLOSE, 0, 0});
        Options opts;
        opts.script = writeScript("tessel_host_close_in_front_end_box.tsl", source);
        int status = 0;
        {
            Interpreter in(platform.core, opts);
            status = in.run();
        }
        EXPECT_EQ(status, 1) << caption;
        std::remove(opts.script.c_str());
    }
    // The count box is no failure: closing the window on it ends the
    // program normally.
    test::FakePlatform platform(true);
    dispatchWhileBoxIsOpen(platform, "Kiv", Message{kMainWindow, WM_CLOSE, 0, 0});
    Options opts;
    opts.script = writeScript("tessel_host_close_in_count_box.tsl", "VAR x\nx = 1\n");
    Interpreter in(platform.core, opts);
    EXPECT_EQ(in.run(), 0);
    std::remove(opts.script.c_str());
}

// --record in a window: the recording starts with the seed, and a write
// that fails (a full disk, a folder that is not there) is reported and
// fails the run, which still runs to its end.
struct RecordedRun {
    int status = 0;
    bool ran = false;  // the script's PRINT reached the print log
};

RecordedRun runRecording(const std::string& record) {
    test::FakePlatform platform(true);
    platform.native->onPoll = [moved = false](NativeInput& in) mutable {
        if (!std::exchange(moved, true)) in.mouseMove(5, 6);
    };
    Options opts;
    opts.quiet = true;
    opts.seed = 77;
    opts.record = record;
    // (Tests run side by side in processes of their own: names of their own.)
    const std::string id = std::to_string(getpid());
    opts.printLog = tempPath("tessel_host_record" + id + ".prints");
    opts.script = writeScript("tessel_host_record" + id + ".tsl", "VAR x\nx = 3\nPRINT 0, 0, x\n");
    RecordedRun r;
    {
        Interpreter in(platform.core, opts);
        r.status = in.run();
    }
    std::FILE* f = std::fopen(opts.printLog.c_str(), "rb");
    char buf[64] = {};
    r.ran = f && std::fgets(buf, sizeof buf, f) && std::string(buf).find("\"text\":\"3\"") != std::string::npos;
    if (f) std::fclose(f);
    std::remove(opts.printLog.c_str());
    std::remove(opts.script.c_str());
    return r;
}

TEST(HostRun, RecordingStartsWithTheSeedAndHoldsWhatThePersonDid) {
    std::string path = tempPath("tessel_host_record.events");
    RecordedRun r = runRecording(path);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.ran);
    std::ifstream in(path);
    std::string first, second;
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_EQ(first, "seed 77");
    EXPECT_EQ(second, "move 5 6");
    std::remove(path.c_str());
}

TEST(HostRun, ScriptThatCannotBeReadLeavesAnOlderRecordingAlone) {
    std::string path = tempPath("tessel_host_old_record.events");
    std::ofstream(path) << "seed 1\n";
    test::FakePlatform platform(true);
    Options opts;
    opts.record = path;
    opts.script = tempPath("tessel_host_no_such_script.tsl");
    {
        Interpreter in(platform.core, opts);
        EXPECT_EQ(in.run(), 1);
    }
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "seed 1\n");
    std::remove(path.c_str());
}

TEST(HostRun, RecordingThatCannotBeWrittenFailsTheRun) {
    for (const char* path : {"/dev/full", "/nonexistent-folder/session.events"}) {
        testing::internal::CaptureStderr();
        RecordedRun r = runRecording(path);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_TRUE(r.ran) << path;
        EXPECT_NE(err.find(std::string("tessel: cannot write ") + path), std::string::npos) << err;
    }
}

}  // namespace
}  // namespace tessel
