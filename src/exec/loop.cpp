// The statement loop: one program counter walks the token store and one
// switch on each statement's first token runs its handler. Tokens that start
// no statement service the window's message queue instead.
#include <algorithm>
#include <array>
#include <cstdio>

#include "checker/checker.h"
#include "exec/executor.h"
#include "exec/handlers.h"
#include "expr/expr.h"

namespace tessel {

using namespace exec;

namespace exec {

VarRef variableAt(Vm& vm, int32_t i) {
    size_t v = static_cast<size_t>(vm.symbols.varAt(i));
    if (v == 0 || v >= vm.memory.vars.size()) return {};
    return VarRef{vm.symbols.vars[v].type, &vm.memory.vars[v]};
}

ArrayRef arrayAt(Vm& vm, int32_t i) {
    size_t a = static_cast<size_t>(vm.symbols.arrayAt(i));
    if (a == 0 || a >= vm.memory.arrays.size()) return {};
    return ArrayRef{vm.symbols.arrays[a].type, &vm.memory.arrays[a]};
}

int32_t lineAt(const Vm& vm, int32_t i) {
    const std::vector<int32_t>& lines = vm.exec.lineOf;
    if (lines.empty()) return 1;
    return lines[std::clamp<int32_t>(i, 0, static_cast<int32_t>(lines.size()) - 1)];
}

void runError(Vm& vm, std::string_view text, int32_t token) {
    std::string body(text);
    int32_t line = lineAt(vm, token);
    body += " -Line: " + std::to_string(line);
    abortRun(vm, "Run Error!", body, AtToken{token});
}

void stringMemoryExhausted(Vm& vm, int32_t token) {
    runError(vm,
             "String memory exhausted! : all texts together may hold " +
                 std::to_string(vm.memory.stringBudget >> 20) + " MB",
             token);
}

void storeText(Vm& vm, std::string& slot, std::string&& value, int32_t token) {
    if (!storeString(vm.memory, slot, std::move(value))) stringMemoryExhausted(vm, token);
}

// The classes that start a statement: every case of dispatch. Any other
// token at the program counter (a line end, the parentheses a call returns
// to, ENDIF) only services the message queue.
constexpr int32_t kStatementClasses[] = {
    KW_VAR,    KW_STR,     KW_PTR,     CLS_NAME,    KW_FUNC,    KW_ENDFN,   KW_WINMSG,  KW_ENDWM,
    KW_MODE,   KW_MOUSEX,  KW_MOUSEY,  KW_HWPARAM,  KW_HLPARAM, KW_GETTICK, KW_TIMERON, KW_TIMEROFF,
    KW_PRINT,  KW_PSET,    KW_PLOT,    KW_DRAW,     KW_SWAP,    KW_IF,      KW_ELSE,    KW_WHILE,
    KW_WEND,   KW_GOTO,    KW_WCOLOR,  KW_FCOLOR,   KW_BCOLOR,  KW_LINE,    KW_RECT,    KW_SETFONT,
    KW_LOADIMG, KW_SHOWIMG, KW_SHOWIMGT, KW_CIRCLE, KW_INPUTBOX, KW_GETTEXT, KW_SETTEXT, KW_SETFOCUS,
};
constexpr std::array<bool, 256> statementStarts() {
    std::array<bool, 256> starts{};
    for (int32_t cls : kStatementClasses) starts[static_cast<size_t>(cls)] = true;
    return starts;
}

// The executor's own tables: the memoised scans (one slot per possible start
// position, which runs up to one past the last token), the line numbers and
// what each token starts.
void prepareExecTables(Vm& vm) {
    const int32_t size = vm.tokens.count + 2;
    ExecState& ex = vm.exec;
    ex.ifSkip.assign(size, kScanUnknown);
    ex.elseSkip.assign(size, kScanUnknown);
    ex.whileSkip.assign(size, kScanUnknown);
    ex.funcSkip.assign(size, kScanUnknown);
    ex.lineOf.assign(size, 1);
    ex.startKind.assign(size, SK_NONE);
    constexpr std::array<bool, 256> starts = statementStarts();
    int32_t line = 1;
    for (int32_t i = 1; i < size; ++i) {
        ex.lineOf[i] = line;
        const int32_t cls = vm.tokens.classAt(i);
        if (cls == CLS_EOL) ++line;
        if (cls == CLS_NAME) ex.startKind[i] = SK_NAME;
        else if (cls > 0 && cls < 256 && starts[static_cast<size_t>(cls)]) ex.startKind[i] = SK_KEYWORD;
    }
}

// Handlers index the checker's per-token tables at any token of the store
// (and one past it) without further checks: the checker sizes them so.
bool tokenTablesCover(const CheckerState& ck, int32_t size) {
    return static_cast<int32_t>(ck.binding.size()) >= size;
}

}  // namespace exec

void prepareExecution(Vm& vm) {
    if (!tokenTablesCover(vm.symbols, vm.tokens.count + 2)) sizeTokenTables(vm.symbols, vm.tokens.count);
    allocateMemory(vm.memory, vm.symbols);
    buildRunTables(vm);
    prepareExecTables(vm);
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
[[gnu::always_inline]] inline void serviceMessage(Vm& vm) {
    if (!vm.platform.mayHaveMessage()) return;
    Message msg;
    if (vm.platform.peekMessage(msg)) vm.platform.dispatchMessage(msg);
}

// Gives the platform a chance to read native events now and then, so the
// window stays responsive (and can be closed) in loops that service no
// messages.
inline void keepAlive(Vm& vm) {
    if (++vm.exec.keepAliveCount >= kKeepAliveInterval) {
        vm.exec.keepAliveCount = 0;
        if (vm.exec.workBudget != 0 && --vm.exec.workBudget == 0) throw ProgramExit{0};
        vm.platform.keepAlive();
    }
}

// WEND: back to the loop's WHILE, which the loop's next fetch would reach.
// That fetch is made here (keep-alive count included), so the loop test
// runs without another pass through the switch.
inline void loopBack(Vm& vm) {
    execWend(vm);
    keepAlive(vm);
    ++vm.exec.pc;
    execWhile(vm);
}

// Runs the statement that starts at the program counter. False when the
// statement ends the run (a WINMSG or ENDWM token).
inline bool dispatch(Vm& vm, int32_t cls) {
    switch (cls) {
        // (The classes of "^", "`" and "~" share these values: see isDeclaringClass.)
        case KW_VAR: case KW_STR: case KW_PTR: execDeclaration(vm); break;
        case CLS_NAME: execNameStatement(vm); break;
        case KW_FUNC: execFunc(vm); break;
        case KW_ENDFN: execEndfn(vm); break;
        case KW_WINMSG:
        case KW_ENDWM: vm.exec.pc = 0; return false;
        case KW_MODE: execMode(vm); break;
        case KW_MOUSEX: execMousex(vm); break;
        case KW_MOUSEY: execMousey(vm); break;
        case KW_HWPARAM: execHwparam(vm); break;
        case KW_HLPARAM: execHlparam(vm); break;
        case KW_GETTICK: execGettick(vm); break;
        case KW_TIMERON: execTimeron(vm); break;
        case KW_TIMEROFF: execTimeroff(vm); break;
        case KW_PRINT: execPrint(vm); break;
        case KW_PSET: execPset(vm); break;
        case KW_PLOT: execPlot(vm); break;
        case KW_DRAW: execDraw(vm); break;
        case KW_SWAP: execSwap(vm); break;
        case KW_IF: execIf(vm); break;
        case KW_ELSE: execElse(vm); break;
        case KW_WHILE: execWhile(vm); break;
        case KW_WEND: loopBack(vm); break;
        case KW_GOTO: execGoto(vm); break;
        case KW_WCOLOR: execWcolor(vm); break;
        case KW_FCOLOR: execFcolor(vm); break;
        case KW_BCOLOR: execBcolor(vm); break;
        case KW_LINE: execLine(vm); break;
        case KW_RECT: execRect(vm); break;
        case KW_SETFONT: execSetfont(vm); break;
        case KW_LOADIMG: execLoadimg(vm); break;
        case KW_SHOWIMG: execShowimg(vm); break;
        case KW_SHOWIMGT: execShowimgt(vm); break;
        case KW_CIRCLE: execCircle(vm); break;
        case KW_INPUTBOX: execInputbox(vm); break;
        case KW_GETTEXT: execGettext(vm); break;
        case KW_SETTEXT: execSettext(vm); break;
        case KW_SETFOCUS: execSetfocus(vm); break;
        default: serviceMessage(vm); break;
    }
    return true;
}

// The statements of one run, from the program counter on. Kept apart from
// runExecutor's scope object, so that this loop needs no unwinding path:
// in the web build (exceptions done in JavaScript) every call made where a
// destructor would have to run on a throw goes through JavaScript.
[[gnu::noinline]] void runStatements(Vm& vm) {
    ExecState& ex = vm.exec;
    const uint32_t count = static_cast<uint32_t>(vm.tokens.count);
    const uint8_t* classes = vm.tokens.classes();
    const uint8_t* kinds = ex.startKind.data();
    // The run ends when the program counter reaches the last token (it keeps
    // that value) or at a WINMSG or ENDWM token (it becomes 0).
    while (static_cast<uint32_t>(ex.pc) < count) {
        keepAlive(vm);
        const int32_t pc = ++ex.pc;
        switch (kinds[pc]) {
            // Tokens that start no statement are the commonest (line ends
            // above all), then names (assignments and calls): both are kept
            // off the statement switch's indirect jump.
            case SK_NONE: serviceMessage(vm); break;
            case SK_NAME: execNameStatement(vm); break;
            default:
                if (!dispatch(vm, classes[pc])) return;
                break;
        }
    }
}

}  // namespace

void runExecutor(Vm& vm) {
    ExecState& ex = vm.exec;
    // Event blocks may run after a failed check (the checker had registered
    // them before it stopped); the tables are then built on first use.
    if (static_cast<int32_t>(ex.lineOf.size()) != vm.tokens.count + 2) prepareExecution(vm);
    RunScope scope(ex);
    ex.windowClosed = false;
    runStatements(vm);
}

}  // namespace tessel
