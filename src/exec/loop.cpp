// The executor: one loop runs the compiled program's instructions (vm/code.h)
// with one dispatch, on number, pointer and string registers whose types
// the compiler fixed. Statements that draw, read events or use input boxes
// call their handlers; a run abort shows its box where it happens and ends
// the loop, and the run's edge abandons the run.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "compile/compiler.h"
#include "exec/executor.h"
#include "exec/handlers.h"
#include "expr/ops.h"
#include "gfx/draw.h"
#include "gfx/gfx_state.h"

namespace tessel {

using namespace exec;

namespace {

enum class RunEnd { DONE, ABORTED };

// One round of kKeepAliveInterval statement starts: the work budget, and
// the platform reads native events (headless, the virtual clock moves on).
[[gnu::noinline, gnu::cold]] void keepAliveRound(Vm& vm) {
    ExecState& ex = vm.exec;
    ex.keepAliveCount = 0;
    if (ex.workBudget != 0 && --ex.workBudget == 0) throw ProgramExit{0};
    vm.platform.keepAlive();
}

// One look at the message queue, when it may hold something: a message
// found is dispatched (which may run an event block in the middle of this
// run).
[[gnu::noinline]] void serviceMessage(Vm& vm) {
    Message msg;
    if (vm.platform.peekMessage(msg)) vm.platform.dispatchMessage(msg);
}

inline float numElement(const ArrayElements& a, float index) {
    const uint32_t i = static_cast<uint32_t>(toInt32(index));
    return i < a.nums.size() ? a.nums[i] : 0.0f;
}

inline int32_t ptrElement(const ArrayElements& a, float index) {
    const uint32_t i = static_cast<uint32_t>(toInt32(index));
    return i < a.ptrs.size() ? a.ptrs[i] : 0;
}

inline const std::string& strElement(const ArrayElements& a, float index) {
    static const std::string kEmpty;
    const uint32_t i = static_cast<uint32_t>(toInt32(index));
    return i < a.strs.size() ? a.strs[i] : kEmpty;
}

inline float truth(bool b) { return b ? -1.0f : 0.0f; }

#if defined(TESSEL_SWITCH_DISPATCH)
#define vmdispatch(o) switch (o)
#define vmcase(name) case OP_##name:
#define vmbreak continue
#else
// Computed goto: every instruction's end jumps straight to the next one's
// code, which branch predictors follow better than one shared switch.
#define vmdispatch(o) goto* kLabels[o];
#define vmcase(name) L_##name:
#define vmbreak        \
    do {               \
        TICK();        \
        goto* kLabels[ip->op]; \
    } while (0)
#endif

// A statement starts: it counts toward the keep-alive round.
#define TICK()                                                  \
    do {                                                        \
        if ((ka += ip->ticks) >= kKeepAliveInterval) {          \
            ka = 0;                                             \
            keepAliveRound(vm);                                 \
        }                                                       \
    } while (0)
#define NEXT() \
    do {       \
        ++ip;  \
        vmbreak; \
    } while (0)
#define JUMP(target)              \
    do {                          \
        ip = base + (target);     \
        vmbreak;                  \
    } while (0)
// Leaves the loop; the statement-start count goes back to the state first.
#define LEAVE(how)                   \
    do {                             \
        ex.keepAliveCount = ka;      \
        return RunEnd::how;          \
    } while (0)
// Around what may show a box or dispatch a message (and so run an event
// block, which counts statement starts too).
#define SYNC(call)                   \
    do {                             \
        ex.keepAliveCount = ka;      \
        call;                        \
        ka = ex.keepAliveCount;      \
    } while (0)
#define ABORT_WITH(call)                                  \
    do {                                                  \
        ex.pc = code.tokenOf[static_cast<size_t>(ip - base)]; \
        ex.keepAliveCount = ka;                           \
        call;                                             \
        return RunEnd::ABORTED;                           \
    } while (0)
#define TOKEN() code.tokenOf[static_cast<size_t>(ip - base)]
#define CHECKED(s)                                                        \
    do {                                                                  \
        if ((ip->x & SF_CHECK) && (s).size() > kMaxStringBytes)           \
            ABORT_WITH(raiseTooLong(vm, (s).size()));                     \
    } while (0)

// Runs from instruction `entry` until the run ends. Nothing here has a
// destructor, so a throw from below (the window closed, memory exhausted,
// an abort in an event block run from here) passes through without an
// unwinding path of its own.
[[gnu::hot]] RunEnd execute(Vm& vm, int32_t entry) {
    const Code& code = vm.code;
    const Instr* const base = code.ins.data();
    const Instr* ip = base + entry;
    float* const R = vm.memory.num.data();
    int32_t* const P = vm.memory.ptr.data();
    std::string* const S = vm.memory.str.data();
    ArrayElements* const A = vm.memory.arrays.data();
    ExecState& ex = vm.exec;
    WindowCore& platform = vm.platform;
    uint32_t ka = ex.keepAliveCount;
#if !defined(TESSEL_SWITCH_DISPATCH)
    static const void* const kLabels[] = {
#define X(name, operands) &&L_##name,
        TESSEL_OPCODES(X)
#undef X
    };
#endif
    auto sv = [&](int32_t x) { return stringOperand(vm, x); };

    for (;;) {
        TICK();
        vmdispatch(ip->op) {
            // --- numbers ---
            vmcase(MOV) { R[ip->a] = R[ip->b]; NEXT(); }
            vmcase(MOVK) { R[ip->a] = bitsFloat(ip->b); NEXT(); }
            vmcase(MOVP) { R[ip->a] = static_cast<float>(P[ip->b]); NEXT(); }
            vmcase(NEG) { R[ip->a] = -R[ip->b]; NEXT(); }
            vmcase(ADD) { R[ip->a] = R[ip->b] + R[ip->c]; NEXT(); }
            vmcase(SUB) { R[ip->a] = R[ip->b] - R[ip->c]; NEXT(); }
            vmcase(MUL) { R[ip->a] = R[ip->b] * R[ip->c]; NEXT(); }
            vmcase(DIV) { R[ip->a] = arith(AOP_DIV, R[ip->b], R[ip->c]); NEXT(); }
            vmcase(QUO) { R[ip->a] = truncatedQuotient(R[ip->b], R[ip->c]); NEXT(); }
            vmcase(POW) { R[ip->a] = power(R[ip->b], R[ip->c]); NEXT(); }
            vmcase(ADDK) { R[ip->a] = R[ip->b] + bitsFloat(ip->c); NEXT(); }
            vmcase(SUBK) { R[ip->a] = R[ip->b] - bitsFloat(ip->c); NEXT(); }
            vmcase(MULK) { R[ip->a] = R[ip->b] * bitsFloat(ip->c); NEXT(); }
            vmcase(DIVK) { R[ip->a] = arith(AOP_DIV, R[ip->b], bitsFloat(ip->c)); NEXT(); }
            vmcase(QUOK) { R[ip->a] = truncatedQuotient(R[ip->b], bitsFloat(ip->c)); NEXT(); }
            vmcase(POWK) { R[ip->a] = power(R[ip->b], bitsFloat(ip->c)); NEXT(); }
            vmcase(KADD) { R[ip->a] = bitsFloat(ip->b) + R[ip->c]; NEXT(); }
            vmcase(KSUB) { R[ip->a] = bitsFloat(ip->b) - R[ip->c]; NEXT(); }
            vmcase(KMUL) { R[ip->a] = bitsFloat(ip->b) * R[ip->c]; NEXT(); }
            vmcase(KDIV) { R[ip->a] = arith(AOP_DIV, bitsFloat(ip->b), R[ip->c]); NEXT(); }
            vmcase(KQUO) { R[ip->a] = truncatedQuotient(bitsFloat(ip->b), R[ip->c]); NEXT(); }
            vmcase(KPOW) { R[ip->a] = power(bitsFloat(ip->b), R[ip->c]); NEXT(); }
            vmcase(FN) { R[ip->a] = pureFunction(ip->x, R[ip->b]); NEXT(); }
            vmcase(RND) { R[ip->a] = rndStep(vm.expr.rndState); NEXT(); }
            vmcase(RAND) {
                R[ip->a] = static_cast<float>(randStep(vm.expr.randState, toInt32(static_cast<double>(R[ip->b]))));
                NEXT();
            }
            vmcase(VAL) { R[ip->a] = static_cast<float>(textToNumber(S[ip->b])); NEXT(); }
            vmcase(LEN) { R[ip->a] = static_cast<float>(S[ip->b].size()); NEXT(); }
            vmcase(LDEL) { R[ip->a] = numElement(A[ip->b], R[ip->c]); NEXT(); }
            vmcase(LDELP) { R[ip->a] = static_cast<float>(ptrElement(A[ip->b], R[ip->c])); NEXT(); }
            vmcase(STEL) {
                std::vector<float>& v = A[ip->a].nums;
                const uint32_t i = static_cast<uint32_t>(toInt32(R[ip->b]));
                if (i < v.size()) v[i] = R[ip->c];
                NEXT();
            }
            vmcase(STELP) {
                std::vector<int32_t>& v = A[ip->a].ptrs;
                const uint32_t i = static_cast<uint32_t>(toInt32(R[ip->b]));
                if (i < v.size()) v[i] = toInt32(R[ip->c]);
                NEXT();
            }
            vmcase(STELS) {
                if (!storeStringElement(vm, *ip)) ABORT_WITH(raiseStringMemory(vm, TOKEN()));
                NEXT();
            }
            vmcase(SETP) { P[ip->a] = toInt32(R[ip->b]); NEXT(); }
            // --- strings ---
            vmcase(SSET) {
                std::string& s = S[ip->a];
                s.assign(sv(ip->b));
                CHECKED(s);
                NEXT();
            }
            vmcase(SAPP) {
                std::string& s = S[ip->a];
                s.append(sv(ip->b));
                CHECKED(s);
                NEXT();
            }
            vmcase(SAPPEL) {
                std::string& s = S[ip->a];
                if (ip->x & SF_ASSIGN) s.clear();
                s.append(strElement(A[ip->b], R[ip->c]));
                CHECKED(s);
                NEXT();
            }
            vmcase(SAPPNUM) {
                std::string& s = S[ip->a];
                if (ip->x & SF_ASSIGN) s.clear();
                appendNumberText(s, R[ip->b]);
                CHECKED(s);
                NEXT();
            }
            vmcase(SAPPCHR) {
                std::string& s = S[ip->a];
                if (ip->x & SF_ASSIGN) s.clear();
                s.push_back(static_cast<char>(toInt32(R[ip->b]) & 0xFF));
                CHECKED(s);
                NEXT();
            }
            vmcase(SAPPSUB) {
                appendSubstring(vm, *ip);
                CHECKED(S[ip->a]);
                NEXT();
            }
            vmcase(SCHECK) {
                if (S[ip->a].size() > kMaxStringBytes) ABORT_WITH(raiseTooLong(vm, S[ip->a].size()));
                NEXT();
            }
            vmcase(STORE) {
                std::string& s = S[ip->a];
                const std::string_view value = sv(ip->b);
                if (!chargeString(vm.memory, s.size(), value.size())) ABORT_WITH(raiseStringMemory(vm, TOKEN()));
                s.assign(value);
                NEXT();
            }
            vmcase(STORETAKE) {
                std::string& s = S[ip->a];
                if (!chargeString(vm.memory, s.size(), S[ip->b].size())) ABORT_WITH(raiseStringMemory(vm, TOKEN()));
                s.swap(S[ip->b]);
                NEXT();
            }
            vmcase(SMARK) {
                ex.appendTarget = ip->a;
                ex.appendBase = S[ip->a].size();
                NEXT();
            }
            vmcase(SUNMARK) {
                ex.appendTarget = -1;
                std::string& s = S[ip->a];
                if (!chargeString(vm.memory, ex.appendBase, s.size())) {
                    s.resize(ex.appendBase);
                    ABORT_WITH(raiseStringMemory(vm, TOKEN()));
                }
                NEXT();
            }
            vmcase(SLENGTH) { P[ip->a] = static_cast<int32_t>(S[ip->b].size()); NEXT(); }
            vmcase(SCUT) {
                S[ip->a].resize(static_cast<size_t>(P[ip->b]));
                NEXT();
            }
            // --- conditions ---
            vmcase(CMP) {
                R[ip->a] = truth(numericRelation(R[ip->b], R[ip->c], static_cast<CompareOp>(ip->x)) != 0);
                NEXT();
            }
            vmcase(CMPK) {
                R[ip->a] = truth(numericRelation(R[ip->b], bitsFloat(ip->c), static_cast<CompareOp>(ip->x)) != 0);
                NEXT();
            }
            vmcase(SCMP) {
                R[ip->a] = truth(stringRelation(sv(ip->b), sv(ip->c), static_cast<CompareOp>(ip->x)) != 0);
                NEXT();
            }
            vmcase(AND) { R[ip->a] = truth(R[ip->b] != 0.0f && R[ip->c] != 0.0f); NEXT(); }
            vmcase(OR) { R[ip->a] = truth(R[ip->b] != 0.0f || R[ip->c] != 0.0f); NEXT(); }
            // --- control ---
            vmcase(JMP) { JUMP(ip->a); }
            vmcase(IF) {
                ex.condFlag = R[ip->a] != 0.0f ? -1 : 0;
                if (ex.condFlag == 0) JUMP(ip->b);
                NEXT();
            }
            vmcase(IFFLAG) {
                if (ex.condFlag == 0) JUMP(ip->a);
                NEXT();
            }
            vmcase(IFCMP) {
                ex.condFlag = numericRelation(R[ip->a], R[ip->b], static_cast<CompareOp>(ip->x));
                if (ex.condFlag == 0) JUMP(ip->c);
                NEXT();
            }
            vmcase(IFCMPK) {
                ex.condFlag = numericRelation(R[ip->a], bitsFloat(ip->b), static_cast<CompareOp>(ip->x));
                if (ex.condFlag == 0) JUMP(ip->c);
                NEXT();
            }
            vmcase(WHILE) {
                if (ex.loopDepth >= kStackCapacity)
                    ABORT_WITH(raiseRunError(vm, "Too many nested WHILE loops! : WHILE", TOKEN()));
                if (R[ip->a] == 0.0f) JUMP(ip->b);
                ex.loopStack[static_cast<size_t>(++ex.loopDepth)] = ip->c;
                NEXT();
            }
            vmcase(WHILECMP) {
                if (ex.loopDepth >= kStackCapacity)
                    ABORT_WITH(raiseRunError(vm, "Too many nested WHILE loops! : WHILE", TOKEN()));
                if (!numericRelation(R[ip->a], R[ip->b], static_cast<CompareOp>(ip->x))) JUMP(ip->c);
                ex.loopStack[static_cast<size_t>(++ex.loopDepth)] = static_cast<int32_t>(ip - base);
                NEXT();
            }
            vmcase(WHILECMPK) {
                if (ex.loopDepth >= kStackCapacity)
                    ABORT_WITH(raiseRunError(vm, "Too many nested WHILE loops! : WHILE", TOKEN()));
                if (!numericRelation(R[ip->a], bitsFloat(ip->b), static_cast<CompareOp>(ip->x))) JUMP(ip->c);
                ex.loopStack[static_cast<size_t>(++ex.loopDepth)] = static_cast<int32_t>(ip - base);
                NEXT();
            }
            vmcase(WEND) {
                if (ex.loopDepth <= 0) ABORT_WITH(raiseRunError(vm, "WEND without a running WHILE! : WEND", TOKEN()));
                JUMP(ex.loopStack[static_cast<size_t>(ex.loopDepth--)]);
            }
            vmcase(CALL) {
                if (ex.callDepth >= kStackCapacity)
                    ABORT_WITH(raiseRunError(vm, "Too many nested function calls! : ", TOKEN(), true));
                ex.callStack[static_cast<size_t>(++ex.callDepth)] = ip->b;
                JUMP(ip->a);
            }
            vmcase(ENDFN) {
                if (ex.callDepth <= 0) ABORT_WITH(raiseRunError(vm, "ENDFN without a running call! : ENDFN", TOKEN()));
                JUMP(ex.callStack[static_cast<size_t>(ex.callDepth--)]);
            }
            vmcase(FUNC) {
                if (ex.callDepth == 0) JUMP(ip->a);
                NEXT();
            }
            vmcase(END) {
                ex.pc = ip->a;
                LEAVE(DONE);
            }
            vmcase(ENDBLOCK) {
                ex.pc = 0;
                LEAVE(DONE);
            }
            vmcase(SERVICE) {
                // Each token counts as a statement start (the first one
                // already has) and looks at the message queue once.
                for (int32_t k = 0;;) {
                    if (platform.mayHaveMessage()) SYNC(serviceMessage(vm));
                    if (++k == ip->a) break;
                    if (++ka >= kKeepAliveInterval) {
                        ka = 0;
                        keepAliveRound(vm);
                    }
                }
                NEXT();
            }
            vmcase(NOP) { NEXT(); }
            vmcase(ABORT) { ABORT_WITH(raiseAbort(vm, ip->x, ip->a)); }
            // --- statements ---
            vmcase(PRINT) { execPrint(vm, *ip); NEXT(); }
            vmcase(PSET) { pset(vm.gfx, toInt32(R[ip->a]), toInt32(R[ip->b])); NEXT(); }
            vmcase(PLOT) { plot(vm.gfx, toInt32(R[ip->a]), toInt32(R[ip->b])); NEXT(); }
            vmcase(DRAW) { drawTo(vm.gfx, toInt32(R[ip->a]), toInt32(R[ip->b])); NEXT(); }
            vmcase(LINE) {
                const float* a = R + ip->a;
                line(vm.gfx, toInt32(a[0]), toInt32(a[1]), toInt32(a[2]), toInt32(a[3]));
                NEXT();
            }
            vmcase(RECT) {
                const float* a = R + ip->a;
                rect(vm.gfx, toInt32(a[0]), toInt32(a[1]), toInt32(a[2]), toInt32(a[3]));
                NEXT();
            }
            vmcase(CIRCLE) { circle(vm.gfx, toInt32(R[ip->a]), toInt32(R[ip->b]), toInt32(R[ip->c])); NEXT(); }
            vmcase(COLOR) { execColour(vm, *ip); NEXT(); }
            vmcase(SETFONT) { execSetfont(vm, *ip); NEXT(); }
            vmcase(SWAP) { execSwap(vm); NEXT(); }
            vmcase(LOADIMG) {
                if (!execLoadimg(vm, *ip, TOKEN())) ABORT_WITH((void)0);
                NEXT();
            }
            vmcase(SHOWN) { vm.gfx.shownImage = P[ip->a]; NEXT(); }
            vmcase(SHOWIMG) { execShowimg(vm, *ip); NEXT(); }
            vmcase(SHOWIMGT) {
                const float* a = R + ip->a;
                showImage(vm.gfx, vm.gfx.shownImage, toInt32(a[0]), toInt32(a[1]), toInt32(a[2]), toInt32(a[3]));
                NEXT();
            }
            vmcase(MODE) { ex.displayMode = ip->a; NEXT(); }
            vmcase(MOUSE) {
                int32_t& coordinate = ip->x == 0 ? ex.mouseX : ex.mouseY;
                if (ip->a != 0) R[ip->a] = static_cast<float>(coordinate);
                coordinate = 0;
                NEXT();
            }
            vmcase(EVENTVAL) {
                int32_t& value = ip->x == 0 ? ex.wordParam : ex.longParam;
                if (ip->b == TYPE_NUM) R[ip->a] = static_cast<float>(value);
                if (ip->b == TYPE_PTR) P[ip->a] = value;
                value = 0;
                NEXT();
            }
            vmcase(GETTICK) {
                R[ip->a] = static_cast<float>(static_cast<int32_t>(platform.tickCount()));
                NEXT();
            }
            vmcase(TIMERON) { execTimeron(vm, *ip); NEXT(); }
            vmcase(TIMEROFF) { platform.killTimer(kTimerId); NEXT(); }
            vmcase(DIAG) { SYNC(execDiagnostic(vm, ip->x, ip->a)); NEXT(); }
            vmcase(INPUTBOX) { SYNC(execInputbox(vm, *ip, TOKEN())); NEXT(); }
            vmcase(CONTROL) { ex.currentTextControl = P[ip->a]; NEXT(); }
            vmcase(SETTEXT) { platform.setEditText(ex.currentTextControl, sv(ip->a)); NEXT(); }
            vmcase(GETTEXT) {
                if (!storeEditText(vm, S[ip->a])) ABORT_WITH(raiseStringMemory(vm, TOKEN()));
                NEXT();
            }
            vmcase(FOCUS) {
                ex.currentTextControl = P[ip->a];
                platform.showEdit(ex.currentTextControl, true);
                platform.focusEdit(ex.currentTextControl);
                NEXT();
            }
            vmcase(HIDE) { platform.showEdit(ex.lastInputBox, false); NEXT(); }
#if defined(TESSEL_SWITCH_DISPATCH)
            default: LEAVE(DONE);
#endif
        }
    }
}

// Marks the executor as running for the length of one run, and puts back a
// string that was being appended to in place when the run is abandoned in
// the middle. A run abort or the end of the program unwinds through every
// nested run and leaves the interpreter idle.
class RunScope {
   public:
    explicit RunScope(Vm& vm) : vm_(vm), target_(vm.exec.appendTarget), base_(vm.exec.appendBase) {
        ExecState& ex = vm_.exec;
        ++ex.runDepth;
        ex.running = true;
        ex.appendTarget = -1;
    }
    ~RunScope() {
        ExecState& ex = vm_.exec;
        if (ex.appendTarget >= 0) vm_.memory.str[static_cast<size_t>(ex.appendTarget)].resize(ex.appendBase);
        // (A run interrupted by this one goes on with its own.)
        ex.appendTarget = target_;
        ex.appendBase = base_;
        --ex.runDepth;
        ex.running = false;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

   private:
    Vm& vm_;
    int32_t target_;  // the interrupted run's string appended to in place
    size_t base_;
};

// Runs `run` as one run of the executor, preparing the run first when that
// has not happened yet (event blocks may run after a failed check: the
// checker had registered them before it stopped).
void runScoped(Vm& vm, const std::function<void()>& run) {
    ExecState& ex = vm.exec;
    if (!ex.prepared) prepareExecution(vm);
    RunScope scope(vm);
    ex.windowClosed = false;
    run();
}

// The run's edge: an aborted run is abandoned here, all the way to the
// host's message loop.
void runFrom(Vm& vm, int32_t entry) {
    if (entry < 0) return;
    if (execute(vm, entry) == RunEnd::ABORTED) throw RunAbort{};
}

}  // namespace

namespace exec {

int32_t lineAt(const Vm& vm, int32_t i) { return vm.tokens.lineAt(i); }

}  // namespace exec

void prepareExecution(Vm& vm) {
    vm.exec.prepared = true;
    if (vm.engine) return vm.engine->prepare(vm);
    compileProgram(vm.tokens, vm.symbols, vm.code);
    const size_t vars = vm.symbols.vars.size();
    allocateMemory(vm.memory, vm.symbols, static_cast<size_t>(vm.code.numRegisters) - vars,
                   static_cast<size_t>(vm.code.strRegisters) - vars, static_cast<size_t>(vm.code.intRegisters) - vars);
}

void runMainProgram(Vm& vm) {
    runScoped(vm, [&vm] {
        if (vm.engine) return vm.engine->runMain(vm);
        runFrom(vm, vm.code.mainEntry);
    });
}

void runBlockAt(Vm& vm, EventSlot which, bool interrupting) {
    runScoped(vm, [&] {
        if (vm.engine) return vm.engine->runBlock(vm, which, interrupting);
        runFrom(vm, vm.code.blockEntry[static_cast<size_t>(which)]);
    });
}

}  // namespace tessel
