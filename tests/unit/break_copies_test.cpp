// A breakpoint the loop tests itself runs the code after it from copies
// where it is not met. A keep-alive round, and a pause asked for there,
// that falls in the copies stops the run at the program's own instruction
// (breakpoints may change at a stop, and the copies with them), and the
// run's results are those of a run without the breakpoint.
#include <gtest/gtest.h>
#include <unistd.h>

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

std::string scriptFile() {
    char name[] = "/tmp/tessel-copies-XXXXXX";
    const int fd = mkstemp(name);
    std::FILE* f = fdopen(fd, "w");
    std::fputs(kScript, f);
    std::fclose(f);
    return name;
}

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

}  // namespace
}  // namespace tessel
