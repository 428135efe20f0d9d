// A breakpoint the loop tests itself runs the code after it from copies
// where it is not met. A keep-alive round, and a pause asked for there,
// that falls in the copies stops the run at the program's own instruction
// (breakpoints may change at a stop, and the copies with them), and the
// run's results are those of a run without the breakpoint.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "debug/expression.h"
#include "exec/executor.h"
#include "host/launch.h"

namespace tessel {
namespace {

// Five statement starts a pass (the WEND counts its WHILE's), so the
// keep-alive rounds fall in turn on each of them, copies included.
const char kScript[] =
    "VAR i, s, t\n"
    "WHILE i < 30000\n"
    "s = s + i\n"
    "t = t + 2\n"
    "i = i + 1\n"
    "WEND\n"
    "PRINT 0, 0, s + t\n";

// Places a breakpoint the loop tests on line 3 (condition "i < 0", never
// met) at the first statement; asks for a pause at every keep-alive round
// and checks where each stop stands.
class PausingHook final : public DebugHook {
   public:
    explicit PausingHook(bool withBreakpoint) : withBreakpoint_(withBreakpoint) { stepping = true; }
    void atStatement(Vm& vm, int32_t index, bool) override {
        stepping = false;
        if (!placed_) return place(vm);
        ++stops;
        const Instr* const base = vm.code.ins.data();
        const bool inProgram = static_cast<size_t>(index) < vm.code.programSize;
        if (!inProgram || *runs.back().ip != base + index) ++strays;
    }
    void poll(Vm&) override { stepping = true; }
    void output(std::string_view, std::string_view text) override { printed = text; }

    int stops = 0;
    int strays = 0;  // stops that stood anywhere but at the program's own instruction
    std::string printed;

   private:
    void place(Vm& vm) {
        placed_ = true;
        if (!withBreakpoint_) return;
        condition_ = std::make_unique<debug::Expression>(vm, "i < 0", true);
        BreakTest test;
        test.condition = &condition_->code();
        test.truth = condition_->truthRegister();
        for (size_t i = 0; i < vm.code.ins.size(); ++i) {
            const Instr& in = vm.code.ins[i];
            if (in.ticks != 0 && in.op != OP_SERVICE && vm.tokens.lineAt(vm.code.tokenOf[i]) == 3) {
                ASSERT_TRUE(setTestedBreak(vm, static_cast<int32_t>(i), test));
                return;
            }
        }
        FAIL() << "no statement on line 3";
    }
    bool withBreakpoint_;
    bool placed_ = false;
    std::unique_ptr<debug::Expression> condition_;
};

std::string scriptFile(const char* text = kScript) {
    char name[] = "/tmp/tessel-copies-XXXXXX";
    const int fd = mkstemp(name);
    std::FILE* f = fdopen(fd, "w");
    std::fputs(text, f);
    std::fclose(f);
    return name;
}

// Places a breakpoint with `condition` on `line` at the first statement,
// tested by the loop where it can be (unless `loopMayTest` is false: then
// the debugger decides at every pass), and notes the value of `i` at each
// stop there.
class ConditionHook final : public DebugHook {
   public:
    ConditionHook(std::string condition, int line, bool loopMayTest = true, int hitTest = -1,
                  int32_t hitCount = 0)
        : text_(std::move(condition)),
          line_(line),
          loopMayTest_(loopMayTest),
          hitTest_(hitTest),
          hitCount_(hitCount) {
        stepping = true;
    }
    void atStatement(Vm& vm, int32_t index, bool breakpoint) override {
        stepping = false;
        if (placed_) {
            if (breakpoint) stops.push_back(vm.memory.num[1]);  // i, the first variable
            return;
        }
        placed_ = true;
        condition_ = std::make_unique<debug::Expression>(vm, text_, true);
        BreakTest test;
        test.condition = &condition_->code();
        test.truth = condition_->truthRegister();
        if (hitTest_ >= 0) {
            test.counted = true;
            test.hitTest = static_cast<uint16_t>(hitTest_);
            test.hitCount = hitCount_;
        }
        for (size_t i = static_cast<size_t>(index); i < vm.code.ins.size(); ++i) {
            const Instr& in = vm.code.ins[i];
            if (in.ticks == 0 || vm.tokens.lineAt(vm.code.tokenOf[i]) != line_) continue;
            tested = loopMayTest_ && setTestedBreak(vm, static_cast<int32_t>(i), test);
            if (!tested) setBreak(vm, static_cast<int32_t>(i));
            return;
        }
    }
    // A stop the loop did not decide: met where the condition holds.
    int breakPasses(Vm& vm, int32_t index) override {
        debug::Value v;
        std::string why;
        if (!condition_->evaluate(vm, v, why) || v.num != 0.0f) return -1;
        return breaks.at(index).original.op;
    }
    void poll(Vm&) override {}
    void output(std::string_view, std::string_view text) override { printed += text; }

    bool tested = false;
    std::vector<float> stops;
    std::string printed;

   private:
    std::string text_;
    int line_;
    bool loopMayTest_;
    int hitTest_;  // with a hit count: its test (HitTest), else -1
    int32_t hitCount_;
    bool placed_ = false;
    std::unique_ptr<debug::Expression> condition_;
};

TEST(BreakpointCopies, APauseInTheCopiesStopsAtTheProgramsOwnInstruction) {
    Options opts;
    opts.script = scriptFile();
    opts.headless = true;
    opts.quiet = true;
    PausingHook plain(false), tested(true);
    EXPECT_EQ(runScript(opts, nullptr, &plain), 0);
    EXPECT_EQ(runScript(opts, nullptr, &tested), 0);
    std::remove(opts.script.c_str());
    EXPECT_GT(tested.stops, 30) << "a pause at every keep-alive round";
    EXPECT_EQ(tested.strays, 0);
    EXPECT_EQ(tested.stops, plain.stops);
    EXPECT_FALSE(plain.printed.empty());
    EXPECT_EQ(tested.printed, plain.printed);
}

// The passes where a breakpoint with `condition` on `line` of the script
// file stopped (the value of i there), and whether the loop tested it.
std::pair<bool, std::vector<float>> conditionStopsIn(const std::string& file,
                                                     const std::string& condition, int line,
                                                     bool loopMayTest = true) {
    Options opts;
    opts.script = file;
    opts.headless = true;
    opts.quiet = true;
    ConditionHook hook(condition, line, loopMayTest);
    EXPECT_EQ(runScript(opts, nullptr, &hook), 0);
    return {hook.tested, hook.stops};
}

std::pair<bool, std::vector<float>> conditionStops(const char* script, const char* condition,
                                                   int line) {
    const std::string file = scriptFile(script);
    auto result = conditionStopsIn(file, condition, line);
    std::remove(file.c_str());
    return result;
}

TEST(BreakpointCopies, AStringConditionIsTestedByTheLoopWithItsOwnConstants) {
    // The program's own string constants and operand lists (RSTR's) come
    // first: the condition's must not be read as theirs, in its comparisons
    // and in the strings it builds.
    const char* script =
        "VAR i\nSTR s, u\nu = RSTR(s, 1) + \"c\"\n"
        "WHILE i < 300\ns = MSTR(\"abcdef\", 3, 1) + STRS(i)\ni = i + 1\nWEND\n";
    for (const char* condition :
         {"s = \"c199\" | s = \"c42\"", "s = u + \"199\" | s = u + \"4\" + \"2\"",
          "i > 40 & s = u + \"199\" | s + \"!\" = \"c42!\"",
          "s + RSTR(u, 1) = \"c42c\" | s = u + \"199\""}) {
        const auto [tested, stops] = conditionStops(script, condition, 6);
        EXPECT_TRUE(tested) << condition;
        EXPECT_EQ(stops, std::vector<float>({42, 199})) << condition;
    }
    // Substrings, lengths and values of strings are the condition's too.
    const std::pair<const char*, std::vector<float>> reading[] = {
        {"i = 30 * LEN(s)", {90, 120}},
        {"i = 3 * VAL(RSTR(s, 1))", {0, 15}},
        {"i > 90 & s = u + MSTR(s, 2, 2)", {91, 92, 93, 94, 95, 96, 97, 98, 99}},
    };
    for (const auto& [condition, expected] : reading) {
        const auto [tested, stops] = conditionStops(script, condition, 6);
        EXPECT_TRUE(tested) << condition;
        EXPECT_EQ(stops, expected) << condition;
    }
}

TEST(BreakpointCopies, AConditionBuildingATextTooLongStopsTheRunInsteadOfEndingIt) {
    // s is 32 MB; three of it are longer than a string may be. The script
    // building that would end; the condition cannot be evaluated, so the
    // run stops at its breakpoint at every pass, as when the debugger
    // decides, and goes on to its end.
    const std::string file = scriptFile(
        "VAR i, k\nSTR s, t\ns = \"ab\"\nWHILE k < 24\ns = s + s\nk = k + 1\nWEND\n"
        "WHILE i < 3\nt = \"y\"\ni = i + 1\nWEND\nPRINT 0, 0, i\n");
    Options opts;
    opts.script = file;
    opts.headless = true;
    opts.quiet = true;
    ConditionHook byLoop("t = s + s + s", 9), byDebugger("t = s + s + s", 9, false);
    EXPECT_EQ(runScript(opts, nullptr, &byLoop), 0);
    EXPECT_EQ(runScript(opts, nullptr, &byDebugger), 0);
    std::remove(file.c_str());
    EXPECT_TRUE(byLoop.tested);
    EXPECT_EQ(byLoop.stops, std::vector<float>({0, 1, 2}));
    EXPECT_EQ(byLoop.stops, byDebugger.stops);
    EXPECT_EQ(byLoop.printed, "3");
}

TEST(BreakpointCopies, JoinedComparisonsAreTestedByTheLoopAtTheirPasses) {
    // (The program's own operand lists come first.)
    const char* script =
        "VAR i, j\nSTR s\ns = MSTR(s, 2, 3)\nWHILE i < 40\nj = 40 - i\ni = i + 1\nWEND\n";
    const std::pair<const char*, std::vector<float>> cases[] = {
        {"i > 10 & i < 14", {11, 12, 13}},
        {"i = 3 | j = 3", {3, 37}},
        {"i < 2 | i > 37 | j = 20", {0, 1, 20, 38, 39}},
        {"i > 5 & j > i & i < 30", {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
        {"i = 3 & j = 37 | i = 5", {3}},  // mixed: "&" over the rest
    };
    for (const auto& [condition, expected] : cases) {
        const auto [tested, stops] = conditionStops(script, condition, 6);
        EXPECT_TRUE(tested) << condition;
        EXPECT_EQ(stops, expected) << condition;
    }
}

TEST(BreakpointCopies, AComparisonWithOperationsStopsWhereTheDebuggerWould) {
    // Operations of two registers, of a register and a constant, and of a
    // constant and a register, on either side (a condition starts with a
    // variable, as the language's own do); and two operations (their
    // code run, its last comparison stopping or going on); and such
    // comparisons joined, where an operand that decides the join leaves the
    // rest uncomputed, and a first operand that is a comparison is tested
    // before the operations the compiler placed ahead of it.
    const std::string file = scriptFile("VAR i, j\nWHILE i < 40\nj = 40 - i\ni = i + 1\nWEND\n");
    for (const char* condition :
         {"i < j - i", "i = 40 - j", "i > 100 / j", "i = j % 3", "i < 2 ^ j", "j > i * 2",
          "j - 1 > 30", "i * 2 = 14", "j % 3 = i", "i - j > 0", "i < j - i * 2",
          "i > 30 & j + 1 < i", "i + 1 < 3 | j * 2 < 10 | i = 20",
          "j - 1 > 30 & i * 2 > 2 & i < j + 0", "i * 1 = 7 & j = 33 | i = 9", "i = 7 & j * 2 > 0",
          "i = 7 | j - 1 < 2", "i > 37 | i * 3 = 9 | j + 2 = 30"}) {
        const auto [tested, stops] = conditionStopsIn(file, condition, 4);
        const auto [byDebugger, expected] = conditionStopsIn(file, condition, 4, false);
        EXPECT_TRUE(tested) << condition;
        EXPECT_FALSE(expected.empty()) << condition;
        EXPECT_EQ(stops, expected) << condition;
    }
    std::remove(file.c_str());
}

TEST(BreakpointCopies, AHitCountCountsThePassesWhereItsConditionHolds) {
    const std::string file = scriptFile("VAR i, j\nWHILE i < 40\nj = 40 - i\ni = i + 1\nWEND\n");
    const struct {
        const char* condition;
        HitTest test;
        int32_t count;
        std::vector<float> expected;
    } cases[] = {
        {"i > 10", HIT_GT, 25, {36, 37, 38, 39}},
        {"i > 10", HIT_EVERY, 8, {18, 26, 34}},
        {"i > 10 & j > 20", HIT_EQ, 2, {12}},
        {"i * 2 > 70 | i = 5", HIT_GE, 3, {37, 38, 39}},
    };
    for (const auto& c : cases) {
        Options opts;
        opts.script = file;
        opts.headless = true;
        opts.quiet = true;
        ConditionHook hook(c.condition, 4, true, c.test, c.count);
        EXPECT_EQ(runScript(opts, nullptr, &hook), 0);
        EXPECT_TRUE(hook.tested) << c.condition;
        EXPECT_EQ(hook.stops, c.expected) << c.condition;
    }
    std::remove(file.c_str());
}

TEST(BreakpointCopies, AConditionWithRndDrawsNothingTheScriptSees) {
    // The condition sees the values the script would draw next, as the
    // debugger's own evaluation does, and the script's draws stay its own.
    const std::string file = scriptFile(
        "VAR i, s, r\nWHILE i < 200\nr = RND(1) + RAND(10)\ns = s + r\ni = i + 1\nWEND\n"
        "PRINT 0, 0, s\n");
    struct Run {
        bool tested;
        std::vector<float> stops;
        std::string printed;
    };
    auto run = [&file](const char* condition, bool loopMayTest) {
        Options opts;
        opts.script = file;
        opts.headless = true;
        opts.quiet = true;
        opts.seed = 7;
        ConditionHook hook(condition, 3, loopMayTest);
        EXPECT_EQ(runScript(opts, nullptr, &hook), 0);
        return Run{hook.tested, hook.stops, hook.printed};
    };
    const Run none = run("i < 0", true);
    for (const char* condition :
         {"i > 200 * RND(1)", "s > (RAND(10)) & i > 50", "i > 50 & s > 100 * RND(1)",
          "i > 0 + RAND(400)", "i > 100 * RND(1) + 100 * RND(1)",
          "i > (RAND(100)) + (RAND(150))"}) {
        const Run byLoop = run(condition, true);
        const Run byDebugger = run(condition, false);
        EXPECT_TRUE(byLoop.tested) << condition;
        EXPECT_FALSE(byLoop.stops.empty()) << condition;
        EXPECT_EQ(byLoop.stops, byDebugger.stops) << condition;
        EXPECT_EQ(byLoop.printed, none.printed) << condition;
    }
    std::remove(file.c_str());
}

TEST(BreakpointCopies, ABreakpointOnAWhileStopsBeforeItsTests) {
    // A WHILE comparing with a variable and with a constant; a condition
    // of one comparison goes in the WHILE's own instruction, others before
    // it. The last stop is before the test that ends the loop.
    for (const char* loop : {"WHILE i < n", "WHILE i < 100"}) {
        const std::string script =
            std::string("VAR i, n\nn = 100\n") + loop + "\ni = i + 1\nWEND\nPRINT 0, 0, i\n";
        const std::pair<const char*, std::vector<float>> cases[] = {
            {"i = 50", {50}},
            {"i > n - 3", {98, 99, 100}},
            {"i > 97 & i < 99", {98}},
        };
        for (const auto& [condition, expected] : cases) {
            const auto [tested, stops] = conditionStops(script.c_str(), condition, 3);
            EXPECT_TRUE(tested) << loop << ": " << condition;
            EXPECT_EQ(stops, expected) << loop << ": " << condition;
        }
    }
}

// A breakpoint the run passes (its condition false, its hit count not met)
// on any line, whether the loop tests it or the debugger decides, leaves
// the run as it is without it: statements that hand over to the driver
// (GETTICK, PRINT, FCOLOR), that run out of the loop (strings) and loop
// ends included.
TEST(BreakpointCopies, ABreakpointPassedLeavesEveryStatementItsWork) {
    const std::string file = scriptFile(
        "VAR i, t\nSTR w\nWHILE i < 3000\nGETTICK t\nPRINT 0, 0, \"x\"\nFCOLOR 255, 0, 0\n"
        "w = STRS(i)\ni = i + 1\nWEND\nPRINT 0, 0, w\nPRINT 0, 0, t\n");
    auto printedWith = [&file](int line, bool loopMayTest, int hitTest) {
        Options opts;
        opts.script = file;
        opts.headless = true;
        opts.quiet = true;
        ConditionHook hook("i < 0", line, loopMayTest, hitTest, 1 << 30);
        EXPECT_EQ(runScript(opts, nullptr, &hook), 0);
        EXPECT_TRUE(hook.stops.empty());
        // The loop tests a breakpoint on any line, statements that cannot
        // run from a copy included.
        EXPECT_EQ(hook.tested, loopMayTest && line != 99) << "line " << line;
        // (How many x, then what follows them.)
        const size_t xs = hook.printed.find_first_not_of('x');
        return std::to_string(xs) + " x, then " +
               hook.printed.substr(std::min(xs, hook.printed.size()));
    };
    const std::string plain = printedWith(99, true, -1);
    EXPECT_EQ(plain.substr(0, 17), "3000 x, then 2999") << plain;
    EXPECT_NE(plain, "3000 x, then 29990") << "the ticks counted";
    for (int line = 3; line <= 9; ++line)
        for (bool loopMayTest : {true, false})
            for (int hitTest : {-1, int{HIT_GT}})
                EXPECT_EQ(printedWith(line, loopMayTest, hitTest), plain)
                    << "line " << line << (loopMayTest ? "" : ", decided by the debugger")
                    << (hitTest >= 0 ? ", with a hit count" : "");
    std::remove(file.c_str());
}

// Random conditions of the language's shapes (numbers and strings,
// constants, variables, arithmetic on either side, lengths, values and
// parts of strings, joined by & and |): the loop's own test stops at
// exactly the passes where the debugger, deciding at every pass, stops.
TEST(BreakpointCopies, TheLoopsTestsStopWhereTheDebuggersDecisionsStop) {
    const std::string file = scriptFile(
        "VAR i, j, k\nSTR s, t\nt = \"x5\"\nWHILE i < 40\nj = 40 - i\nk = i * 3\ns = \"x\" + "
        "STRS(i)\n"
        "i = i + 1\nWEND\n");
    uint32_t seed = 12345;
    auto pick = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const char* ops = "=!<>";
    const char* numbers[] = {"i", "j", "k"};
    auto number = [&] {
        switch (pick(6)) {
            case 0: return std::to_string(pick(60));
            case 1: return std::string(numbers[pick(3)]);
            case 2: return std::string(numbers[pick(3)]) + " + " + std::to_string(pick(9));
            case 3: return std::string(numbers[pick(3)]) + " - LEN(s)";
            case 4: return std::to_string(pick(9)) + " * VAL(RSTR(s, 1))";
            default: return "(" + std::string(numbers[pick(3)]) + " * 2)";
        }
    };
    auto comparison = [&] {
        if (pick(4) == 0) {
            const char* strings[] = {"\"x7\"",        "t", "s", "\"x12\"", "t + \"2\"", "\"x\" + t",
                                     "t + RSTR(s, 1)"};
            return std::string(pick(2) ? "s " : "t ") + ops[pick(4)] + " " + strings[pick(7)];
        }
        std::string left = numbers[pick(3)];
        if (pick(3) == 0) left += std::string(" ") + "+-*"[pick(3)] + " " + std::to_string(pick(9));
        return left + " " + ops[pick(4)] + " " + number();
    };
    int tested = 0;
    for (int n = 0; n < 150; ++n) {
        std::string condition = comparison();
        for (uint32_t parts = pick(3); parts > 0; --parts)
            condition += (pick(2) ? " & " : " | ") + comparison();
        const auto [byLoop, stops] = conditionStopsIn(file, condition, 8);
        const auto [byDebugger, expected] = conditionStopsIn(file, condition, 8, false);
        tested += byLoop ? 1 : 0;
        EXPECT_FALSE(byDebugger);
        EXPECT_EQ(stops, expected) << condition;
    }
    std::remove(file.c_str());
    EXPECT_GT(tested, 100) << "conditions tested by the loop";
}

}  // namespace
}  // namespace tessel
