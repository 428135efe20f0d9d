#include "diff/harness.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "golden/cases.h"
#include "host/interpreter.h"
#include "oracle/walker.h"
#include "platform/events_file.h"

namespace tessel::diff {

namespace fs = std::filesystem;

namespace {

// This process's own scratch folder, removed when the process ends.
const fs::path& scratch() {
    struct Folder {
        fs::path path = fs::temp_directory_path() / ("tessel-diff-" + std::to_string(getpid()));
        Folder() { fs::create_directories(path); }
        ~Folder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return folder.path;
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Standard error goes to a file for as long as one of these lives.
class CapturedErrors {
   public:
    explicit CapturedErrors(const fs::path& file) {
        std::fflush(stderr);
        saved_ = dup(2);
        int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            dup2(fd, 2);
            close(fd);
        }
    }
    ~CapturedErrors() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            dup2(saved_, 2);
            close(saved_);
        }
    }
    CapturedErrors(const CapturedErrors&) = delete;
    CapturedErrors& operator=(const CapturedErrors&) = delete;

   private:
    int saved_ = -1;
};

// The folder a run works in, for as long as one of these lives.
class WorkingFolder {
   public:
    explicit WorkingFolder(const fs::path& dir) : saved_(fs::current_path()) {
        if (!dir.empty()) fs::current_path(dir);
    }
    ~WorkingFolder() { fs::current_path(saved_); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

   private:
    fs::path saved_;
};

}  // namespace

Outcome run(const Script& script, Engine* engine, uint64_t workBudget) {
    const fs::path dir = scratch();
    const fs::path source = dir / "script.tsl", boxes = dir / "boxes.jsonl", prints = dir / "prints.jsonl";
    const fs::path shot = dir / "screenshot.png", errors = dir / "stderr.txt";
    golden::writeFile(source, script.source);
    fs::remove(shot);

    std::vector<std::string> args{"tessel", "--headless", "--box-log", boxes.string(), "--print-log",
                                  prints.string(), "--screenshot", shot.string()};
    args.insert(args.end(), script.args.begin(), script.args.end());
    args.push_back(source.string());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    Outcome out;
    Options opts;
    {
        CapturedErrors capture(errors);
        if (parseOptions(static_cast<int>(argv.size()), argv.data(), opts) != ParseResult::Run) {
            out.status = 2;
            out.errors = slurp(errors);
            return out;
        }
    }
    PlatformConfig cfg;
    cfg.keepFrames = true;
    std::string error;
    if (!script.events.empty() && !parseEvents(script.events, "events", cfg.events, &error)) {
        out.status = 2;
        out.errors = error;
        return out;
    }
    if (std::optional<uint32_t> seed = takeSeed(cfg.events); seed && !opts.seed) opts.seed = seed;
    {
        WorkingFolder folder(script.dir);
        CapturedErrors capture(errors);
        WindowCore platform(makeHeadlessWindow(), std::move(cfg));
        Interpreter in(platform, opts);
        in.vm.engine = engine;
        in.vm.exec.workBudget = workBudget;
        out.status = in.run();
        out.clock = platform.tickCount();
    }
    out.boxes = slurp(boxes);
    out.prints = slurp(prints);
    out.screenshot = slurp(shot);
    out.errors = slurp(errors);
    return out;
}

namespace {

// The first line where two logs part, or "".
std::string firstDifference(const char* what, const std::string& a, const std::string& b) {
    if (a == b) return {};
    std::istringstream x(a), y(b);
    std::string lx, ly;
    for (int line = 1;; ++line) {
        bool gx = static_cast<bool>(std::getline(x, lx)), gy = static_cast<bool>(std::getline(y, ly));
        if (!gx && !gy) break;
        if (gx && gy && lx == ly) continue;
        return std::string(what) + " part at line " + std::to_string(line) + ":\n  executor: " +
               (gx ? lx : "(nothing)") + "\n  walker:   " + (gy ? ly : "(nothing)") + "\n";
    }
    return std::string(what) + " differ\n";
}

}  // namespace

std::string compareEngines(const Script& script, uint64_t workBudget) {
    Outcome executor = run(script, nullptr, workBudget);
    oracle::Walker walker;
    Outcome oracle = run(script, &walker, workBudget);
    std::string d;
    if (executor.status != oracle.status)
        d += "exit status: executor " + std::to_string(executor.status) + ", walker " +
             std::to_string(oracle.status) + "\n";
    d += firstDifference("boxes", executor.boxes, oracle.boxes);
    d += firstDifference("prints", executor.prints, oracle.prints);
    d += firstDifference("standard error", executor.errors, oracle.errors);
    if (executor.screenshot != oracle.screenshot) d += "final screenshots differ\n";
    if (executor.clock != oracle.clock)
        d += "virtual time: executor " + std::to_string(executor.clock) + " ms, walker " +
             std::to_string(oracle.clock) + " ms\n";
    return d;
}

Script fromGoldenSource(const std::string& name, const std::string& source, const fs::path& dir) {
    Script s;
    s.name = name;
    s.source = source;
    s.dir = dir;
    for (const std::string& line : golden::splitLines(source)) {
        std::optional<std::string> comment = golden::commentOf(line);
        if (!comment) continue;
        std::string c = golden::skipBlanks(*comment);
        if (golden::startsWith(c, "args:")) {
            for (const std::string& w : golden::splitWords(c.substr(5))) s.args.push_back(w);
        } else if (golden::startsWith(c, "event:")) {
            s.events += golden::skipBlanks(c.substr(6)) + "\n";
        } else if (golden::startsWith(c, "events:")) {
            s.events += golden::readFile(dir / golden::skipBlanks(c.substr(7)));
        }
    }
    return s;
}

}  // namespace tessel::diff
