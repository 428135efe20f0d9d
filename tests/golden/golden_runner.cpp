// Golden script tests. A case is a tessel script that states what it expects
// in its own apostrophe comments:
//
//   ' expect box: CAPTION | TEXT     one message box, in order
//   ' expect print: X Y TEXT         one PRINT record, in order
//   ' expect no prints               the run prints nothing
//   ' expect pixel: X Y RRGGBB       one pixel of the final screenshot
//   ' expect screenshot: FILE.png    the whole final screenshot, pixel for pixel
//   ' expect exit: N                 exit status (0 when absent)
//   ' expect stderr: TEXT            one line of standard error, in order
//   ' args: OPTIONS                  extra command-line options
//   ' event: LINE                    one line of the events file, in order
//   ' events: FILE                   an events file beside the script
//
// TEXT fields take the escapes \r \n \t \\ and \xHH. Boxes are always
// compared in full; the lexing phase's token-count box ("Kiv") only when the
// case expects one. Prints are compared when the case expects any, stderr
// when the case expects any line of it.
//
// Cases come from the roots named on the command line: folders, searched for
// .tsl files, and Markdown files, whose code blocks fenced as `tessel` are
// cases numbered from 1 (`tessel no-test` blocks are skipped but counted).
// A case runs headless from its own folder (a Markdown file's folder for its
// blocks). --case=SUITE.NAME runs one case and fails when there is none.
// --blocks=DIR runs nothing: it writes every `tessel` block of the Markdown
// roots (those fenced `tessel no-test` too) as DIR/SUITE.NAME.tsl, for the
// lint. The build lists the Markdown cases by asking the runner
// (--gtest_list_tests), so that this file alone reads the fences: started
// with no argument of its own, the runner takes its arguments from the file
// beside it named as it is with ".args" added, one a line.
//
// A script's expectations may also stand in a file of their own, in the same
// comment form: DIR/SUITE/NAME.expect under the folder --expectations=DIR
// names (file names in it are the script's folder's). The examples keep
// theirs there, so that a learner's copy of an example carries none.
#include <gtest/gtest.h>
#include <signal.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cases.h"
#include "codec/image_files.h"

namespace fs = std::filesystem;

namespace {

using namespace tessel::golden;

std::string gTessel;
fs::path gOut;
fs::path gExpectations;  // where scripts' expectation files are, if anywhere

// ---------------------------------------------------------------------------
// Text escapes

// Decodes \r \n \t \\ \xHH; anything else after a backslash is an error.
std::optional<std::string> unescape(const std::string& s, std::string& error) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        char e = i + 1 < s.size() ? s[i + 1] : '\0';
        ++i;
        if (e == 'r') out += '\r';
        else if (e == 'n') out += '\n';
        else if (e == 't') out += '\t';
        else if (e == '\\') out += '\\';
        else if (e == 'x' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
                 std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            error = "bad escape \\" + std::string(1, e) + " (use \\r \\n \\t \\\\ or \\xHH)";
            return std::nullopt;
        }
    }
    return out;
}

// The inverse, for showing what came in the same notation: bytes below 32,
// DEL and a backslash are escaped, everything else stands as it is.
std::string escape(const std::string& s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\\') out += "\\\\";
        else if (c < 32 || c == 127) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Expectations

struct Where {
    fs::path file;   // the script or Markdown file, for FILE:LINE
    int line = 0;    // 1-based line in that file
    std::string src; // the expectation as written, after the apostrophe
};

struct Box {
    std::string caption, text;
    bool operator==(const Box&) const = default;
};

struct Print {
    int x = 0, y = 0;
    std::string text;
    bool operator==(const Print&) const = default;
};

template <class T>
struct Expected {
    T value;
    Where at;
};

struct Pixel {
    int x = 0, y = 0;
    uint32_t rgb = 0;
};

struct Expectations {
    std::vector<Expected<Box>> boxes;
    std::vector<Expected<Print>> prints;
    std::optional<Where> noPrints;
    std::vector<Expected<Pixel>> pixels;
    std::optional<Expected<std::string>> screenshot;
    std::optional<Expected<int>> exit;
    std::vector<Expected<std::string>> stderrLines;
    std::vector<std::string> args;
    std::vector<std::string> eventLines;
    std::optional<std::string> eventsFile;
    std::vector<Expected<std::string>> errors;  // lines that could not be read, and why
};

// What follows a directive's colon: one blank is the separator, further
// blanks belong to the text.
std::string afterColon(const std::string& rest) {
    return !rest.empty() && (rest[0] == ' ' || rest[0] == '\t') ? rest.substr(1) : rest;
}

class ExpectationParser {
   public:
    ExpectationParser(Expectations& e, const fs::path& file) : e_(e), file_(file) {}

    void line(const std::string& text, int lineNo) {
        std::optional<std::string> comment = commentOf(text);
        if (!comment) return;
        std::string c = skipBlanks(*comment);
        at_ = Where{file_, lineNo, c};
        if (startsWith(c, "expect box:")) box(c.substr(11));
        else if (startsWith(c, "expect print:")) print(c.substr(13));
        else if (c == "expect no prints" || startsWith(c, "expect no prints ")) e_.noPrints = at_;
        else if (startsWith(c, "expect pixel:")) pixel(c.substr(13));
        else if (startsWith(c, "expect screenshot:"))
            e_.screenshot = Expected<std::string>{skipBlanks(c.substr(18)), at_};
        else if (startsWith(c, "expect exit:")) exitStatus(c.substr(12));
        else if (startsWith(c, "expect stderr:")) stderrLine(c.substr(14));
        else if (startsWith(c, "args:")) add(e_.args, splitWords(c.substr(5)));
        else if (startsWith(c, "event:")) e_.eventLines.push_back(skipBlanks(c.substr(6)));
        else if (startsWith(c, "events:")) e_.eventsFile = skipBlanks(c.substr(7));
        else if (startsWith(c, "expect ") || startsWith(c, "expect:")) fail("unknown expectation");
    }

   private:
    void box(const std::string& rest) {
        std::string s = skipBlanks(rest);
        size_t bar = s.find(" | ");
        std::string caption, text;
        if (bar != std::string::npos) {
            caption = s.substr(0, bar);
            text = s.substr(bar + 3);
        } else if (s.size() >= 2 && s.compare(s.size() - 2, 2, " |") == 0) {
            caption = s.substr(0, s.size() - 2);  // an empty text
        } else {
            return fail("a box needs CAPTION | TEXT");
        }
        auto c = decode(caption), t = decode(text);
        if (c && t) e_.boxes.push_back({Box{*c, *t}, at_});
    }

    void print(const std::string& rest) {
        std::string s = skipBlanks(rest);
        size_t xEnd = s.find(' ');
        size_t yEnd = xEnd == std::string::npos ? xEnd : s.find(' ', xEnd + 1);
        std::string xs = s.substr(0, xEnd);
        std::string ys = xEnd == std::string::npos ? "" : s.substr(xEnd + 1, yEnd - xEnd - 1);
        std::string text = yEnd == std::string::npos ? "" : s.substr(yEnd + 1);
        std::optional<int> x = integer(xs), y = integer(ys);
        if (!x || !y) return fail("a print needs X Y TEXT");
        if (auto t = decode(text)) e_.prints.push_back({Print{*x, *y, *t}, at_});
    }

    void pixel(const std::string& rest) {
        std::vector<std::string> w = splitWords(rest);
        std::optional<int> x = w.size() == 3 ? integer(w[0]) : std::nullopt;
        std::optional<int> y = w.size() == 3 ? integer(w[1]) : std::nullopt;
        bool hex = w.size() == 3 && w[2].size() == 6 &&
                   w[2].find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        if (!x || !y || !hex) return fail("a pixel needs X Y RRGGBB");
        e_.pixels.push_back(
            {Pixel{*x, *y, static_cast<uint32_t>(std::stoul(w[2], nullptr, 16))}, at_});
    }

    void exitStatus(const std::string& rest) {
        std::vector<std::string> w = splitWords(rest);
        std::optional<int> n = w.size() == 1 ? integer(w[0]) : std::nullopt;
        if (!n) return fail("an exit status needs one number");
        e_.exit = Expected<int>{*n, at_};
    }

    void stderrLine(const std::string& rest) {
        if (auto t = decode(afterColon(rest))) e_.stderrLines.push_back({*t, at_});
    }

    std::optional<std::string> decode(const std::string& s) {
        std::string why;
        std::optional<std::string> out = unescape(s, why);
        if (!out) fail(why);
        return out;
    }

    static std::optional<int> integer(const std::string& s) {
        if (s.empty() || s.size() > 9) return std::nullopt;
        size_t start = s[0] == '-' ? 1 : 0;
        if (start == s.size() || s.find_first_not_of("0123456789", start) != std::string::npos)
            return std::nullopt;
        return std::stoi(s);
    }

    static void add(std::vector<std::string>& to, const std::vector<std::string>& more) {
        to.insert(to.end(), more.begin(), more.end());
    }

    void fail(const std::string& why) {
        e_.errors.push_back({why, at_});
    }

    Expectations& e_;
    fs::path file_;
    Where at_;
};

Expectations parseExpectations(const Case& c) {
    Expectations e;
    ExpectationParser parser(e, c.file);
    std::vector<std::string> lines = splitLines(c.source);
    for (size_t i = 0; i < lines.size(); ++i) parser.line(lines[i], c.firstLine + static_cast<int>(i));
    fs::path own = gExpectations / c.suite / (c.name + ".expect");
    if (!gExpectations.empty() && !c.extracted && fs::is_regular_file(own)) {
        ExpectationParser more(e, own);
        std::vector<std::string> moreLines = splitLines(readFile(own));
        for (size_t i = 0; i < moreLines.size(); ++i) more.line(moreLines[i], static_cast<int>(i) + 1);
    }
    return e;
}

// ---------------------------------------------------------------------------
// Running tessel

struct RunResult {
    int status = -1;
    bool timedOut = false;
};

volatile sig_atomic_t gChild = 0;      // the tessel process being waited for
volatile sig_atomic_t gTimedOut = 0;

// SIGALRM: the run took too long.
void killChild(int) {
    gTimedOut = 1;
    if (gChild > 0) kill(static_cast<pid_t>(gChild), SIGKILL);
}

// Runs argv with cwd `dir`, stderr to `errPath`; kills it after `seconds`.
// The wait blocks (an alarm ends it) rather than polling, which would take
// CPU from the run on a busy machine.
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
    gChild = pid;
    gTimedOut = 0;
    signal(SIGALRM, killChild);
    alarm(static_cast<unsigned>(seconds));
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    alarm(0);
    gChild = 0;
    r.timedOut = gTimedOut != 0;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    return r;
}

// ---------------------------------------------------------------------------
// Reading what came: the JSON lines of --box-log and --print-log

// One log line as JSON. The logs write each byte of the scripts'
// Windows-1252 text outside printable ASCII as \u00XX, which the parser
// turns into that code point: text() takes it back to the byte.
struct LogLine {
    nlohmann::json value;
    explicit LogLine(const std::string& line) : value(nlohmann::json::parse(line, nullptr, false)) {}
    std::string text(const char* key) const {
        std::string bytes;
        if (!value.is_object() || !value.contains(key) || !value[key].is_string()) return bytes;
        const std::string& utf8 = value[key].get_ref<const std::string&>();
        for (size_t i = 0; i < utf8.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(utf8[i]);
            if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size())  // U+0080..U+00FF (and the rest, cut)
                bytes += static_cast<char>(((c & 0x1F) << 6) | (utf8[++i] & 0x3F));
            else
                bytes += static_cast<char>(c);
        }
        return bytes;
    }
    int number(const char* key) const {
        return value.is_object() && value.contains(key) && value[key].is_number_integer() ? value[key].get<int>() : 0;
    }
};

std::vector<Box> readBoxes(const fs::path& p) {
    std::vector<Box> out;
    for (const std::string& l : splitLines(readFile(p))) {
        if (l.empty()) continue;
        LogLine line(l);
        out.push_back({line.text("caption"), line.text("text")});
    }
    return out;
}

std::vector<Print> readPrints(const fs::path& p) {
    std::vector<Print> out;
    for (const std::string& l : splitLines(readFile(p))) {
        if (l.empty()) continue;
        LogLine line(l);
        out.push_back({line.number("x"), line.number("y"), line.text("text")});
    }
    return out;
}

// Standard error as lines; the final line feed ends the last line.
std::vector<std::string> stderrLines(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

std::string show(const Box& b) { return "expect box: " + escape(b.caption) + " | " + escape(b.text); }
std::string show(const Print& p) {
    return "expect print: " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + escape(p.text);
}
std::string show(const std::string& s) { return "expect stderr: " + escape(s); }

// Every item that came, in the notation of the expectations.
template <class T>
std::string showAll(const char* what, const std::vector<T>& actual) {
    std::string out = "--- what came: " + std::to_string(actual.size()) + " " + what + " ---\n";
    for (const T& a : actual) out += "' " + show(a) + "\n";
    return out;
}

// Compares one ordered list: the first difference is reported at the line of
// the expectation concerned (or of the last one, for something unexpected).
template <class T>
void compareList(const char* what, const Case& c, const std::vector<Expected<T>>& expected,
                 const std::vector<T>& actual) {
    size_t n = std::max(expected.size(), actual.size());
    for (size_t i = 0; i < n; ++i) {
        if (i < expected.size() && i < actual.size() && expected[i].value == actual[i]) continue;
        std::ostringstream m;
        fs::path file = c.file;
        int line = c.firstLine;
        if (i < expected.size()) {
            file = expected[i].at.file;
            line = expected[i].at.line;
            m << expected[i].at.src << "\n  ";
            if (i < actual.size()) m << "came instead (#" << i + 1 << "): " << show(actual[i]);
            else m << "did not come (only " << actual.size() << " " << what << ")";
        } else {
            if (!expected.empty()) line = expected.back().at.line;
            m << "unexpected (#" << i + 1 << ", after " << expected.size() << " expected "
              << what << "): " << show(actual[i]);
        }
        ADD_FAILURE_AT(file.c_str(), line) << m.str() << "\n" << showAll(what, actual);
        return;
    }
}

// ---------------------------------------------------------------------------
// Images

// Screenshots are read and written with tessel's own image code, a static
// library: the many short runner processes pay nothing to start it.
struct Image {
    int w = 0, h = 0;
    std::vector<uint32_t> px;  // 0x00RRGGBB
};

bool loadPng(const fs::path& p, Image& img) {
    tessel::ImageData decoded;
    if (!tessel::decodeImageFile(p.string(), decoded, nullptr)) return false;
    img.w = decoded.width;
    img.h = decoded.height;
    img.px = std::move(decoded.pixels);
    for (uint32_t& v : img.px) v &= 0xFFFFFF;
    return true;
}

bool savePng(const Image& img, const fs::path& p) {
    return tessel::writePngFile(p.string(), img.px.data(), img.w, img.h, nullptr);
}

// Writes expected (left) and actual (right) into one PNG, 8 grey pixels apart.
void saveSideBySide(const Image& expected, const Image& actual, const fs::path& p) {
    Image both;
    both.w = expected.w + 8 + actual.w;
    both.h = std::max(expected.h, actual.h);
    both.px.assign(size_t(both.w) * both.h, 0x808080);
    auto blit = [&both](const Image& img, int x0) {
        for (int y = 0; y < img.h; ++y)
            for (int x = 0; x < img.w; ++x)
                both.px[size_t(y) * both.w + x0 + x] = img.px[size_t(y) * img.w + x];
    };
    blit(expected, 0);
    blit(actual, expected.w + 8);
    savePng(both, p);
}

std::string hex6(uint32_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%06X", v & 0xFFFFFF);
    return buf;
}

void compareScreenshot(const Case& c, const Expected<std::string>& want, const Image& actual,
                       const fs::path& out) {
    const Where& at = want.at;
    Image expected;
    fs::path ref = c.dir / want.value;
    if (!loadPng(ref, expected)) {
        ADD_FAILURE_AT(at.file.c_str(), at.line) << at.src << "\n  cannot read " << ref;
        return;
    }
    size_t first = actual.px.size();
    if (expected.w == actual.w && expected.h == actual.h)
        for (size_t i = 0; i < actual.px.size() && first == actual.px.size(); ++i)
            if (actual.px[i] != expected.px[i]) first = i;
    bool sameSize = expected.w == actual.w && expected.h == actual.h;
    if (sameSize && first == actual.px.size()) return;
    fs::path sbs = out / "expected-vs-actual.png";
    saveSideBySide(expected, actual, sbs);
    std::ostringstream m;
    m << at.src << "\n  ";
    if (!sameSize)
        m << "size " << actual.w << "x" << actual.h << " instead of " << expected.w << "x"
          << expected.h;
    else
        m << "first differing pixel at (" << first % actual.w << ", " << first / actual.w
          << "): expected " << hex6(expected.px[first]) << ", came " << hex6(actual.px[first]);
    m << "\n  expected (left) and actual (right): " << sbs.string();
    ADD_FAILURE_AT(at.file.c_str(), at.line) << m.str();
}

void comparePixels(const std::vector<Expected<Pixel>>& pixels, const Image& actual,
                   const fs::path& shot) {
    for (const Expected<Pixel>& p : pixels) {
        const Pixel& want = p.value;
        if (want.x < 0 || want.y < 0 || want.x >= actual.w || want.y >= actual.h) {
            ADD_FAILURE_AT(p.at.file.c_str(), p.at.line)
                << p.at.src << "\n  outside the " << actual.w << "x" << actual.h << " screenshot";
            continue;
        }
        uint32_t got = actual.px[static_cast<size_t>(want.y) * actual.w + want.x];
        if (got != want.rgb)
            ADD_FAILURE_AT(p.at.file.c_str(), p.at.line)
                << p.at.src << "\n  came " << hex6(got) << "; screenshot: " << shot.string();
    }
}

// ---------------------------------------------------------------------------
// One case

class GoldenTest : public testing::Test {
   public:
    explicit GoldenTest(Case c) : c_(std::move(c)) {}

    void TestBody() override {
        Expectations e = parseExpectations(c_);
        for (const Expected<std::string>& err : e.errors)
            ADD_FAILURE_AT(err.at.file.c_str(), err.at.line) << err.at.src << "\n  " << err.value;
        if (!e.errors.empty()) return;

        fs::path out = gOut / (c_.suite + "." + c_.name);
        fs::create_directories(out);
        fs::path boxes = out / "boxes.jsonl", prints = out / "prints.jsonl";
        fs::path shot = out / "screenshot.png", err = out / "stderr.txt";
        fs::remove(shot);

        RunResult r = runProcess(commandLine(e, out, boxes, prints, shot), c_.dir, err, 60);
        ASSERT_FALSE(r.timedOut) << c_.file << " did not finish within 60 s";
        std::string errText = readFile(err);

        checkExit(e, r.status, errText);
        std::vector<Box> actualBoxes = readBoxes(boxes);
        if (!expectsCountBox(e) && !actualBoxes.empty() && isCountBox(actualBoxes[0]))
            actualBoxes.erase(actualBoxes.begin());
        compareList("boxes", c_, e.boxes, actualBoxes);
        if (!e.prints.empty() || e.noPrints) checkPrints(e, readPrints(prints));
        if (!e.stderrLines.empty()) compareList("stderr lines", c_, e.stderrLines, stderrLines(errText));
        if (wantsScreenshot(e)) checkScreenshot(e, shot, out);
    }

   private:
    std::vector<std::string> commandLine(const Expectations& e, const fs::path& out,
                                         const fs::path& boxes, const fs::path& prints,
                                         const fs::path& shot) {
        std::vector<std::string> args{gTessel, "--headless", "--box-log", boxes.string(),
                                      "--print-log", prints.string()};
        if (wantsScreenshot(e)) args.insert(args.end(), {"--screenshot", shot.string()});
        if (e.eventsFile) {
            args.insert(args.end(), {"--events", *e.eventsFile});
        } else if (!e.eventLines.empty()) {
            std::string text;
            for (const std::string& l : e.eventLines) text += l + "\n";
            writeFile(out / "events.txt", text);
            args.insert(args.end(), {"--events", (out / "events.txt").string()});
        }
        args.insert(args.end(), e.args.begin(), e.args.end());
        if (c_.extracted) {
            fs::path script = out / (c_.suite + "-" + c_.name + ".tsl");
            writeFile(script, c_.source);
            args.push_back(script.string());
        } else {
            args.push_back(c_.file.filename().string());
        }
        return args;
    }

    static bool wantsScreenshot(const Expectations& e) {
        return e.screenshot || !e.pixels.empty();
    }

    static bool isCountBox(const Box& b) {
        return b.caption == "Kiv" && startsWith(b.text, "Number of tokens: ");
    }

    static bool expectsCountBox(const Expectations& e) {
        return std::any_of(e.boxes.begin(), e.boxes.end(),
                           [](const Expected<Box>& b) { return b.value.caption == "Kiv"; });
    }

    void checkExit(const Expectations& e, int status, const std::string& errText) {
        int want = e.exit ? e.exit->value : 0;
        if (status == want) return;
        fs::path file = e.exit ? e.exit->at.file : c_.file;
        int line = e.exit ? e.exit->at.line : c_.firstLine;
        std::string src = e.exit ? e.exit->at.src : "no 'expect exit' line: status 0 expected";
        ADD_FAILURE_AT(file.c_str(), line) << src << "\n  came exit status " << status
                                           << "\n--- stderr ---\n" << errText;
    }

    void checkPrints(const Expectations& e, const std::vector<Print>& actual) {
        if (e.prints.empty() && !actual.empty()) {
            ADD_FAILURE_AT(e.noPrints->file.c_str(), e.noPrints->line)
                << e.noPrints->src << "\n  came: " << show(actual[0]) << "\n"
                << showAll("prints", actual);
            return;
        }
        compareList("prints", c_, e.prints, actual);
    }

    void checkScreenshot(const Expectations& e, const fs::path& shot, const fs::path& out) {
        Image actual;
        ASSERT_TRUE(loadPng(shot, actual)) << "no screenshot was written: " << shot;
        if (e.screenshot) compareScreenshot(c_, *e.screenshot, actual, out);
        comparePixels(e.pixels, actual, shot);
    }

    Case c_;
};

// Two cases with one name would hide each other under --case.
bool namesAreUnique(const std::vector<Case>& cases) {
    std::map<std::string, fs::path> seen;
    bool ok = true;
    for (const Case& c : cases) {
        auto [it, fresh] = seen.emplace(c.suite + "." + c.name, c.file);
        if (!fresh) {
            std::fprintf(stderr, "tessel_golden: two cases named %s: %s and %s\n", it->first.c_str(),
                         it->second.c_str(), c.file.c_str());
            ok = false;
        }
    }
    return ok;
}

// The Markdown blocks as scripts of their own; 0 when all were written.
int writeBlocks(const std::vector<Case>& cases, const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    int written = 0;
    for (const Case& c : cases) {
        if (!c.extracted) continue;
        std::ofstream f(dir / (c.suite + "." + c.name + ".tsl"), std::ios::binary);
        f << c.source;
        if (!f) {
            std::fprintf(stderr, "tessel_golden: cannot write into %s\n", dir.c_str());
            return 1;
        }
        ++written;
    }
    std::printf("%d blocks written\n", written);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    gOut = fs::temp_directory_path() / "tessel-golden";
    std::string only;
    fs::path blocks;
    std::vector<fs::path> roots;
    std::vector<std::string> given(argv + 1, argv + argc);
    if (given.empty()) given = splitLines(readFile(std::string(argv[0]) + ".args"));
    for (const std::string& a : given) {
        if (a.empty()) continue;
        if (startsWith(a, "--tessel=")) gTessel = a.substr(9);
        else if (startsWith(a, "--out=")) gOut = a.substr(6);
        else if (startsWith(a, "--case=")) only = a.substr(7);
        else if (startsWith(a, "--blocks=")) blocks = a.substr(9);
        else if (startsWith(a, "--expectations=")) gExpectations = fs::absolute(a.substr(15));
        else roots.push_back(fs::absolute(a));
    }
    if ((gTessel.empty() && blocks.empty()) || roots.empty()) {
        std::fprintf(stderr,
                     "usage: tessel_golden --tessel=PATH [--out=DIR] [--case=SUITE.NAME] [--expectations=DIR] ROOT...\n"
                     "       tessel_golden --blocks=DIR MARKDOWN...\n"
                     "  ROOT: a folder of .tsl scripts or a Markdown file\n");
        return 2;
    }
    std::vector<Case> cases = collectCases(roots);
    if (!namesAreUnique(cases)) return 2;
    if (!blocks.empty()) return writeBlocks(cases, blocks);
    gTessel = fs::absolute(gTessel).string();
    int registered = 0;
    for (const Case& c : cases) {
        if (!c.runs) continue;
        if (!only.empty() && only != c.suite + "." + c.name) continue;
        testing::RegisterTest(c.suite.c_str(), c.name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                              [c]() -> testing::Test* { return new GoldenTest(c); });
        ++registered;
    }
    if (!only.empty() && registered == 0) {
        std::fprintf(stderr, "tessel_golden: no case named %s\n", only.c_str());
        return 2;
    }
    return RUN_ALL_TESTS();
}
