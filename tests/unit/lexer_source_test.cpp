// Reading the source file: a file that cannot be read is one clear
// diagnostic and exit status 1, before any phase runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/interpreter.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

// Runs `script` in --check mode (the source is read as in every mode, and no
// window or font is set up) and returns the box log.
std::string runChecked(const std::string& script, int* status) {
    fs::path log = fs::temp_directory_path() / ("tessel-source-test-" + std::to_string(::getpid()) + ".log");
    Options opts;
    opts.check = true;
    opts.script = script;
    opts.boxLog = log.string();
    WindowCore platform(makeHeadlessWindow(), PlatformConfig{});
    {
        Interpreter interp(platform, opts);
        *status = interp.run();
    }
    std::ifstream in(log);
    std::stringstream s;
    s << in.rdbuf();
    fs::remove(log);
    return s.str();
}

TEST(SourceFile, AMissingFileIsOneDiagnosticAndStatusOne) {
    int status = 0;
    std::string boxes = runChecked("/nonexistent/dir/demo.tsl", &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(boxes,
              "{\"caption\":\"Program Exit!\",\"text\":\"Cannot open source file: "
              "/nonexistent/dir/demo.tsl: No such file or directory\"}\n");
}

TEST(SourceFile, ADirectoryIsNoSourceFile) {
    int status = 0;
    std::string boxes = runChecked(fs::temp_directory_path().string(), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(boxes.find("Cannot open source file: "), std::string::npos) << boxes;
    EXPECT_EQ(boxes.find("Kiv"), std::string::npos) << boxes;
}

}  // namespace
}  // namespace tessel
