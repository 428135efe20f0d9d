// Test support for the executor: a scripted platform that records what the
// executor asks of it, and a program checked by the real front end.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "checker/checker.h"
#include "exec/executor.h"
#include "expr/expr.h"
#include "front_test_support.h"
#include "host/interpreter.h"
#include "lexer/tokenizer.h"

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

// An interpreter over a script that went through the real tokenizer and
// checker. A script the front end rejects fails the test with the box text.
class Program {
   public:
    explicit Program(const std::string& source) : in(platform, Options{}) {
        platform.createMainWindow("", 800, 600, [this](const Message& m) { windowProc(in.vm, m); });
        printLog = std::tmpfile();
        in.host.printLog = printLog;
        checked = checkSource(source);
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
    VariableValue& var(const std::string& name) { return in.vm.memory.vars[numberOf(in.vm.symbols.vars, name)]; }
    ArrayElements& array(const std::string& name) {
        return in.vm.memory.arrays[numberOf(in.vm.symbols.arrays, name)];
    }

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
    bool checked = false;  // the front end accepted the script

   private:
    bool checkSource(const std::string& source) {
        testing_support::RecordingReporter rep;
        LexState lex;
        bool ok = lexingPhase(source, in.vm.tokens, lex, rep) == 1 &&
                  runChecker(in.vm.tokens, in.vm.symbols, rep) == 1;
        if (!ok) {
            std::string text;
            for (const auto& b : rep.boxes) text += b.caption + ": " + b.text + "\n";
            ADD_FAILURE() << "the front end rejects the script:\n" << text << source;
        }
        return ok;
    }

    // The number of the table entry declared as `name`; the test fails (and
    // entry 0, the placeholder, stands in) when there is none.
    template <class Entries>
    size_t numberOf(const Entries& entries, const std::string& name) {
        for (size_t i = 1; i < entries.size(); ++i)
            if (entries[i].name == name) return i;
        ADD_FAILURE() << "no declaration of " << name;
        return 0;
    }

    std::FILE* printLog = nullptr;
};

}  // namespace tessel::test
