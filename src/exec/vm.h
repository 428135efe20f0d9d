// The machine a checked program runs on: the token store, the checker's
// symbols, the run-time memory, the evaluator's and the executor's state,
// and the services a run uses (drawing, the window system, the diagnostic
// path). The executor takes it by reference and sees no other part of the
// program. It lives with the executor, the one layer that stands above both
// the compiled code and the drawing and window services.
#pragma once

#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/reporter.h"
#include "checker/symbols.h"
#include "gfx/gfx_state.h"
#include "lexer/token_store.h"
#include "platform/window_core.h"
#include "vm/code.h"
#include "vm/exec_state.h"
#include "vm/expr_state.h"
#include "vm/memory.h"

namespace tessel {

// Thrown after a run-time error's diagnostic: abandons every pending
// statement and expression; the host's message loop takes over.
struct RunAbort {};

// Thrown when the program ends from inside a message handler (the window
// was closed). Carries the exit status.
struct ProgramExit {
    int status;
};

// What the host hears of a run besides its diagnostics.
class RunLog {
   public:
    virtual ~RunLog() = default;
    // A PRINT drew `text` at (x, y).
    virtual void printed(int x, int y, std::string_view text) = 0;
};

// The token a run-time diagnostic concerns (index 0: none). A type of its
// own, so that a line number is never passed where a token belongs.
struct AtToken {
    int32_t index = 0;
};

struct Vm;

// How a checked program is run. The program's own engine is the executor
// (exec/); tests put other engines in its place through Vm::engine.
class Engine {
   public:
    virtual ~Engine() = default;
    // Makes the run ready once the checker has accepted the program (or,
    // for event blocks after a failed check, before their first run).
    virtual void prepare(Vm& vm) = 0;
    // Runs the main program from its first statement.
    virtual void runMain(Vm& vm) = 0;
    // Runs the event block registered for `which` message. With
    // `interrupting`, the block runs in the middle of another run, which
    // afterwards resumes where it was.
    virtual void runBlock(Vm& vm, EventSlot which, bool interrupting) = 0;
};

// One run of the executor as a debugger sees it: where it began and where
// its instruction loop stands.
struct DebugRun {
    int32_t entry = 0;                 // the instruction it began at
    int32_t callBase = 0;              // the call depth when it began
    const Instr* const* ip = nullptr;  // the loop's cursor (exact at the loop's stops)
};

// How a breakpoint's count of hits decides that it stops the run: at the
// Nth hit only, from the Nth on, after the Nth, before the Nth, up to the
// Nth, at every Nth.
enum HitTest : uint16_t { HIT_EQ = 0, HIT_GE, HIT_GT, HIT_LT, HIT_LE, HIT_EVERY };

inline bool hitCountMet(uint16_t test, int64_t hits, int64_t n) {
    switch (test) {
        case HIT_EQ: return hits == n;
        case HIT_GE: return hits >= n;
        case HIT_GT: return hits > n;
        case HIT_LT: return hits < n;
        case HIT_LE: return hits <= n;
        default: return n > 0 && hits % n == 0;
    }
}

// A debugger attached to a run. The executor asks it nothing while it runs
// at full speed: it calls `atStatement` only at a statement start while
// `stepping` is set or where the debugger put a BREAK instruction in the
// code (exec/executor.h), and `poll` once a keep-alive round. Nothing it
// does changes what the script sees.
class DebugHook {
   public:
    virtual ~DebugHook() = default;
    // Stop before every statement start (the next one first).
    bool stepping = false;
    // Runs of the executor nested now, the outermost first.
    std::vector<DebugRun> runs;
    // Keep-alive rounds since the run began: with the executor's count of
    // statement starts since the last one, a position in the run's time.
    uint64_t rounds = 0;
    // The instructions a debugger's patch stands in (a breakpoint's, or a
    // loop's end made to go back to its patched WHILE), with the patch.
    struct Patch {
        Instr original;
        Instr patch;
    };
    std::unordered_map<int32_t, Patch> breaks;
    // For each instruction after the program's own (a condition's code, a
    // copy): the breakpoint it belongs to.
    std::vector<int32_t> owners;
    // And the program's instruction it is a copy of, or -1 (a test's code).
    std::vector<int32_t> origins;
    // For a breakpoint that keeps its statement's operands (BRKPRE), by the
    // program's instruction it stands in: where its test's code begins.
    std::vector<int32_t> testsAt;
    // Hit counts the loop keeps, by the counter a breakpoint was given.
    std::vector<int64_t> hits;
    // RND's and RAND's generators, kept aside while a condition the loop
    // tests draws from them (a condition changes nothing the script sees).
    ExprState generators;
    // At the stop at hand: the loop itself counted the hit and found the
    // breakpoint's hit count met.
    bool metByLoop = false;
    // Instruction `index` begins a statement and the run stands before it;
    // `breakpoint` when a BREAK stands there.
    virtual void atStatement(Vm& vm, int32_t index, bool breakpoint) = 0;
    // Asked by the loop itself when it reaches a BREAK at `index`, so that
    // a breakpoint whose condition or hit count is not met costs no stop:
    // the opcode the BREAK stands in for, to run in its place, or -1 to
    // stop and call `atStatement` as for any breakpoint.
    virtual int breakPasses(Vm&, int32_t) { return -1; }
    // A keep-alive round: the debugger may look for requests.
    virtual void poll(Vm& vm) = 0;
    // What the run showed (a box) or drew as text (a PRINT), for the
    // debugger's console.
    virtual void output(std::string_view category, std::string_view text) = 0;
};

struct Vm {
    Vm(GfxState& g, WindowCore& p, Reporter& r, RunLog& l) : gfx(g), platform(p), reporter(r), log(l) {}
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    TokenStore tokens;     // filled by the tokenizer, keyword classes set by the checker
    CheckerState symbols;  // names, types, bindings and event slots; read-only during a run
    Memory memory;         // values of variables and array elements
    Code code;             // the compiled program
    ExprState expr;        // RND's and RAND's generators
    ExecState exec;        // where the run is, stacks, event values
    GfxState& gfx;         // back buffer, colours, font, images
    WindowCore& platform;  // the window system
    Reporter& reporter;    // the one diagnostic path
    RunLog& log;           // where PRINTs are recorded
    Engine* engine = nullptr;  // another engine than the executor (tests), or null
    DebugHook* debug = nullptr;  // an attached debugger, or null

    // A diagnostic at the token `at`, as the run reports it: the failing
    // token's place goes with the box.
    void diagnostic(std::string_view caption, std::string_view text, AtToken at) {
        reporter.diagnostic(caption, text,
                            DiagnosticPlace{at.index > 0 ? tokens.placeAt(at.index) : SourcePlace{}, {}});
    }
};

// The run abort: a run-time error's diagnostic at the token that failed,
// then every pending statement and expression is abandoned. The abort is
// recorded before the box shows, so a program that ends while the box is
// open still ends as aborted.
[[noreturn]] inline void abortRun(Vm& vm, std::string_view caption, std::string_view text, AtToken at) {
    vm.exec.aborted = true;
    vm.diagnostic(caption, text, at);
    throw RunAbort{};
}

}  // namespace tessel
