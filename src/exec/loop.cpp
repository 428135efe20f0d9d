// The statement loop: one program counter walks the token store and one
// switch on each statement's first token runs its handler. Tokens that start
// no statement service the window's message queue instead.
#include <algorithm>
#include <cstdio>

#include "exec/executor.h"
#include "exec/handlers.h"
#include "expr/expr.h"

namespace tessel {

using namespace exec;

namespace exec {

Variable* variableAt(Interpreter& in, int32_t i) {
    const std::vector<int32_t>& tv = in.checker.tokVar;
    if (i < 0 || i >= static_cast<int32_t>(tv.size())) return nullptr;
    int32_t v = tv[i];
    if (v <= 0 || v >= static_cast<int32_t>(in.checker.vars.size())) return nullptr;
    return &in.checker.vars[v];
}

ArrayInfo* arrayAt(Interpreter& in, int32_t i) {
    const std::vector<int32_t>& ta = in.checker.tokArr;
    if (i < 0 || i >= static_cast<int32_t>(ta.size())) return nullptr;
    int32_t a = ta[i];
    if (a <= 0 || a >= static_cast<int32_t>(in.checker.arrays.size())) return nullptr;
    return &in.checker.arrays[a];
}

int32_t lineAt(const Interpreter& in, int32_t i) {
    const std::vector<int32_t>& lines = in.exec.lineOf;
    if (lines.empty()) return 1;
    return lines[std::clamp<int32_t>(i, 0, static_cast<int32_t>(lines.size()) - 1)];
}

void runError(Interpreter& in, std::string_view text, int32_t token) {
    std::string body(text);
    int32_t line = lineAt(in, token);
    body += " -Line: " + std::to_string(line);
    in.diagnostic(body, "Run Error!", line);
    throw RunAbort{};
}

// The executor's own tables: the memoised scans (one slot per possible start
// position, which runs up to one past the last token) and the line numbers.
void prepareExecTables(Interpreter& in) {
    const int32_t size = in.tokens.count + 2;
    ExecState& ex = in.exec;
    ex.ifSkip.assign(size, kScanUnknown);
    ex.elseSkip.assign(size, kScanUnknown);
    ex.whileSkip.assign(size, kScanUnknown);
    ex.funcSkip.assign(size, kScanUnknown);
    ex.lineOf.assign(size, 1);
    int32_t line = 1;
    for (int32_t i = 1; i < size; ++i) {
        ex.lineOf[i] = line;
        if (in.tokens.classAt(i) == CLS_EOL) ++line;
    }
    // Handlers index the checker's per-token tables at any token of the
    // store (and one past it) without further checks.
    CheckerState& ck = in.checker;
    for (std::vector<int32_t>* t :
         {&ck.tokVar, &ck.tokArr, &ck.callTarget, &ck.gotoTarget, &ck.loopStart}) {
        if (static_cast<int32_t>(t->size()) < size) t->resize(size, 0);
    }
}

}  // namespace exec

void prepareExecution(Interpreter& in) {
    buildRunTables(in);
    prepareExecTables(in);
}

namespace {

// Marks the executor as running for the length of one run. A run abort or
// the end of the program unwinds through every nested run and leaves the
// interpreter idle.
class RunScope {
   public:
    explicit RunScope(ExecState& ex) : ex_(ex) {
        ++ex_.runDepth;
        ex_.running = true;
    }
    ~RunScope() {
        --ex_.runDepth;
        ex_.running = false;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

   private:
    ExecState& ex_;
};

// One non-blocking look at the message queue; a message found is dispatched
// (which may run an event block in the middle of this run). Inline: it runs
// at almost every line end, and mostly finds that nothing can wait.
[[gnu::always_inline]] inline void serviceMessage(Interpreter& in) {
    Message msg;
    if (in.platform.peekWaiting(msg)) in.platform.dispatchMessage(msg);
}

// Gives the platform a chance to read native events now and then, so the
// window stays responsive (and can be closed) in loops that service no
// messages.
inline void keepAlive(Interpreter& in) {
    if (++in.exec.keepAliveCount >= kKeepAliveInterval) {
        in.exec.keepAliveCount = 0;
        in.platform.keepAlive();
    }
}

// Runs the statement that starts at the program counter. False when the
// statement ends the run (a WINMSG or ENDWM token).
inline bool dispatch(Interpreter& in, int32_t cls) {
    switch (cls) {
        case KW_VAR: case KW_STR: case KW_PTR: execDeclaration(in); break;
        case CLS_NAME: execNameStatement(in); break;
        case KW_FUNC: execFunc(in); break;
        case KW_ENDFN: execEndfn(in); break;
        case KW_WINMSG:
        case KW_ENDWM: in.exec.pc = 0; return false;
        case KW_MODE: execMode(in); break;
        case KW_MOUSEX: execMousex(in); break;
        case KW_MOUSEY: execMousey(in); break;
        case KW_HWPARAM: execHwparam(in); break;
        case KW_HLPARAM: execHlparam(in); break;
        case KW_GETTICK: execGettick(in); break;
        case KW_TIMERON: execTimeron(in); break;
        case KW_TIMEROFF: execTimeroff(in); break;
        case KW_PRINT: execPrint(in); break;
        case KW_PSET: execPset(in); break;
        case KW_PLOT: execPlot(in); break;
        case KW_DRAW: execDraw(in); break;
        case KW_SWAP: execSwap(in); break;
        case KW_IF: execIf(in); break;
        case KW_ELSE: execElse(in); break;
        case KW_WHILE: execWhile(in); break;
        case KW_WEND: execWend(in); break;
        case KW_GOTO: execGoto(in); break;
        case KW_WCOLOR: execWcolor(in); break;
        case KW_FCOLOR: execFcolor(in); break;
        case KW_BCOLOR: execBcolor(in); break;
        case KW_LINE: execLine(in); break;
        case KW_RECT: execRect(in); break;
        case KW_SETFONT: execSetfont(in); break;
        case KW_LOADIMG: execLoadimg(in); break;
        case KW_SHOWIMG: execShowimg(in); break;
        case KW_SHOWIMGT: execShowimgt(in); break;
        case KW_CIRCLE: execCircle(in); break;
        case KW_INPUTBOX: execInputbox(in); break;
        case KW_GETTEXT: execGettext(in); break;
        case KW_SETTEXT: execSettext(in); break;
        case KW_SETFOCUS: execSetfocus(in); break;
        default: serviceMessage(in); break;
    }
    return true;
}

}  // namespace

void runExecutor(Interpreter& in) {
    ExecState& ex = in.exec;
    // Event blocks may run after a failed check (the checker had registered
    // them before it stopped); the tables are then built on first use.
    if (static_cast<int32_t>(ex.lineOf.size()) != in.tokens.count + 2) prepareExecution(in);
    RunScope scope(ex);
    ex.windowClosed = false;
    const int32_t count = in.tokens.count;
    // The run ends when the program counter reaches the last token (it keeps
    // that value) or at a WINMSG or ENDWM token (it becomes 0).
    while (ex.pc >= 0 && ex.pc < count) {
        keepAlive(in);
        int32_t cls = in.tokens.cls[++ex.pc];
        // Line ends are the commonest tokens that start no statement; a plain
        // test keeps them off the switch's indirect jump.
        if (cls == CLS_EOL) {
            serviceMessage(in);
            continue;
        }
        if (!dispatch(in, cls)) break;
    }
}

}  // namespace tessel
