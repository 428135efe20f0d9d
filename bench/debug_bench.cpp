// What a debugger costs a run, in process, on a loop of a million passes
// of two statements (the worst case: statements of a few nanoseconds each):
// no debugger; a debugger attached with no breakpoint; a breakpoint on a
// statement outside the loop; a breakpoint inside it whose condition never
// holds (tested at every pass: by the loop itself, one comparison or
// several, of variables and constants or with arithmetic on either side,
// on a statement of the loop's body, on its WHILE and on its end; and by
// the debugger, as for a condition the loop cannot test);
// a hit count never met, counted by the loop, alone and of a condition;
// and stopping before every statement (as
// --trace and stepping do, with nothing done at the stop). The same run is
// what a step back costs: the script run again up to the earlier stop.
// Run with repetitions, so each line carries its spread:
//   bench_debug --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "debug/expression.h"
#include "exec/executor.h"
#include "host/launch.h"

namespace {

using namespace tessel;

const char kScript[] =
    "VAR s, i\n"           // 1
    "WHILE i < 1000000\n"  // 2
    "s = i * 2\n"          // 3
    "i = i + 1\n"          // 4
    "WEND\n"               // 5
    "PRINT 0, 0, s\n";     // 6

// A debugger that places one breakpoint at the first statement of `line`
// (none: 0) with a condition, and does nothing at its stops.
class BenchHook final : public DebugHook {
   public:
    BenchHook(int line, std::string condition, bool everyStatement, bool tested = true, int32_t hitsAfter = 0)
        : line_(line), conditionText_(std::move(condition)), everyStatement_(everyStatement), tested_(tested),
          hitsAfter_(hitsAfter) {
        stepping = true;  // the first statement start places the breakpoint
    }
    void atStatement(Vm& vm, int32_t, bool breakpoint) override {
        if (!placed_) {
            placed_ = true;
            place(vm);
        }
        if (breakpoint && condition_) {
            debug::Value v;
            std::string why;
            condition_->evaluate(vm, v, why);
            benchmark::DoNotOptimize(v.num);
        }
        stepping = everyStatement_;
    }
    // As the session does: a condition that does not hold lets the loop run
    // the instruction the BREAK stands in, without stopping.
    int breakPasses(Vm& vm, int32_t index) override {
        if (stepping || !condition_) return -1;
        debug::Value v;
        std::string why;
        if (!condition_->evaluate(vm, v, why) || v.num != 0.0f) return -1;
        return breaks.at(index).original.op;
    }
    void poll(Vm&) override {}
    void output(std::string_view, std::string_view) override {}

   private:
    void place(Vm& vm) {
        if (!conditionText_.empty()) condition_ = std::make_unique<debug::Expression>(vm, conditionText_, true);
        for (size_t i = 0; i < vm.code.ins.size(); ++i) {
            const Instr& in = vm.code.ins[i];
            if (line_ == 0 || in.ticks == 0 || in.op == OP_SERVICE || vm.tokens.lineAt(vm.code.tokenOf[i]) != line_)
                continue;
            const int32_t at = static_cast<int32_t>(i);
            BreakTest test;
            if (condition_) {
                test.condition = &condition_->code();
                test.truth = condition_->truthRegister();
            }
            if (hitsAfter_ > 0) {
                test.counted = true;
                test.hitTest = HIT_GT;
                test.hitCount = hitsAfter_;
            }
            if ((!condition_ && !test.counted) || !tested_ || !setTestedBreak(vm, at, test)) setBreak(vm, at);
        }
    }
    int line_;
    std::string conditionText_;
    std::unique_ptr<debug::Expression> condition_;
    bool everyStatement_;
    bool tested_;  // the condition tested by the loop itself where it can be
    int32_t hitsAfter_;  // a hit count "> N" (0: none)
    bool placed_ = false;
};

std::string scriptFile() {
    static const std::string path = [] {
        char name[] = "/tmp/tessel-debug-bench-XXXXXX";
        const int fd = mkstemp(name);
        std::FILE* f = fdopen(fd, "w");
        std::fputs(kScript, f);
        std::fclose(f);
        return std::string(name);
    }();
    return path;
}

void run(benchmark::State& state, DebugHook* (*hookFor)(int)) {
    Options opts;
    opts.script = scriptFile();
    opts.headless = true;
    opts.quiet = true;
    for (auto _ : state) {
        std::unique_ptr<DebugHook> hook(hookFor(0));
        benchmark::DoNotOptimize(runScript(opts, nullptr, hook.get()));
    }
}

}  // namespace

BENCHMARK_CAPTURE(run, no_debugger, [](int) -> DebugHook* { return nullptr; })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, attached, [](int) -> DebugHook* { return new BenchHook(0, {}, false); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, breakpoint_outside_loop, [](int) -> DebugHook* { return new BenchHook(6, {}, false); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, false_condition_in_loop, [](int) -> DebugHook* { return new BenchHook(3, "i < 0", false); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, hit_count_never_met_in_loop,
                  [](int) -> DebugHook* { return new BenchHook(3, {}, false, true, 1 << 30); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, hit_count_of_a_false_condition_in_loop,
                  [](int) -> DebugHook* { return new BenchHook(3, "i < 0", false, true, 5); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, false_joined_comparisons_in_loop,
                  [](int) -> DebugHook* { return new BenchHook(3, "i < 0 & s < 0", false); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, false_joined_condition_in_loop,
                  [](int) -> DebugHook* { return new BenchHook(3, "i < 0 & s + 1 < 0", false); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, false_computed_right_in_loop,
                  [](int) -> DebugHook* { return new BenchHook(3, "i > s + 1", false); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, false_computed_left_in_loop,
                  [](int) -> DebugHook* { return new BenchHook(3, "s + 1 < 0", false); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, false_condition_on_the_loops_while,
                  [](int) -> DebugHook* { return new BenchHook(2, "i < 0", false); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, false_condition_on_the_loops_end,
                  [](int) -> DebugHook* { return new BenchHook(5, "i < 0", false); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, false_condition_decided_by_debugger,
                  [](int) -> DebugHook* { return new BenchHook(3, "i < 0", false, false); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, stop_at_every_statement, [](int) -> DebugHook* { return new BenchHook(0, {}, true); })
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
