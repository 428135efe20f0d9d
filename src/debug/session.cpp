#include "debug/session.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "base/convert.h"
#include "base/cp1252.h"
#include "checker/checker.h"
#include "exec/executor.h"
#include "gfx/gfx_state.h"
#include "platform/window_core.h"
#include "vm/memory.h"

namespace tessel::debug {

namespace {

// Thrown from a stop to leave the run: to start it again towards an earlier
// stop, or because the client has gone. The executor and the interpreter
// let it pass; the session catches it where it started the run.
struct LeaveRun {
    bool again = false;  // start again (towards the session's goal)
};

constexpr int32_t kThread = 1;
// Variable references: the scopes, then each array's elements.
constexpr int64_t kRefVariables = 1, kRefArrays = 2, kRefDrawing = 3, kRefEvent = 4, kRefArrayBase = 1000;
// A window run stays painted and answers while it stands: its native events
// are read this often.
constexpr int kPausedPumpMs = 30;

std::string typeName(int32_t type) {
    switch (type) {
        case TYPE_NUM: return "number";
        case TYPE_STR: return "string";
        case TYPE_PTR: return "pointer";
        default: return "";
    }
}

std::string colourText(uint32_t v) {
    return std::to_string(v & 0xFF) + ", " + std::to_string((v >> 8) & 0xFF) + ", " + std::to_string((v >> 16) & 0xFF);
}

Json variable(const std::string& name, const std::string& value, const std::string& type = {}, int64_t ref = 0) {
    Json v = Json::object({{"name", name}, {"value", value}, {"variablesReference", ref}});
    if (!type.empty()) v.set("type", type);
    return v;
}

// An array as the Arrays scope, a watch and a hover show it: its kind and
// how many elements it shows (from 0 to its declared size), paged by index
// under its own reference.
Json arrayVariable(const Vm& vm, size_t a) {
    const ArrayInfo& info = vm.symbols.arrays[a];
    const int64_t shown = std::max<int64_t>(1, info.declaredSize + 1);
    Json v = variable(std::string(vm.tokens.textAt(info.nameToken)),
                      typeName(info.type) + " array [" + std::to_string(shown) + "]", typeName(info.type) + "[]",
                      kRefArrayBase + static_cast<int64_t>(a));
    v.set("indexedVariables", shown);
    return v;
}

// The array a watch or a hover names by itself ("a" of a[i]), or 0; a
// variable of the same name is what the name means there.
size_t arrayNamed(const Vm& vm, std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.empty()) return 0;
    const std::string name = lowerAscii(text);
    for (size_t v = 1; v < vm.symbols.vars.size(); ++v)
        if (declaredName(vm.tokens, vm.symbols.vars[v].nameToken) == name) return 0;
    for (size_t a = 1; a < vm.symbols.arrays.size(); ++a)
        if (declaredName(vm.tokens, vm.symbols.arrays[a].nameToken) == name) return a;
    return 0;
}

// Stores `value` into the variable `name` of the Variables scope (`ref`
// kVariables) or the element `name` of array `ref`: a string into a string,
// a number into a number, a whole number into a pointer; `stored` is what
// it holds then.
bool storeVariable(Vm& vm, int64_t ref, const std::string& name, const Value& value, Value& stored,
                   std::string& error) {
    Memory& mem = vm.memory;
    const CheckerState& sym = vm.symbols;
    float* num = nullptr;
    int32_t* ptr = nullptr;
    Text* str = nullptr;
    if (ref == kRefVariables) {
        const std::string wanted = lowerAscii(name);
        for (size_t v = 1; v < sym.vars.size() && !num && !ptr && !str; ++v) {
            if (declaredName(vm.tokens, sym.vars[v].nameToken) != wanted) continue;
            stored.type = sym.vars[v].type;
            if (stored.type == TYPE_NUM) num = &mem.num[v];
            if (stored.type == TYPE_PTR) ptr = &mem.ptr[v];
            if (stored.type == TYPE_STR) str = &mem.str[v];
        }
    } else if (ref > kRefArrayBase && ref - kRefArrayBase < static_cast<int64_t>(sym.arrays.size())) {
        const size_t a = static_cast<size_t>(ref - kRefArrayBase);
        ArrayElements& e = mem.arrays[a];
        char* end = nullptr;
        const long i = std::strtol(name.c_str(), &end, 10);
        stored.type = sym.arrays[a].type;
        // The elements the Arrays scope shows: from 0 to the declared size.
        const long shown = std::max<long>(1, sym.arrays[a].declaredSize + 1);
        if (!name.empty() && *end == '\0' && i >= 0 && i < shown) {
            const size_t k = static_cast<size_t>(i);
            if (stored.type == TYPE_NUM && k < e.nums.size()) num = &e.nums[k];
            if (stored.type == TYPE_PTR && k < e.ptrs.size()) ptr = &e.ptrs[k];
            if (stored.type == TYPE_STR && k < e.strs.size()) str = &e.strs[k];
        }
    }
    if (!num && !ptr && !str) {
        error = "only a variable or an array element can be set";
        return false;
    }
    if (str) {
        if (value.type != TYPE_STR) {
            error = name + " holds a string: give a string, e.g. \"text\"";
            return false;
        }
        if (!storeString(mem, *str, value.str)) {
            error = "the script's strings would go past their memory";
            return false;
        }
        stored.str = str->str();
        return true;
    }
    if (value.type == TYPE_STR) {
        error = name + " holds a number: give a number";
        return false;
    }
    const float n = value.type == TYPE_PTR ? static_cast<float>(value.ptr) : value.num;
    if (num) {
        stored.num = *num = n;
    } else {
        if (!(n >= -2147483648.0f && n < 2147483648.0f) || n != static_cast<float>(static_cast<int32_t>(n))) {
            error = name + " is a pointer: give a whole number";
            return false;
        }
        stored.ptr = *ptr = value.type == TYPE_PTR ? value.ptr : static_cast<int32_t>(n);
    }
    return true;
}

// The file name at the end of a path.
std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hit condition: "N" or "== N" (only the Nth hit), ">= N" (from the Nth
// on), "> N", "< N", "<= N", "% N" (every Nth). False when unreadable: then
// every hit stops.
bool readHitCondition(const std::string& text, uint16_t& test, int64_t& n) {
    size_t i = 0;
    auto skipSpace = [&] {
        while (i < text.size() && text[i] == ' ') ++i;
    };
    skipSpace();
    std::string op;
    while (i < text.size() && std::string_view("<>=%").find(text[i]) != std::string_view::npos) op += text[i++];
    skipSpace();
    n = 0;
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && n < (int64_t{1} << 40)) {
        n = n * 10 + (text[i++] - '0');
        digits = true;
    }
    static const std::map<std::string, uint16_t> kTests = {{"", HIT_EQ}, {"==", HIT_EQ}, {"=", HIT_EQ}, {">=", HIT_GE},
                                                           {">", HIT_GT}, {"<", HIT_LT},  {"<=", HIT_LE}, {"%", HIT_EVERY}};
    auto known = kTests.find(op);
    if (!digits || known == kTests.end()) return false;
    test = known->second;
    return true;
}

bool hitConditionMet(const std::string& text, int64_t hits) {
    uint16_t test = HIT_EQ;
    int64_t n = 0;
    return !readHitCondition(text, test, n) || hitCountMet(test, hits, n);
}

}  // namespace

Session::Session(Channel& channel, Runner runner, LiveRuns* live)
    : channel_(channel), runner_(std::move(runner)), live_(live) {}

// --- the protocol ------------------------------------------------------------------

void Session::respond(const Json& request, Json body, bool success, const std::string& message) {
    Json r = Json::object({{"seq", seq_++},
                           {"type", "response"},
                           {"request_seq", request["seq"].asInt()},
                           {"success", success},
                           {"command", request["command"].isString() ? request["command"].asString() : std::string()}});
    if (!message.empty()) r.set("message", message);
    if (!body.isNull()) r.set("body", std::move(body));
    if (writable_) writable_ = channel_.write(r.dump());
}

void Session::event(const std::string& name, Json body) {
    Json e = Json::object({{"seq", seq_++}, {"type", "event"}, {"event", name}, {"body", std::move(body)}});
    if (writable_) writable_ = channel_.write(e.dump());
}

void Session::output(std::string_view category, std::string_view text) {
    if (replaying_) return;
    event("output", Json::object({{"category", std::string(category)}, {"output", windows1252ToUtf8(text) + "\n"}}));
}

bool Session::waitForRequest(std::string& body, int timeoutMs) {
    switch (channel_.next(body, timeoutMs)) {
        case Channel::Status::Message: return true;
        case Channel::Status::Timeout: return false;
        case Channel::Status::End: disconnect_ = true; return false;
    }
    return false;
}

// Handles one message; a request that leaves the run (a step back, the
// end of the session) throws LeaveRun when a run is under way.
bool Session::handle(const Json& msg) {
    if (!msg.isObject() || msg["type"].asString() != "request" || !msg["command"].isString()) return true;
    dispatch(msg["command"].asString(), msg, msg["arguments"]);
    return !disconnect_;
}

void Session::dispatch(const std::string& command, const Json& msg, const Json& args) {
    if (command == "initialize") {
        respond(msg, Json::object({{"supportsConfigurationDoneRequest", true},
                                   {"supportsConditionalBreakpoints", true},
                                   {"supportsHitConditionalBreakpoints", true},
                                   {"supportsEvaluateForHovers", true},
                                   {"supportsStepBack", true},
                                   {"supportsSetVariable", true},
                                   {"supportsTerminateRequest", true}}));
        event("initialized");
    } else if (command == "launch") {
        if (launched_) return fail(msg, "a program was launched already");
        config_.program = args["program"].isString() ? args["program"].asString() : std::string();
        if (config_.program.empty()) return fail(msg, "launch needs a program");
        for (const Json& a : args["args"].items())
            if (a.isString()) config_.args.push_back(a.asString());
        config_.headless = args["headless"].asBool(false);
        config_.events = args["events"].isString() ? args["events"].asString() : std::string();
        if (args["seed"].isNumber()) config_.seed = static_cast<uint32_t>(args["seed"].asInt());
        config_.stopOnEntry = args["stopOnEntry"].asBool(false);
        config_.replayable = live_ && !config_.headless;
        config_.cwd = args["cwd"].isString() ? args["cwd"].asString() : std::string();
        // Every run of the session starts in the script's folder: the files
        // the launch names are taken from where the client launched.
        for (std::string* path : {&config_.program, &config_.events, &config_.cwd}) {
            std::error_code ec;
            if (!path->empty()) *path = std::filesystem::absolute(*path, ec).lexically_normal().string();
        }
        launched_ = true;
        respond(msg);
    } else if (command == "setBreakpoints") {
        answerBreakpoints(msg, args);
    } else if (command == "setExceptionBreakpoints") {
        respond(msg, Json::object({{"breakpoints", Json::array()}}));
    } else if (command == "configurationDone") {
        configured_ = true;
        respond(msg);
    } else if (command == "threads") {
        respond(msg, Json::object({{"threads", Json::array({Json::object({{"id", kThread}, {"name", "script"}})})}}));
    } else if (command == "disconnect" || command == "terminate") {
        respond(msg);
        if (command == "disconnect") disconnect_ = true;
        if (running_) throw LeaveRun{};
    } else if (command == "pause") {
        if (running_ && !paused_) {
            pauseAsked_ = true;
            stepping = true;
        }
        respond(msg);
    } else if (!paused_) {
        fail(msg, running_ ? "the script is running" : "no script is running");
    } else if (command == "stackTrace") {
        // A client may ask for a page of the frames: `levels` of them (0 or
        // none: all) from `startFrame` on.
        const Json frames = stackFrames(*paused_);
        const Json::Array& all = frames.items();
        const int64_t total = static_cast<int64_t>(all.size());
        const int64_t start = std::clamp<int64_t>(args["startFrame"].asInt(0), 0, total);
        const int64_t levels = args["levels"].asInt(0);
        const int64_t end = levels > 0 ? std::min(total, start + levels) : total;
        Json::Array page(all.begin() + start, all.begin() + end);
        respond(msg, Json::object({{"stackFrames", Json::array(std::move(page))}, {"totalFrames", total}}));
    } else if (command == "scopes") {
        respond(msg, Json::object({{"scopes", scopes()}}));
    } else if (command == "variables") {
        respond(msg, Json::object({{"variables", variables(*paused_, args)}}));
    } else if (command == "evaluate") {
        std::string error;
        Json body = evaluate(*paused_, args, error);
        if (!error.empty()) return fail(msg, error);
        respond(msg, std::move(body));
    } else if (command == "setVariable") {
        std::string error;
        Json body = setVariable(*paused_, args, error);
        if (!error.empty()) return fail(msg, error);
        respond(msg, std::move(body));
    } else if (command == "continue" || command == "next" || command == "stepIn" || command == "stepOut") {
        resume_ = command == "continue" ? Resume::Continue
                  : command == "next"   ? Resume::Next
                  : command == "stepIn" ? Resume::StepIn
                                        : Resume::StepOut;
        // From a stop where the run waits for messages, every step stops
        // at the next statement, the first of the next event block.
        if (runs.empty() && resume_ != Resume::Continue) resume_ = Resume::StepIn;
        resumeRuns_ = runs.size();
        resumeCalls_ = paused_->exec.callDepth;
        stepping = resume_ != Resume::Continue;
        respond(msg, command == "continue" ? Json::object({{"allThreadsContinued", true}}) : Json::object());
        paused_ = nullptr;
    } else if (command == "stepBack" || command == "reverseContinue") {
        if (!config_.headless && !config_.replayable)
            return fail(msg, "stepping back needs a headless run (\"headless\": true), whose time and input can be played again");
        respond(msg);
        startAgain(ReplayGoal{command == "stepBack" ? ReplayGoal::Before : ReplayGoal::LastBreakBefore, stoppedTime_, nullptr});
    } else {
        fail(msg, "tessel does not support " + command);
    }
}

int Session::serve() {
    std::string body;
    while (!disconnect_ && writable_) {
        if (!waitForRequest(body, -1)) continue;
        std::optional<Json> msg = parseJson(body).value;
        if (!msg) continue;
        try {
            handle(*msg);
        } catch (const LeaveRun&) {
        }
        if (launched_ && configured_ && !running_ && !ended_ && !disconnect_) launchRun();
    }
    return 0;
}

// Runs the launched script, again from the start as often as a step back
// asks, then says it ended.
void Session::launchRun() {
    running_ = true;
    for (bool again = true; again;) {
        again = false;
        runs.clear();
        breaks.clear();
        metByLoop = false;
        rounds = 0;
        entryPending_ = true;
        stepping = true;
        paused_ = nullptr;
        pauseAsked_ = false;
        lastSeen_ = 0;
        firstSeen_ = 0;
        replaying_ = goal_.kind != ReplayGoal::None;
        // The run brought back stops before every statement from the round
        // before its goal, or before the first value the client set.
        armRound_ = goal_.time / kKeepAliveInterval;
        if (!edits_.empty()) armRound_ = std::min(armRound_, edits_.front().time / kKeepAliveInterval);
        armRound_ = armRound_ > 0 ? armRound_ - 1 : 0;
        editsDone_ = 0;
        for (Breakpoint& b : breakpoints_) b.hits = 0;
        images_.restart();
        try {
            exitStatus_ = runner_(config_, *this, images_);
        } catch (const LeaveRun& leave) {
            again = leave.again;
            exitStatus_ = 0;
        }
    }
    running_ = false;
    ended_ = true;
    paused_ = nullptr;
    current_ = nullptr;
    if (live_ && live_->ended) live_->ended();
    if (disconnect_) return;
    event("exited", Json::object({{"exitCode", exitStatus_}}));
    event("terminated");
}

void Session::startAgain(ReplayGoal goal) {
    goal_ = goal;
    throw LeaveRun{true};
}

// --- stops -------------------------------------------------------------------------

uint64_t Session::now(const Vm& vm) const {
    return rounds * kKeepAliveInterval + vm.exec.keepAliveCount;
}

void Session::poll(Vm& vm) {
    if (goal_.kind != ReplayGoal::None && rounds >= armRound_) stepping = true;
    current_ = &vm;
    std::string body;
    while (!disconnect_ && waitForRequest(body, 0))
        if (std::optional<Json> msg = parseJson(body).value) handle(*msg);
    if (disconnect_) throw LeaveRun{};
    // No run of the executor is under way: the main program is over and the
    // run waits for messages. A pause stops it there at once.
    if (pauseAsked_ && runs.empty() && goal_.kind == ReplayGoal::None) {
        pauseAsked_ = false;
        stop(vm, -1, "pause");
    }
}

void Session::atStatement(Vm& vm, int32_t index, bool breakpoint) {
    current_ = &vm;
    if (goal_.kind != ReplayGoal::None) replayEdits(vm);
    if (entryPending_) {
        entryPending_ = false;
        firstSeen_ = now(vm);
        placeBreakpoints(vm);
        // A breakpoint on the first statement is met at its BREAK.
        if (!breakpoint && isBreakpoint(vm.code.ins[static_cast<size_t>(index)].op)) return;
    }
    std::string reason;
    const bool replayed = goal_.kind != ReplayGoal::None;
    if (shouldStop(vm, index, breakpoint, reason)) stop(vm, index, reason);
    // Brought back to its stop, the run goes on as any run: the breakpoints
    // whose condition the loop can test are placed so again.
    if (replayed && goal_.kind == ReplayGoal::None && running_) placeBreakpoints(vm);
    stepping = resume_ != Resume::Continue || pauseAsked_ ||
               (goal_.kind != ReplayGoal::None && rounds >= armRound_);
}

// Whether the run stops before instruction `index`, and why.
bool Session::shouldStop(Vm& vm, int32_t index, bool breakpoint, std::string& reason) {
    const uint64_t t = now(vm);
    if (goal_.kind != ReplayGoal::None) {
        // Towards an earlier stop: breakpoints count their hits as they did.
        const bool hit = breakpoint && breakpointTriggers(vm, index);
        if (goal_.kind == ReplayGoal::At) {
            if (t < goal_.time) return false;
            reason = goal_.reason ? goal_.reason : "step";
            goal_ = ReplayGoal{};
            replaying_ = false;
            resume_ = Resume::Continue;
            return true;
        }
        if (t >= goal_.time) {
            // A reverse continue that found a breakpoint stops there as at a
            // breakpoint; otherwise at the run's first statement.
            const bool atBreak = goal_.kind == ReplayGoal::LastBreakBefore && lastSeen_ != 0;
            startAgain(ReplayGoal{ReplayGoal::At, lastSeen_ != 0 ? lastSeen_ : firstSeen_,
                                  atBreak ? "breakpoint" : lastSeen_ != 0 ? "step" : "entry"});
        }
        if (goal_.kind == ReplayGoal::Before || hit) lastSeen_ = t;
        return false;
    }
    if (breakpoint && breakpointTriggers(vm, index)) {
        reason = "breakpoint";
        return true;
    }
    if (pauseAsked_) {
        pauseAsked_ = false;
        reason = "pause";
        return true;
    }
    const size_t depth = runs.size();
    const int32_t calls = vm.exec.callDepth;
    switch (resume_) {
        case Resume::StepIn: reason = "step"; return true;
        case Resume::Next:
            reason = "step";
            return depth < resumeRuns_ || (depth == resumeRuns_ && calls <= resumeCalls_);
        case Resume::StepOut:
            reason = "step";
            return depth < resumeRuns_ || (depth == resumeRuns_ && calls < resumeCalls_);
        case Resume::Continue:
            if (config_.stopOnEntry && t == firstSeen_) {
                reason = "entry";
                return true;
            }
            return false;
    }
    return false;
}

// A run at full speed decides at the BREAK itself whether its breakpoint
// stops the run; stepping, a pause asked for and a run brought back stop
// at every BREAK and decide in `shouldStop`, as they count what they pass.
int Session::breakPasses(Vm& vm, int32_t index) {
    current_ = &vm;
    if (stepping || pauseAsked_ || goal_.kind != ReplayGoal::None) return -1;
    if (breakpointTriggers(vm, index)) {
        triggered_ = index;
        return -1;
    }
    auto lifted = breaks.find(index);
    return lifted != breaks.end() ? lifted->second.original.op : -1;
}

// The breakpoint at instruction `index` counts a hit when its condition
// holds, and stops when its hit condition is met.
bool Session::breakpointTriggers(Vm& vm, int32_t index) {
    if (triggered_ >= 0) {
        // Decided by `breakPasses` at this very BREAK.
        const bool here = triggered_ == index;
        triggered_ = -1;
        if (here) return true;
    }
    auto at = breakpointAt_.find(index);
    if (at == breakpointAt_.end()) return false;
    Breakpoint& b = breakpoints_[at->second];
    int64_t& counted = hits[at->second];  // the loop's count, kept equal to the breakpoint's
    if (std::exchange(metByLoop, false)) {
        b.hits = counted;
        return true;
    }
    if (b.compiled) {
        Value v;
        std::string why;
        if (!b.compiled->evaluate(vm, v, why))
            output("console", "breakpoint condition on line " + std::to_string(b.line) + ": " + why);
        else if (v.num == 0.0f)
            return false;
    }
    counted = ++b.hits;
    return b.hitCondition.empty() || hitConditionMet(b.hitCondition, b.hits);
}

// Stands at instruction `index` until the client resumes the run. A window
// stays painted and closable meanwhile; input that arrives is held. A live
// window run's clock stands still, and its window shows the picture of the
// stop's moment (a run brought back shows none before); closing that
// window ends the run.
void Session::stop(Vm& vm, int32_t index, const std::string& reason) {
    paused_ = &vm;
    pausedAt_ = index;
    stoppedTime_ = now(vm);
    // Values set after this stop belong to a run that was left by stepping back.
    while (!edits_.empty() && edits_.back().time > stoppedTime_) edits_.pop_back();
    editsDone_ = std::min(editsDone_, edits_.size());
    event("stopped", Json::object({{"reason", reason}, {"threadId", kThread}, {"allThreadsStopped", true}}));
    const bool held = vm.platform.holdingInput();
    vm.platform.holdInput(true);
    ReplayedWindow* window = config_.replayable ? live_->window : nullptr;
    if (window) window->standStill(vm.platform.screenNow());
    struct Restore {
        WindowCore& platform;
        bool held;
        ReplayedWindow* window;
        ~Restore() {
            platform.holdInput(held);
            if (window) window->goOn();
        }
    } restore{vm.platform, held, window};
    std::string body;
    // (A window run that cannot step back is pumped by its own core.)
    const int tendMs = window ? live_->tendMs : config_.headless ? -1 : kPausedPumpMs;
    while (paused_ && !disconnect_) {
        if (!waitForRequest(body, tendMs)) {
            if (disconnect_) break;
            if (window && !window->tend()) throw LeaveRun{};
            if (!window && tendMs >= 0) vm.platform.beat();
            continue;
        }
        if (std::optional<Json> msg = parseJson(body).value) handle(*msg);
    }
    if (disconnect_) throw LeaveRun{};
}

// --- breakpoints -------------------------------------------------------------------

void Session::answerBreakpoints(const Json& request, const Json& args) {
    breakpoints_.clear();
    Json answer = Json::array();
    for (const Json& asked : args["breakpoints"].items()) {
        Breakpoint b;
        b.id = nextBreakpointId_++;
        b.line = static_cast<int32_t>(asked["line"].asInt());
        if (asked["condition"].isString()) b.condition = asked["condition"].asString();
        if (asked["hitCondition"].isString()) b.hitCondition = asked["hitCondition"].asString();
        breakpoints_.push_back(std::move(b));
    }
    if (current_ && running_) placeBreakpoints(*current_);
    for (const Breakpoint& b : breakpoints_) {
        const bool known = current_ && running_;
        Json j = Json::object({{"id", b.id}, {"verified", !known || b.placed > 0}, {"line", known && b.placed > 0 ? b.placed : b.line}});
        if (known && b.placed == 0) j.set("message", "no statement on this line or after it");
        answer.push(std::move(j));
    }
    respond(request, Json::object({{"breakpoints", std::move(answer)}}));
}

// Puts a breakpoint in the first statement of each breakpoint's line (or
// of the next line that has one), and reads the conditions.
void Session::placeBreakpoints(Vm& vm) {
    clearBreaks(vm);
    breakpointAt_.clear();
    hits.assign(breakpoints_.size(), 0);
    struct Place {
        int32_t at;
        bool tested;
        BreakTest test;
    };
    std::vector<Place> places;
    const Code& code = vm.code;
    // The first statement start of each line: its token, and its instructions.
    std::map<int32_t, int32_t> firstToken;
    for (size_t i = 0; i < code.ins.size(); ++i) {
        const Instr& in = code.ins[i];
        if (in.ticks == 0 || in.op == OP_SERVICE) continue;
        const int32_t token = code.tokenOf[i];
        const int32_t line = vm.tokens.lineAt(token);
        auto [it, fresh] = firstToken.emplace(line, token);
        if (!fresh && token < it->second) it->second = token;
    }
    for (size_t k = 0; k < breakpoints_.size(); ++k) {
        Breakpoint& b = breakpoints_[k];
        auto line = firstToken.lower_bound(b.line);
        const int32_t before = b.placed;
        b.placed = line == firstToken.end() ? 0 : line->first;
        b.compiled.reset();
        if (!b.condition.empty()) {
            b.compiled = std::make_shared<Expression>(vm, b.condition, true);
            if (!b.compiled->valid())
                output("console", "breakpoint condition on line " + std::to_string(b.line) + ": " + b.compiled->error());
        }
        // A condition and a hit count the loop can test itself cost no stop
        // where they are not met; a run brought back by a step back stops
        // at every breakpoint, as it counts what it passes.
        const BreakTest test = loopTest(b, k);
        const bool tested = goal_.kind == ReplayGoal::None && (test.condition || test.counted) &&
                            (!b.compiled || test.condition);
        hits[k] = b.hits;
        for (size_t i = 0; b.placed != 0 && i < code.ins.size(); ++i) {
            const Instr& in = code.ins[i];
            if (in.ticks == 0 || in.op == OP_SERVICE || code.tokenOf[i] != line->second) continue;
            const int32_t at = static_cast<int32_t>(i);
            if (breakpointAt_.emplace(at, k).second) places.push_back({at, tested, test});
        }
        // The client hears of a breakpoint that moved to a later line or
        // found no statement, once.
        if (before != b.placed && b.placed != b.line && !replaying_ && running_)
            event("breakpoint",
                  Json::object({{"reason", "changed"},
                                {"breakpoint", Json::object({{"id", b.id}, {"verified", b.placed > 0}, {"line", b.placed > 0 ? b.placed : b.line}})}}));
    }
    // From the program's end: a tested breakpoint copies the code after it
    // up to the next breakpoint, which must stand by then.
    std::sort(places.begin(), places.end(), [](const Place& x, const Place& y) { return x.at > y.at; });
    for (const Place& p : places)
        if (!p.tested || !setTestedBreak(vm, p.at, p.test)) setBreak(vm, p.at);
}

// What the loop can test of breakpoint `k` itself: its condition when it
// reads, its hit count when readable (counted in counter `k`).
BreakTest Session::loopTest(const Breakpoint& b, size_t k) const {
    BreakTest test;
    if (b.compiled && b.compiled->truthRegister() >= 0) {
        test.condition = &b.compiled->code();
        test.truth = b.compiled->truthRegister();
    }
    int64_t n = 0;
    if (!b.hitCondition.empty() && readHitCondition(b.hitCondition, test.hitTest, n) && n <= INT32_MAX) {
        test.counted = true;
        test.counter = static_cast<int32_t>(k);
        test.hitCount = static_cast<int32_t>(n);
    }
    return test;
}

// --- what a stop shows -------------------------------------------------------------

Json Session::stackFrames(const Vm& vm) const {
    Json frames = Json::array();
    const Code& code = vm.code;
    const Instr* const base = code.ins.data();
    auto frame = [&](const std::string& name, int32_t at) {
        const SourcePlace place = vm.tokens.placeAt(code.tokenOf[static_cast<size_t>(at)]);
        const int64_t id = static_cast<int64_t>(frames.items().size()) + 1;
        frames.push(Json::object({{"id", id},
                                  {"name", name},
                                  {"line", place.line},
                                  {"column", std::max(1, place.column)},
                                  {"source", Json::object({{"name", baseName(config_.program)}, {"path", config_.program}})}}));
    };
    // The call that returns to instruction `back` (a breakpoint may stand in it).
    auto callSite = [&](int32_t back) {
        for (size_t i = 0; i < code.ins.size(); ++i) {
            const Instr& in = programInstruction(vm, static_cast<int32_t>(i));
            if (in.op == OP_CALL && in.b == back) return static_cast<int32_t>(i);
        }
        return -1;
    };
    auto runName = [&](int32_t entry) -> std::string {
        for (size_t s = 0; s < SLOT_COUNT; ++s)
            if (code.blockEntry[s] == entry && vm.symbols.slots[s] != 0)
                return "WINMSG " + std::string(vm.tokens.textAt(vm.symbols.slots[s]));
        return "main program";
    };
    int32_t at = pausedAt_;
    int32_t calls = vm.exec.callDepth;
    for (size_t r = runs.size(); r-- > 0;) {
        const DebugRun& run = runs[r];
        for (int32_t d = calls; d > run.callBase && d > 0; --d) {
            const int32_t call = callSite(vm.exec.callStack[static_cast<size_t>(d)]);
            frame(call >= 0 ? std::string(vm.tokens.textAt(code.tokenOf[static_cast<size_t>(call)])) : "function", at);
            if (call >= 0) at = call;
        }
        frame(runName(run.entry), at);
        calls = run.callBase;
        if (r > 0) at = static_cast<int32_t>(*runs[r - 1].ip - base);
    }
    // A stop where the run waits for messages: no statement of the script.
    if (runs.empty()) frames.push(Json::object({{"id", 1}, {"name", "waiting for messages"}, {"line", 0}, {"column", 0}}));
    return frames;
}

Json Session::scopes() const {
    auto scope = [](const char* name, int64_t ref, bool expensive = false) {
        return Json::object({{"name", name}, {"variablesReference", ref}, {"expensive", expensive}});
    };
    return Json::array({scope("Variables", kRefVariables), scope("Arrays", kRefArrays), scope("Drawing", kRefDrawing),
                        scope("Event", kRefEvent)});
}

Json Session::variables(const Vm& vm, const Json& args) const {
    Json out = Json::array();
    const int64_t ref = args["variablesReference"].asInt();
    const Memory& mem = vm.memory;
    const CheckerState& sym = vm.symbols;
    if (ref == kRefVariables) {
        for (size_t v = 1; v < sym.vars.size(); ++v) {
            Value value;
            value.type = sym.vars[v].type;
            if (value.type == TYPE_NUM) value.num = mem.num[v];
            if (value.type == TYPE_PTR) value.ptr = mem.ptr[v];
            if (value.type == TYPE_STR) value.str = mem.str[v].str();
            out.push(variable(std::string(vm.tokens.textAt(sym.vars[v].nameToken)), valueText(value), typeName(value.type)));
        }
    } else if (ref == kRefArrays) {
        for (size_t a = 1; a < sym.arrays.size(); ++a) out.push(arrayVariable(vm, a));
    } else if (ref == kRefDrawing) {
        const GfxState& g = vm.gfx;
        out.push(variable("FCOLOR", colourText(g.foreground)));
        out.push(variable("BCOLOR", colourText(g.background)));
        out.push(variable("pen", std::to_string(g.penX) + ", " + std::to_string(g.penY)));
        if (!g.fonts.empty()) {
            const CachedFont& f = g.fonts.front();
            out.push(variable("font", "\"" + windows1252ToUtf8(f.face) + "\", " + std::to_string(f.height) + ", " +
                                          std::to_string(f.width) + ", " + std::to_string(f.weight)));
        } else {
            out.push(variable("font", "the default font"));
        }
        out.push(variable("images loaded", std::to_string(g.images.size())));
        out.push(variable("image shown", std::to_string(g.shownImage)));
    } else if (ref == kRefEvent) {
        const ExecState& ex = vm.exec;
        out.push(variable("mouse", std::to_string(ex.mouseX) + ", " + std::to_string(ex.mouseY)));
        out.push(variable("word parameter", std::to_string(ex.wordParam)));
        out.push(variable("long parameter", std::to_string(ex.longParam)));
        out.push(variable("timer interval", std::to_string(ex.timerInterval)));
        out.push(variable("text control", std::to_string(ex.currentTextControl)));
    } else if (ref > kRefArrayBase && ref - kRefArrayBase < static_cast<int64_t>(sym.arrays.size())) {
        const size_t a = static_cast<size_t>(ref - kRefArrayBase);
        const ArrayInfo& info = sym.arrays[a];
        const ArrayElements& e = mem.arrays[a];
        const int64_t shown = std::max<int64_t>(1, info.declaredSize + 1);
        const int64_t start = std::clamp<int64_t>(args["start"].asInt(0), 0, shown);
        const int64_t count = std::clamp<int64_t>(args["count"].asInt(shown - start), 0, shown - start);
        for (int64_t i = start; i < start + count; ++i) {
            Value value;
            value.type = info.type;
            const size_t k = static_cast<size_t>(i);
            if (info.type == TYPE_NUM && k < e.nums.size()) value.num = e.nums[k];
            if (info.type == TYPE_PTR && k < e.ptrs.size()) value.ptr = e.ptrs[k];
            if (info.type == TYPE_STR && k < e.strs.size()) value.str = e.strs[k].str();
            out.push(variable(std::to_string(i), valueText(value), typeName(info.type)));
        }
    }
    return out;
}

Json Session::evaluate(Vm& vm, const Json& args, std::string& error) {
    const std::string text = args["expression"].isString() ? args["expression"].asString() : std::string();
    // The editor's text is UTF-8; the script's strings are Windows-1252.
    const std::string script = utf8ToWindows1252(text);
    if (const size_t a = arrayNamed(vm, script); a != 0) {
        Json shown = arrayVariable(vm, a);
        return Json::object({{"result", shown["value"]}, {"type", shown["type"]},
                             {"variablesReference", shown["variablesReference"]},
                             {"indexedVariables", shown["indexedVariables"]}});
    }
    Expression e(vm, script, false);
    Value v;
    if (!e.evaluate(vm, v, error)) return Json();
    return Json::object({{"result", valueText(v)}, {"type", typeName(v.type)}, {"variablesReference", 0}});
}

// Sets a variable of the Variables scope or an element of an array to the
// value of an expression of the language (`"text"`, `x * 2`), of its own
// kind; what it now holds is the answer.
Json Session::setVariable(Vm& vm, const Json& args, std::string& error) {
    VariableEdit edit;
    edit.time = stoppedTime_;
    edit.ref = args["variablesReference"].asInt();
    edit.name = args["name"].isString() ? args["name"].asString() : std::string();
    const std::string text = args["value"].isString() ? args["value"].asString() : std::string();
    Expression e(vm, utf8ToWindows1252(text), false);
    if (!e.evaluate(vm, edit.value, error)) return Json();
    Value stored;
    if (!storeVariable(vm, edit.ref, edit.name, edit.value, stored, error)) return Json();
    edits_.push_back(std::move(edit));
    editsDone_ = edits_.size();
    return Json::object({{"value", valueText(stored)}, {"type", typeName(stored.type)}, {"variablesReference", 0}});
}

// Sets again, in a run brought back, the values the client set at the
// stops it passes.
void Session::replayEdits(Vm& vm) {
    const uint64_t t = now(vm);
    for (; editsDone_ < edits_.size() && edits_[editsDone_].time <= t; ++editsDone_) {
        const VariableEdit& edit = edits_[editsDone_];
        Value stored;
        std::string error;
        storeVariable(vm, edit.ref, edit.name, edit.value, stored, error);
    }
}

}  // namespace tessel::debug
