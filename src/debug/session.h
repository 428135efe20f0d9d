// `tessel --dap`: a Debug Adapter Protocol server over a channel (a pair of
// file descriptors, or the page's queue in the web edition). It launches one script, stops it at breakpoints and steps,
// answers for its call stack, variables and expressions while it stands,
// and brings it back to an earlier stop by running it again from the start
// with the same inputs (the run is determined by its events, RAND's seed
// and the headless virtual clock) up to that stop.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "debug/channel.h"
#include "debug/expression.h"
#include "exec/executor.h"
#include "debug/recorded_images.h"
#include "lsp/json.h"
#include "exec/vm.h"

namespace tessel::debug {

// What `launch` asked for.
struct LaunchConfig {
    std::string program;
    std::vector<std::string> args;  // more of tessel's options
    bool headless = false;
    std::string events;            // an events file to play
    std::optional<uint32_t> seed;  // RAND's seed (the session picks one when absent, and keeps it)
    bool stopOnEntry = false;
    std::string cwd;  // the folder the script runs in (empty: the script's own)
    // A window run whose runner records its input and clock as they enter
    // and plays them again (the page's): it can step back, and a stop needs
    // no pumping of its window.
    bool replayable = false;
};

// Runs a launched script with `hook` attached to its machine and its image
// files read through `images`, to its end; returns the exit status. Built
// by the host.
using Runner = std::function<int(const LaunchConfig&, DebugHook& hook, ImageSource& images)>;

// A breakpoint as the client set it.
struct Breakpoint {
    int32_t id = 0;
    int32_t line = 0;       // as asked
    int32_t placed = 0;     // the line of the statement it stands before (0: none yet)
    std::string condition;  // the language's own condition syntax
    std::string hitCondition;
    std::shared_ptr<Expression> compiled;  // the condition read against the program
    int64_t hits = 0;
};

// A value the client set while the run stood (setVariable): a run brought
// back past that stop sets it again there, so that stepping back and
// forward shows the same run.
struct VariableEdit {
    uint64_t time = 0;  // the stop's place in the run's time
    int64_t ref = 0;    // the scope or array it is in
    std::string name;   // the variable's name, or the element's index
    Value value;
};

class Session final : public DebugHook {
   public:
    // `replayableRuns`: the runner records and replays a window run's input
    // (LaunchConfig::replayable).
    Session(Channel& channel, Runner runner, bool replayableRuns = false);
    // Serves one client until it disconnects or closes its end; the exit
    // status.
    int serve();

    void atStatement(Vm& vm, int32_t index, bool breakpoint) override;
    int breakPasses(Vm& vm, int32_t index) override;
    void poll(Vm& vm) override;
    void output(std::string_view category, std::string_view text) override;

   private:
    // Where a resumed run stops next.
    enum class Resume { Continue, StepIn, Next, StepOut };
    // Where a run started again must stop.
    struct ReplayGoal {
        enum Kind { None, At, Before, LastBreakBefore } kind = None;
        uint64_t time = 0;
        const char* reason = nullptr;  // At: the stop's reason
    };

    bool handle(const Json& msg);  // false: the session ends
    void dispatch(const std::string& command, const Json& msg, const Json& args);
    void respond(const Json& request, Json body = Json::object(), bool success = true, const std::string& message = {});
    void fail(const Json& request, const std::string& message) { respond(request, Json(), false, message); }
    void event(const std::string& name, Json body = Json::object());
    void launchRun();

    // While the run stands.
    void stop(Vm& vm, int32_t index, const std::string& reason);
    bool waitForRequest(std::string& body, int timeoutMs);
    bool shouldStop(Vm& vm, int32_t index, bool breakpoint, std::string& reason);
    bool breakpointTriggers(Vm& vm, int32_t index);
    uint64_t now(const Vm& vm) const;
    void startAgain(ReplayGoal goal);
    BreakTest loopTest(const Breakpoint& b, size_t k) const;
    void placeBreakpoints(Vm& vm);
    void answerBreakpoints(const Json& request, const Json& args);

    // What a stop shows.
    Json stackFrames(const Vm& vm) const;
    Json scopes() const;
    Json variables(const Vm& vm, const Json& args) const;
    Json evaluate(Vm& vm, const Json& args, std::string& error);
    Json setVariable(Vm& vm, const Json& args, std::string& error);
    void replayEdits(Vm& vm);

    Channel& channel_;
    Runner runner_;
    bool replayableRuns_;
    bool writable_ = true;
    int64_t seq_ = 1;
    bool launched_ = false, configured_ = false, running_ = false, ended_ = false;
    bool disconnect_ = false;
    LaunchConfig config_;
    RecordedImages images_;  // what the runs of the session read
    std::vector<Breakpoint> breakpoints_;
    int32_t nextBreakpointId_ = 1;
    std::unordered_map<int32_t, size_t> breakpointAt_;  // BREAK instruction -> its breakpoint
    Vm* current_ = nullptr;  // the machine of the run under way

    // The stop the run stands at (null: it runs).
    Vm* paused_ = nullptr;
    int32_t pausedAt_ = -1;
    Resume resume_ = Resume::Continue;
    size_t resumeRuns_ = 0;      // runs nested where the step began
    int32_t resumeCalls_ = 0;    // call depth where the step began
    bool pauseAsked_ = false;
    int32_t triggered_ = -1;     // the BREAK the loop found met, about to stop
    bool entryPending_ = true;   // the first statement start is still to come
    uint64_t stoppedTime_ = 0;   // the stop's place in the run's time
    std::vector<VariableEdit> edits_;  // in the order of their times
    size_t editsDone_ = 0;             // those the run under way has had

    // Running again towards an earlier stop.
    ReplayGoal goal_;
    uint64_t armRound_ = 0;      // stop before every statement from this round on
    uint64_t lastSeen_ = 0;      // the last statement start (or breakpoint) passed towards the goal
    uint64_t firstSeen_ = 0;     // the run's first statement start
    bool replaying_ = false;     // outputs were shown already
    int exitStatus_ = 0;
};

// Serves `tessel --dap` on the file descriptors `in` and `out` (fd_channel.cpp).
int runDebugAdapter(int in, int out, Runner runner);

}  // namespace tessel::debug
