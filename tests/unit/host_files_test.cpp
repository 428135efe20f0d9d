// The files of a run: inputs read only from bounded regular files, and
// outputs refused before anything is opened when they would overwrite an
// input or each other, however the path is spelled.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/file_io.h"
#include "host/files.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

// A fresh folder with a script and an events file in it; the test works
// from inside it, as a person in a shell would.
class RunFiles : public ::testing::Test {
   protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tessel_run_files_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "sub");
        old_ = fs::current_path();
        fs::current_path(dir_);
        std::ofstream("s.tsl") << "VAR x\n";
        std::ofstream("e.events") << "wait 10\n";
        opts.script = "s.tsl";
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    std::string refused(std::vector<ScriptedEvent> events = {}) const {
        return refusedOutput(opts, events);
    }

    Options opts;
    fs::path dir_, old_;
};

ScriptedEvent screenshotLine(std::string file, int line) {
    ScriptedEvent e = makeEvent(EventKind::Screenshot, 0, 0, std::move(file));
    e.line = line;
    return e;
}

TEST_F(RunFiles, OutputsNamingTheScriptAreRefusedHoweverSpelled) {
    fs::create_symlink("s.tsl", "link.tsl");
    fs::create_hard_link("s.tsl", "hard.tsl");
    for (const char* spelling : {"s.tsl", "./sub/../s.tsl", "link.tsl", "hard.tsl"}) {
        opts.record = spelling;
        EXPECT_EQ(refused(),
                  std::string("--record ") + spelling + " names the script s.tsl itself");
    }
    opts.record.clear();
    opts.boxLog = (dir_ / "s.tsl").string();
    EXPECT_NE(refused().find("--box-log"), std::string::npos);
}

TEST_F(RunFiles, OutputsNamingTheEventsFileAreRefused) {
    opts.events = "e.events";
    opts.printLog = "./e.events";
    EXPECT_EQ(refused(), "--print-log ./e.events names the events file e.events itself");
    opts.printLog.clear();
    opts.screenshot = "sub/../e.events";
    EXPECT_EQ(refused(), "--screenshot sub/../e.events names the events file e.events itself");
}

TEST_F(RunFiles, TwoOutputsMayNotShareAFileThatIsYetToBeMade) {
    fs::create_symlink("out.txt", "dangling");
    opts.boxLog = "out.txt";
    opts.printLog = "dangling";
    EXPECT_EQ(refused(), "--box-log out.txt and --print-log dangling name the same file");
    opts.printLog = "sub/../out.txt";
    EXPECT_EQ(refused(), "--box-log out.txt and --print-log sub/../out.txt name the same file");
    opts.printLog = "sub/out.txt";
    EXPECT_EQ(refused(), "");
    EXPECT_FALSE(fs::exists("out.txt"));  // checking made nothing
}

TEST_F(RunFiles, OutputsMayShareADeviceWhereNothingIsOverwritten) {
    opts.boxLog = "/dev/null";
    opts.printLog = "/dev/null";
    EXPECT_EQ(refused(), "");
}

TEST_F(RunFiles, ScreenshotLinesOfTheEventsFileAreOutputsToo) {
    opts.events = "e.events";
    EXPECT_EQ(refused({screenshotLine("s.tsl", 3)}),
              "e.events:3: screenshot s.tsl names the script s.tsl itself");
    EXPECT_EQ(refused({screenshotLine("e.events", 2)}),
              "e.events:2: screenshot e.events names the events file e.events itself");
    // One file taken again and again is one output.
    EXPECT_EQ(refused({screenshotLine("a.png", 1), screenshotLine("./a.png", 4)}), "");
    opts.screenshot = "a.png";
    EXPECT_EQ(refused({screenshotLine("a.png", 1)}),
              "--screenshot a.png and e.events:1: screenshot a.png name the same file");
}

TEST_F(RunFiles, InputsAreReadOnlyFromBoundedRegularFiles) {
    std::string text, why;
    EXPECT_TRUE(readBoundedFile("s.tsl", 1 << 20, text, why));
    EXPECT_EQ(text, "VAR x\n");
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    EXPECT_FALSE(
        readBoundedFile("pipe", 1 << 20, text, why));  // no writer: refused, not waited for
    EXPECT_EQ(why, "not a regular file");
    EXPECT_FALSE(readBoundedFile("/dev/zero", 1 << 20, text, why));
    EXPECT_EQ(why, "not a regular file");
    EXPECT_FALSE(readBoundedFile("sub", 1 << 20, text, why));
    EXPECT_EQ(why, "Is a directory");
    std::ofstream("big") << std::string((1 << 20) + 1, 'x');
    EXPECT_FALSE(readBoundedFile("big", 1 << 20, text, why));
    EXPECT_EQ(why, "larger than 1 MiB");
    EXPECT_TRUE(text.empty());
}

// (The page's entry points write their answers this way.)
TEST_F(RunFiles, AWholeFileWrittenHoldsExactlyItsBytes) {
    std::string text, why;
    const std::string bytes("{\"a\":1}\0\xff\n", 10);
    ASSERT_TRUE(writeWholeFile("out.jsonl", bytes));
    ASSERT_TRUE(readBoundedFile("out.jsonl", 1 << 20, text, why));
    EXPECT_EQ(text, bytes);
    ASSERT_TRUE(writeWholeFile("out.jsonl", "{}"));  // a shorter text leaves nothing of the longer
    ASSERT_TRUE(readBoundedFile("out.jsonl", 1 << 20, text, why));
    EXPECT_EQ(text, "{}");
    EXPECT_FALSE(writeWholeFile("sub", "x"));
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    EXPECT_FALSE(writeWholeFile("pipe", "x"));  // no reader: refused, not waited for
}

}  // namespace
}  // namespace tessel
