// Golden script tests. Every tests/scripts/<area>/<case>.tsl is run through
// the tessel binary headless, from its own folder, and what it produced is
// compared with the files beside it:
//
//   <case>.boxes   message boxes, one JSON line each (the --box-log format); required
//   <case>.prints  PRINT records, one JSON line each (the --print-log format)
//   <case>.exit    expected exit status (0 when absent)
//   <case>.events  window events fed with --events
//   <case>.args    extra command-line options, blank-separated (e.g. --check)
//   <case>.stderr  expected standard error, exactly
//   <case>.png     expected screenshot, pixel for pixel
//   <case>.pixels  spot checks, one "X Y RRGGBB" per line, on the screenshot
//
// UPDATE_GOLDEN=1 writes what the run produced as the expected .boxes,
// .prints and .exit files (review them before committing).
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string gTessel;
fs::path gOut;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& data) {
    std::ofstream out(p, std::ios::binary);
    out << data;
}

struct RunResult {
    int status = -1;
    bool timedOut = false;
};

// Runs argv with cwd `dir`, stderr to `errPath`; kills it after `seconds`.
RunResult runProcess(const std::vector<std::string>& args, const fs::path& dir,
                     const fs::path& errPath, int seconds) {
    RunResult r;
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        FILE* err = std::fopen(errPath.c_str(), "wb");
        if (err) dup2(fileno(err), 2);
        FILE* devnull = std::fopen("/dev/null", "rb");
        if (devnull) dup2(fileno(devnull), 0);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int wstatus = 0;
    for (;;) {
        pid_t w = waitpid(pid, &wstatus, WNOHANG);
        if (w == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            r.timedOut = true;
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    return r;
}

std::vector<std::string> splitWords(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

// Compares two logs line by line and names the first difference.
void expectSameLines(const std::string& what, const std::string& expected,
                     const std::string& actual) {
    if (expected == actual) return;
    std::istringstream e(expected), a(actual);
    std::string le, la;
    for (int line = 1;; ++line) {
        bool he = static_cast<bool>(std::getline(e, le));
        bool ha = static_cast<bool>(std::getline(a, la));
        if (!he && !ha) break;
        if (!he || !ha || le != la) {
            ADD_FAILURE() << what << " differ at line " << line << "\n  expected: "
                          << (he ? le : "<end>") << "\n  actual:   " << (ha ? la : "<end>")
                          << "\n--- whole actual " << what << " ---\n"
                          << actual;
            return;
        }
    }
    ADD_FAILURE() << what << " differ (line ends or trailing bytes)";
}

struct Image {
    int w = 0, h = 0;
    std::vector<uint32_t> px;  // 0x00RRGGBB
};

bool loadPng(const fs::path& p, Image& img) {
    SDL_Surface* s = IMG_Load(p.c_str());
    if (!s) return false;
    SDL_Surface* c = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(s);
    if (!c) return false;
    img.w = c->w;
    img.h = c->h;
    img.px.resize(static_cast<size_t>(c->w) * c->h);
    for (int y = 0; y < c->h; ++y) {
        const uint32_t* row =
            reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(c->pixels) + y * c->pitch);
        for (int x = 0; x < c->w; ++x) img.px[static_cast<size_t>(y) * c->w + x] = row[x] & 0xFFFFFF;
    }
    SDL_FreeSurface(c);
    return true;
}

class GoldenTest : public testing::Test {
   public:
    explicit GoldenTest(fs::path script) : script_(std::move(script)) {}

    void TestBody() override {
        fs::path dir = script_.parent_path();
        fs::path base = script_;
        base.replace_extension();
        auto side = [&](const char* ext) { return fs::path(base.string() + ext); };
        std::string name = fs::relative(base, TESSEL_SCRIPTS_DIR).string();
        for (char& c : name)
            if (c == '/') c = '_';
        fs::path out = gOut / name;
        fs::create_directories(out);
        fs::path boxes = out / "boxes.jsonl", prints = out / "prints.jsonl";
        fs::path shot = out / "screenshot.png", err = out / "stderr.txt";
        fs::remove(shot);

        std::vector<std::string> args{gTessel, "--headless", "--box-log", boxes.string(),
                                      "--print-log", prints.string()};
        bool wantShot = fs::exists(side(".png")) || fs::exists(side(".pixels"));
        if (wantShot) args.insert(args.end(), {"--screenshot", shot.string()});
        if (fs::exists(side(".events"))) args.insert(args.end(), {"--events", side(".events").string()});
        if (fs::exists(side(".args")))
            for (const std::string& a : splitWords(readFile(side(".args")))) args.push_back(a);
        args.push_back(script_.filename().string());

        RunResult r = runProcess(args, dir, err, 60);
        ASSERT_FALSE(r.timedOut) << script_ << " did not finish within 60 s";

        std::string actualBoxes = readFile(boxes), actualPrints = readFile(prints);
        int expectedExit = 0;
        if (fs::exists(side(".exit"))) expectedExit = std::atoi(readFile(side(".exit")).c_str());

        if (std::getenv("UPDATE_GOLDEN")) {
            writeFile(side(".boxes"), actualBoxes);
            if (!actualPrints.empty() || fs::exists(side(".prints")))
                writeFile(side(".prints"), actualPrints);
            if (r.status != 0) writeFile(side(".exit"), std::to_string(r.status) + "\n");
            else fs::remove(side(".exit"));
            return;
        }

        EXPECT_EQ(r.status, expectedExit) << "exit status; stderr:\n" << readFile(err);
        ASSERT_TRUE(fs::exists(side(".boxes"))) << "missing " << side(".boxes");
        expectSameLines("message boxes", readFile(side(".boxes")), actualBoxes);
        if (fs::exists(side(".prints")))
            expectSameLines("prints", readFile(side(".prints")), actualPrints);
        if (fs::exists(side(".stderr")))
            expectSameLines("stderr", readFile(side(".stderr")), readFile(err));
        if (wantShot) checkScreenshot(shot, side(".png"), side(".pixels"), out);
    }

   private:
    void checkScreenshot(const fs::path& shot, const fs::path& expectedPng,
                         const fs::path& pixelsFile, const fs::path& out) {
        Image actual;
        ASSERT_TRUE(loadPng(shot, actual)) << "no screenshot was written: " << shot;
        if (fs::exists(expectedPng)) {
            Image expected;
            ASSERT_TRUE(loadPng(expectedPng, expected)) << "cannot read " << expectedPng;
            ASSERT_EQ(actual.w, expected.w);
            ASSERT_EQ(actual.h, expected.h);
            for (size_t i = 0; i < actual.px.size(); ++i) {
                if (actual.px[i] != expected.px[i]) {
                    fs::copy_file(expectedPng, out / "expected.png",
                                  fs::copy_options::overwrite_existing);
                    ADD_FAILURE() << "first differing pixel at (" << i % actual.w << ", "
                                  << i / actual.w << "): expected " << std::hex
                                  << expected.px[i] << ", actual " << actual.px[i]
                                  << "; see " << out;
                    break;
                }
            }
        }
        if (fs::exists(pixelsFile)) {
            std::istringstream in(readFile(pixelsFile));
            std::string line;
            while (std::getline(in, line)) {
                if (line.empty() || line[0] == '#') continue;
                std::istringstream ls(line);
                int x, y;
                std::string hex;
                ASSERT_TRUE(static_cast<bool>(ls >> x >> y >> hex)) << "bad line: " << line;
                ASSERT_TRUE(x >= 0 && y >= 0 && x < actual.w && y < actual.h) << line;
                uint32_t want = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
                uint32_t got = actual.px[static_cast<size_t>(y) * actual.w + x];
                EXPECT_EQ(got, want) << "pixel (" << x << ", " << y << "): expected " << std::hex
                                     << want << ", actual " << got << "; see " << shot;
            }
        }
    }

    fs::path script_;
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    gOut = fs::temp_directory_path() / "tessel-golden";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--tessel=", 0) == 0) gTessel = a.substr(9);
        if (a.rfind("--out=", 0) == 0) gOut = a.substr(6);
    }
    if (gTessel.empty()) {
        std::fprintf(stderr, "usage: tessel_golden --tessel=PATH [--out=DIR]\n");
        return 2;
    }
    gTessel = fs::absolute(gTessel).string();
    std::vector<fs::path> scripts;
    for (const auto& e : fs::recursive_directory_iterator(TESSEL_SCRIPTS_DIR))
        if (e.is_regular_file() && e.path().extension() == ".tsl") scripts.push_back(e.path());
    std::sort(scripts.begin(), scripts.end());
    for (const fs::path& s : scripts) {
        std::string suite = s.parent_path().filename().string();
        std::string name = s.stem().string();
        testing::RegisterTest(suite.c_str(), name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                              [s]() -> testing::Test* { return new GoldenTest(s); });
    }
    return RUN_ALL_TESTS();
}
