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

struct FakeEdit {
    std::string text;
    bool visible = true;
};

class FakePlatform final : public Platform {
   public:
    void createMainWindow(std::string_view, int, int, WindowProc p) override { proc = std::move(p); }
    void present(PixelView) override { ++presents; }
    bool getMessage(Message& m) override { return peekMessage(m); }
    bool peekMessage(Message& m) override {
        if (queue.empty()) return false;
        m = queue.front();
        queue.pop_front();
        return true;
    }
    bool isDialogMessage(const Message&) override { return false; }
    void dispatchMessage(const Message& m) override {
        if (proc) proc(m);
    }
    void keepAlive() override {
        ++keepAlives;
        if (onKeepAlive) onKeepAlive();
    }
    void messageBox(std::string_view caption, std::string_view text) override {
        boxes.push_back(std::string(caption) + "|" + std::string(text));
        if (onMessageBox) onMessageBox();
    }
    void setTimer(uint32_t id, uint32_t ms) override { timers[id] = ms; }
    void killTimer(uint32_t id) override { timers.erase(id); }
    uint32_t tickCount() override { return ticks; }
    int32_t createEdit(int, int, int, int, std::string_view text) override {
        edits.push_back(FakeEdit{std::string(text)});
        return static_cast<int32_t>(edits.size()) + kMainWindow;
    }
    void setEditText(int32_t h, std::string_view t) override {
        if (FakeEdit* e = edit(h)) e->text = t;
    }
    std::string editText(int32_t h) override {
        FakeEdit* e = edit(h);
        return e ? e->text : std::string();
    }
    void showEdit(int32_t h, bool v) override {
        if (FakeEdit* e = edit(h)) e->visible = v;
    }
    void focusEdit(int32_t h) override { focused = h; }
    void redrawEdit(int32_t h) override { redrawn.push_back(h); }
    bool saveScreenshot(const std::string&) override { return false; }

    FakeEdit* edit(int32_t h) {
        int32_t i = h - kMainWindow - 1;
        return i >= 0 && i < static_cast<int32_t>(edits.size()) ? &edits[i] : nullptr;
    }

    WindowProc proc;
    std::deque<Message> queue;        // messages the executor will find
    std::vector<std::string> boxes;   // "caption|text" of every box shown
    std::map<uint32_t, uint32_t> timers;  // running timers: id -> interval
    std::vector<FakeEdit> edits;
    std::vector<int32_t> redrawn;
    int32_t focused = 0;
    int presents = 0;
    int keepAlives = 0;
    std::function<void()> onKeepAlive;  // called on every keepAlive
    std::function<void()> onMessageBox; // called while a box is open (a modal loop)
    uint32_t ticks = 0;
};

// An interpreter over an assembled program. Source tokens are separated by
// blanks; each line ends with an end-of-line token. Quoted strings may not
// contain blanks.
class Program {
   public:
    explicit Program(const std::string& source) : in(platform, Options{}) {
        platform.createMainWindow("", 800, 600, [this](const Message& m) { windowProc(in.vm, m); });
        printLog = std::tmpfile();
        in.host.printLog = printLog;
        assemble(source);
        prepareExecution(in.vm);
    }
    ~Program() { in.host.printLog = nullptr, std::fclose(printLog); }

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
