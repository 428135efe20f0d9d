// Test support for the executor: the real window core over a native window
// that records what the core shows, and a program checked by the real front
// end.
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

#include "checker/checker.h"
#include "exec/executor.h"
#include "front_test_support.h"
#include "host/interpreter.h"
#include "lexer/tokenizer.h"

namespace tessel::test {

// A native window that records what the core shows. In a live run it
// shows message boxes and confirms each on the second look for events after
// it appeared (so the box's modal loop runs once); in an unattended one the
// core writes boxes to stderr and passes over them.
class FakeNative final : public NativeWindow {
   public:
    bool open(std::string_view, int, int) override { return true; }
    void present(PixelView frame) override {
        ++presents;
        shown.assign(frame.pixels, frame.pixels + static_cast<size_t>(frame.width) * frame.height);
    }
    void pollEvents(NativeInput& in, int timeoutMs) override {
        ++polls;
        if (onPoll) onPoll(in);
        if (boxShown && ++boxPolls == 2) in.boxKey(13);
        // The message loop waits with nothing left to do: the person closes the window.
        if (!boxShown && timeoutMs > 0 && closeWhenIdle) in.closeRequest();
    }
    bool showBox(std::string_view caption, PixelView) override {
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
    std::function<void(NativeInput&)> onPoll;            // called on every look for events
    std::function<void(const std::string&)> onShowBox;  // called when a box appears
};

// Real time as the test sets it, moving on by `*step` milliseconds at each
// exact reading.
class TestClock final : public Clock {
   public:
    TestClock(uint64_t* ms, const uint64_t* step) : ms_(ms), step_(step) {}
    uint64_t now() override {
        uint64_t t = *ms_;
        *ms_ += *step_;
        return t;
    }
    bool mayHaveReached(uint64_t deadline) override { return *ms_ >= deadline; }
    uint64_t coarse() override { return *ms_; }
    bool isVirtual() const override { return false; }
    void advanceTo(uint64_t t) override { *ms_ = std::max(*ms_, t); }

   private:
    uint64_t* ms_;
    const uint64_t* step_;
};

// The real window core over a FakeNative, on a clock the test sets, with a
// box log that records every box the interpreter shows.
struct FakePlatform {
    explicit FakePlatform(bool live = false) : native(new FakeNative), core(std::unique_ptr<NativeWindow>(native), config(live)) {}
    PlatformConfig config(bool live) {
        PlatformConfig cfg;
        cfg.drive = live ? Drive::Live : Drive::Unattended;
        cfg.clock = std::make_unique<TestClock>(&clock, &clockStep);
        return cfg;
    }

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

    uint64_t clock = 1000;       // what the clock reads
    uint64_t clockStep = 0;      // milliseconds the clock moves on at each reading
    FakeNative* native;          // owned by core
    WindowCore core;
    std::FILE* boxLog = nullptr; // set by Program
};

// An interpreter over a program checked by the real front end.
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
        checked = checkSource(source);
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
        runMainProgram(in.vm);
    }
    void send(uint32_t message, uint32_t wParam = 0, uint32_t lParam = 0) {
        windowProc(in.vm, Message{kMainWindow, message, wParam, lParam});
    }
    // The value fields of a variable (only the one of its type is used).
    struct Variable {
        float& num;
        int32_t& ptr;
        Text& str;
    };
    Variable var(const std::string& name) {
        const size_t n = numberOf(in.vm.symbols.vars, name);
        Memory& m = in.vm.memory;
        return {m.num[n], m.ptr[n], m.str[n]};
    }
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
        bool ok = lexingPhase(std::string(source), in.vm.tokens, lex, rep) == 1 &&
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
            if (declaredName(in.vm.tokens, entries[i].nameToken) == name) return i;
        ADD_FAILURE() << "no declaration of " << name;
        return 0;
    }

    std::FILE* printLog = nullptr;
};

}  // namespace tessel::test
