// Test support for the executor: a scripted platform that records what the
// executor asks of it, and a small assembler that turns blank-separated
// source lines into a checked token store with its binding tables, so the
// executor can be tested without the front end.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "checker/keywords.h"
#include "exec/executor.h"
#include "expr/expr.h"
#include "host/interpreter.h"

namespace tessel::test {

// A native window that records what the core shows. Interactive, it shows
// message boxes and confirms each on the second look for events after it
// appeared (so the box's modal loop runs once); not interactive, the core
// writes boxes to stderr and passes over them.
class FakeNative final : public NativeWindow {
   public:
    explicit FakeNative(bool interactive = false, uint64_t* clock = nullptr)
        : interactive_(interactive), clock_(clock) {}
    bool interactive() const override { return interactive_; }
    bool open(std::string_view, int, int) override { return true; }
    void present(const uint32_t* pixels, int width, int height) override {
        ++presents;
        shown.assign(pixels, pixels + static_cast<size_t>(width) * height);
    }
    void pollEvents(NativeInput& in, int timeoutMs) override {
        ++polls;
        if (onPoll) onPoll(in);
        if (boxShown && ++boxPolls == 2) in.boxKey(13);
        // The message loop waits with nothing left to do: the person closes the window.
        if (!boxShown && timeoutMs > 0 && closeWhenIdle) in.closeRequest();
    }
    uint64_t clockMs() override {
        if (!clock_) return 0;
        uint64_t t = *clock_;
        *clock_ += clockStep;
        return t;
    }
    bool showBox(std::string_view caption, const uint32_t*, int, int) override {
        boxShown = true;
        boxPolls = 0;
        if (onShowBox) onShowBox(std::string(caption));
        return true;
    }
    void hideBox() override { boxShown = false; }

    int presents = 0;   // frames shown (screen refreshes)
    std::vector<uint32_t> shown;  // the last of them
    int polls = 0;      // looks for native events
    bool boxShown = false;
    int boxPolls = 0;   // looks since the box appeared
    bool closeWhenIdle = true;  // a wait outside any box closes the window
    uint64_t clockStep = 0;  // milliseconds the clock moves on at each reading
    std::function<void(NativeInput&)> onPoll;            // called on every look for events
    std::function<void(const std::string&)> onShowBox;  // called when a box appears

   private:
    bool interactive_;
    uint64_t* clock_;  // the test's clock (null: always 0)
};

// The real window core over a FakeNative whose clock the test sets, with a
// box log that records every box the interpreter shows.
struct FakePlatform {
    explicit FakePlatform(bool interactive = false)
        : native(new FakeNative(interactive, &clock)), core(std::unique_ptr<NativeWindow>(native), PlatformConfig{}) {}

    // The boxes logged so far, as "caption|text".
    std::vector<std::string> boxes() const { return readBoxLog(boxLog); }
    static std::vector<std::string> readBoxLog(std::FILE* log) {
        std::vector<std::string> out;
        if (!log) return out;
        std::fflush(log);
        std::rewind(log);
        char buf[2048];
        while (std::fgets(buf, sizeof buf, log)) out.push_back(boxRecord(buf));
        std::fseek(log, 0, SEEK_END);
        return out;
    }
    // {"caption":"C","text":"T"} as "C|T" (plain texts: escapes undone).
    static std::string boxRecord(const std::string& line) {
        auto field = [&line](const std::string& name) {
            size_t at = line.find("\"" + name + "\":\"") + name.size() + 4;
            std::string v;
            for (size_t i = at; i < line.size() && line[i] != '"'; ++i) v += line[i] == '\\' ? line[++i] : line[i];
            return v;
        };
        return field("caption") + "|" + field("text");
    }

    uint64_t clock = 1000;       // what the native clock reads
    FakeNative* native;          // owned by core
    WindowCore core;
    std::FILE* boxLog = nullptr; // set by Program
};

// An interpreter over an assembled program. Source tokens are separated by
// blanks; each line ends with an end-of-line token. Quoted strings may not
// contain blanks.
class Program {
   public:
    explicit Program(const std::string& source) : in(platform.core, Options{}) {
        platform.core.createMainWindow("", 800, 600, [this](const Message& m) { windowProc(in.vm, m); });
        createBackBuffer(in.gfx, 800, 600);
        platform.native->presents = 0;  // count from the script's first SWAP
        printLog = std::tmpfile();
        in.host.printLog = printLog;
        platform.boxLog = std::tmpfile();
        in.host.boxLog = platform.boxLog;
        assemble(source);
        prepareExecution(in.vm);
    }
    ~Program() {
        in.host.printLog = nullptr, std::fclose(printLog);
        in.host.boxLog = nullptr, std::fclose(platform.boxLog);
    }
    // Frames shown since the program was set up.
    int presents() const { return platform.native->presents; }

    // Runs the main program from the first token.
    void run() {
        in.vm.exec.pc = 0;
        runExecutor(in.vm);
    }
    void send(uint32_t message, uint32_t wParam = 0, uint32_t lParam = 0) {
        windowProc(in.vm, Message{kMainWindow, message, wParam, lParam});
    }
    VariableValue& var(const std::string& name) { return in.vm.memory.vars[vars_.at(name)]; }
    ArrayElements& array(const std::string& name) { return in.vm.memory.arrays[arrays_.at(name)]; }

    // The texts PRINT has drawn so far, in order.
    std::vector<std::string> prints() {
        std::fflush(printLog);
        std::rewind(printLog);
        std::vector<std::string> out;
        char buf[512];
        while (std::fgets(buf, sizeof buf, printLog)) {
            std::string line(buf);
            size_t t = line.find("\"text\":\"");
            out.push_back(line.substr(t + 8, line.rfind('"') - t - 8));
        }
        std::fseek(printLog, 0, SEEK_END);
        return out;
    }

    FakePlatform platform;
    Interpreter in;

   private:
    void assemble(const std::string& source);
    void declare(const std::string& name, int32_t type, bool isArray);
    int32_t classOf(const std::string& word) const;

    std::FILE* printLog = nullptr;
    std::map<std::string, int32_t> vars_, arrays_;
};

inline int32_t Program::classOf(const std::string& w) const {
    static const std::map<char, int32_t> punct = {
        {'+', CLS_PLUS}, {'-', CLS_MINUS}, {'*', CLS_STAR}, {'/', CLS_SLASH},
        {':', CLS_COLON}, {',', CLS_COMMA}, {'(', CLS_LPAR}, {')', CLS_RPAR},
        {'[', CLS_LBRK}, {']', CLS_RBRK}, {'=', CLS_EQ}, {'>', CLS_GT},
        {'<', CLS_LT}, {'&', CLS_AMP}, {'|', CLS_BAR}, {'!', CLS_BANG}};
    if (w.size() == 1 && punct.count(w[0])) return punct.at(w[0]);
    if (w[0] == '"') return CLS_QSTR;
    if (std::isdigit(static_cast<unsigned char>(w[0]))) return CLS_NUM;
    std::string upper;
    for (char c : w) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (int32_t code = keywordCode(upper)) return code;
    return CLS_NAME;
}

inline void Program::declare(const std::string& name, int32_t type, bool isArray) {
    CheckerState& ck = in.vm.symbols;
    if (isArray) {
        ArrayInfo a;
        a.name = name;
        a.type = type;
        a.elements = kMinArrayElements;
        arrays_[name] = static_cast<int32_t>(ck.arrays.size());
        ck.arrays.push_back(a);
    } else {
        Variable v;
        v.name = name;
        v.type = type;
        vars_[name] = static_cast<int32_t>(ck.vars.size());
        ck.vars.push_back(v);
    }
}

inline void Program::assemble(const std::string& source) {
    TokenStore& ts = in.vm.tokens;
    std::istringstream lines(source);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        for (std::string w; words >> w;) {
            int32_t c = classOf(w);
            ts.append(c == CLS_QSTR ? w.substr(1, w.size() - 2) : w, c);
        }
        ts.append("EOL", CLS_EOL);
    }
    ts.count = ts.appended();
    CheckerState& ck = in.vm.symbols;
    const size_t n = static_cast<size_t>(ts.count) + 16;
    for (auto* t : {&ck.tokVar, &ck.tokArr, &ck.callTarget, &ck.gotoTarget}) t->assign(n, 0);
    std::map<std::string, int32_t> labels, funcs;
    for (int32_t i = 1; i <= ts.count; ++i) {
        int32_t c = ts.cls[i];
        const std::string& next = ts.textAt(i + 1);
        if (c == KW_VAR || c == KW_STR || c == KW_PTR) {
            int32_t type = c == KW_VAR ? TYPE_NUM : c == KW_STR ? TYPE_STR : TYPE_PTR;
            // Every name after the keyword or a comma, up to the statement's end.
            for (int32_t j = i + 1; ts.classAt(j) != CLS_EOL && ts.classAt(j) != CLS_COLON; ++j) {
                int32_t before = ts.classAt(j - 1);
                if (ts.cls[j] == CLS_NAME && (j == i + 1 || before == CLS_COMMA))
                    declare(ts.text[j], type, ts.classAt(j + 1) == CLS_LBRK);
            }
        }
        if (c == KW_LABEL) labels[next] = i + 1;
        if (c == KW_FUNC) funcs[next] = i + 1;
        if (c == KW_WINMSG) {
            static const std::map<std::string, EventSlot> slots = {
                {"WMMOUSEMOVE", SLOT_MOUSEMOVE}, {"WMKEYDOWN", SLOT_KEYDOWN},
                {"WMTIMER", SLOT_TIMER},         {"WMCOMMAND", SLOT_COMMAND},
                {"WMKEYUP", SLOT_KEYUP},         {"WMLBUTTONDOWN", SLOT_LBUTTONDOWN},
                {"WMRBUTTONDOWN", SLOT_RBUTTONDOWN}};
            ck.slots[slots.at(next)] = i + 1;
            ts.cls[i + 1] = CLS_NAME;
            ++i;
        }
    }
    for (int32_t i = 1; i <= ts.count; ++i) {
        if (ts.cls[i] != CLS_NAME) continue;
        const std::string& w = ts.text[i];
        if (vars_.count(w)) ck.tokVar[i] = vars_[w];
        if (arrays_.count(w)) ck.tokArr[i] = arrays_[w];
        int32_t before = ts.classAt(i - 1);
        if (before == KW_GOTO && labels.count(w)) ck.gotoTarget[i] = labels[w];
        if (funcs.count(w) && ts.classAt(i + 1) == CLS_LPAR) ck.callTarget[i] = funcs[w];
    }
}

}  // namespace tessel::test
