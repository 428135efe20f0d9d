// The executor: one loop runs the compiled program's instructions (vm/code.h)
// with one dispatch, on number, pointer and string registers whose types
// the compiler fixed. The loop stops, and its driver takes over, where an
// instruction's work reaches beyond the run's memory and drawing (the
// message queue, the clock, the window, input boxes, text, boxes), where a
// keep-alive round falls due, and where the run aborts: the driver shows
// the abort's box, and the run's edge abandons the run.
#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <optional>

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

// Why the instruction loop stopped and handed over to its driver.
enum class Stop : uint8_t {
    END,        // the run is over
    ABORT,      // the instruction at the cursor aborts the run (its box is still to show)
    HANDOVER,   // the instruction at the cursor is the driver's (below)
    KEEPALIVE,  // a keep-alive round is due before the instruction at the cursor
    BREAK,      // the instruction at the cursor is a debugger's breakpoint (counted)
};

// Where the instruction loop is, kept across its stops.
struct Cursor {
    const Instr* ip;
    uint32_t ka;           // statement starts since the last keep-alive round
    bool counted = false;  // the statement start at ip has been counted
};

// One round of kKeepAliveInterval statement starts: the work budget, and
// the platform reads native events (headless, the virtual clock moves on).
void keepAliveRound(Vm& vm) {
    ExecState& ex = vm.exec;
    ex.keepAliveCount = 0;
    if (ex.workBudget != 0 && --ex.workBudget == 0) throw ProgramExit{0};
    vm.platform.keepAlive();
    if (DebugHook* dbg = vm.debug) {
        ++dbg->rounds;
        dbg->poll(vm);
    }
}

inline float numElement(const ArrayElements& a, float index) {
    const uint32_t i = static_cast<uint32_t>(toInt32(index));
    return i < a.nums.size() ? a.nums[i] : 0.0f;
}

inline int32_t ptrElement(const ArrayElements& a, float index) {
    const uint32_t i = static_cast<uint32_t>(toInt32(index));
    return i < a.ptrs.size() ? a.ptrs[i] : 0;
}

inline const Text& strElement(const ArrayElements& a, float index) {
    static const Text kEmpty;
    const uint32_t i = static_cast<uint32_t>(toInt32(index));
    return i < a.strs.size() ? a.strs[i] : kEmpty;
}

inline float truth(bool b) {
    return b ? -1.0f : 0.0f;
}

inline float operand(const float* R, int32_t v, bool constant) {
    return constant ? bitsFloat(v) : R[v];
}

// Whether R[left] op R[right] (or op the constant whose bits `right` holds)
// holds.
inline bool registerComparison(const float* R, int32_t left, int32_t right, bool constant, uint16_t op) {
    return numericRelation(R[left], operand(R, right, constant), static_cast<CompareOp>(op)) != 0;
}

// Whether a breakpoint's joined comparisons hold (BRKCMPS): `count`
// entries of (op, left register, right is a constant, right register or
// constant's bits) joined by and (`joinedBy` 0) or or (1). (Out of the
// loop in the web edition, whose compiler makes the whole loop slower for
// more work in it.)
#if defined(__EMSCRIPTEN__)
[[gnu::noinline]]
#endif
bool comparisonsHold(const float* R, const int32_t* list, int32_t count, uint16_t joinedBy) {
    const bool any = joinedBy != 0;
    for (int32_t k = 0; k < count; ++k, list += 4) {
        if (registerComparison(R, list[1], list[3], list[2] != 0, static_cast<uint16_t>(list[0])) == any) return any;
    }
    return !any;
}

// The shapes of the conditions the loop tests in a statement's own
// instruction are told by its x.
//
// BRKCALC, a comparison (op in bits 0-1) whose right is an operation
// (ArithOp in bits 2-4) of two operands, constants where bits 5 and 6, and
// whose left is a constant where bit 7; operands A(a): left, the
// operation's left and right. (A comparison with the operation on its left
// is turned round: "s + 1 < 0" is "0 > s + 1".)
constexpr uint16_t kCalcLeftConstant = 128;

// Out of the loop in the web edition, whose compiler makes the whole loop
// slower for more work in it; natively inline, a call's cost less.
#if defined(__EMSCRIPTEN__)
[[gnu::noinline]]
#endif
inline bool computedComparisonHolds(const float* R, const int32_t* l, uint16_t x) {
    const float right =
        arith(static_cast<ArithOp>(x >> 2 & 7), operand(R, l[1], (x & 32) != 0), operand(R, l[2], (x & 64) != 0));
    return numericRelation(operand(R, l[0], (x & kCalcLeftConstant) != 0), right, static_cast<CompareOp>(x & 3)) !=
           0;
}

// BRKFIRST, the first operand of operands joined by "&" or "|", a
// comparison: op in bits 0-1, its right a constant where bit 2, joined by
// or where bit 3; operands A(a): left, right, where the rest is tested.
// Where it decides (false joined by "&", true by "|") the rest is not
// computed.
constexpr uint16_t kFirstRightConstant = 4;
constexpr uint16_t kFirstJoinedByOr = 8;

// BRKWHILE, a WHILE's breakpoint: its comparison's op in bits 0-2 and its
// right a constant where bit 3, or with bit 8 a hit count's test in bits
// 0-2; the WHILE's op in bits 4-6, its right a constant where bit 7.
constexpr uint16_t kWhileHitCount = 256;

// BRKTEST, two comparisons joined: ops in bits 0-1 and 2-3, right operands
// that are constants in bits 4 and 5, joined by or where bit 6; operands
// A(a): left, right, left, right. Whether it holds (out of the loop in the
// web edition, as comparisonsHold):
#if defined(__EMSCRIPTEN__)
[[gnu::noinline]]
#endif
inline bool conditionHolds(const float* R, const int32_t* l, uint16_t x) {
    const bool first = registerComparison(R, l[0], l[1], (x & 16) != 0, x & 3);
    if (first == ((x & 64) != 0)) return first;  // decided: false joined by and, true by or
    return registerComparison(R, l[2], l[3], (x & 32) != 0, x >> 2 & 3);
}

#if defined(TESSEL_SWITCH_DISPATCH)
#define vmdispatch(o) switch (o)
#define vmcase(name) case OP_##name:
#define vmbreak goto next
#else
// Computed goto: every instruction's end jumps straight to the next one's
// code, which branch predictors follow better than one shared switch.
#define vmdispatch(o) goto* kLabels[o];
#define vmcase(name) L_##name:
#define vmbreak                \
    do {                       \
        TICK();                \
        goto* kLabels[ip->op]; \
    } while (0)
#endif

// Leaves the loop at the instruction at ip.
#define STOP(why)         \
    do {                  \
        c.ip = ip;        \
        c.ka = ka;        \
        return Stop::why; \
    } while (0)
// A statement starts: it counts toward the keep-alive round; when a round
// is due the driver makes it first.
#define TICK()                                         \
    do {                                               \
        if ((ka += ip->ticks) >= kKeepAliveInterval) { \
            c.counted = true;                          \
            STOP(KEEPALIVE);                           \
        }                                              \
    } while (0)
#define NEXT()   \
    do {         \
        ++ip;    \
        vmbreak; \
    } while (0)
#define JUMP(target)          \
    do {                      \
        ip = base + (target); \
        vmbreak;              \
    } while (0)
// To an instruction that starts no statement (so no count is due).
#if defined(TESSEL_SWITCH_DISPATCH)
#define UNCOUNTED_JUMP(target) JUMP(target)
#else
#define UNCOUNTED_JUMP(target)     \
    do {                           \
        ip = base + (target);      \
        goto* kLabels[ip->op];     \
    } while (0)
#endif
// A WHILE that compares (WHILECMP, WHILECMPK, and BRKWHILE after its
// breakpoint's test): where `holds`, its place goes on the loop stack for
// its WEND and the body runs; else the run goes on at `exit`.
#define WHILE_TEST(holds, exit)                                                              \
    do {                                                                                     \
        if (ex.loopDepth >= kStackCapacity) STOP(ABORT);                                     \
        if (!(holds)) JUMP(exit);                                                            \
        ex.loopStack[static_cast<size_t>(++ex.loopDepth)] = static_cast<int32_t>(ip - base); \
        NEXT();                                                                              \
    } while (0)
// The instruction at ip, which a breakpoint stands in with its operands,
// runs as its own operation `op` (its statement start counted already).
#define RUN_AS(op)                                                             \
    do {                                                                       \
        if (!kOutOfLoop[op]) goto* kLabels[op];                                \
        if (!runOtherAs(vm, *ip, static_cast<uint8_t>(op))) STOP(ABORT);       \
        NEXT();                                                                \
    } while (0)
#define OTHER()                    \
    do {                           \
        ip = runOthers(vm, c, ip); \
        if (!ip) {                 \
            c.ka = ka;             \
            return Stop::ABORT;    \
        }                          \
        vmbreak;                   \
    } while (0)

// RAND(n): the script's draw, and a breakpoint condition's from its copy of
// the generators.
inline float randOf(uint32_t& state, float n) {
    return static_cast<float>(randStep(state, toInt32(static_cast<double>(n))));
}

// The instructions out of the loop's own body: strings, and statements that
// draw or set event state. Each is a call's worth of work or more, and
// kept apart they leave the loop small, which the web edition's compiler
// turns into much faster code.
#define TESSEL_OUT_OF_LOOP(X)                                                                 \
    X(VAL) X(STELS) X(SSET) X(SAPP) X(SAPPEL) X(SAPPNUM) X(SAPPCHR) X(SAPPSUB) X(SCHECK) X(STORE) \
    X(STORETAKE) X(SMARK) X(SUNMARK) X(SLENGTH) X(SCUT) X(BRKGEN) X(SCMP) X(PLOT) X(DRAW)         \
    X(LINE) X(RECT) X(CIRCLE) X(SHOWN) X(SHOWIMG) X(SHOWIMGT) X(MODE) X(MOUSE) X(EVENTVAL)        \
    X(CONTROL)

constexpr std::array<bool, OP_COUNT> kOutOfLoop = [] {
    std::array<bool, OP_COUNT> out{};
#define X(name) out[OP_##name] = true;
    TESSEL_OUT_OF_LOOP(X)
#undef X
    return out;
}();

// Runs one instruction out of the loop; false when it aborts the run.
[[gnu::always_inline]] inline bool runOther(Vm& vm, const Instr* ip) {
    float* const R = vm.memory.num.data();
    int32_t* const P = vm.memory.ptr.data();
    Text* const S = vm.memory.str.data();
    ArrayElements* const A = vm.memory.arrays.data();
    ExecState& ex = vm.exec;
    auto sv = [&](int32_t x) { return stringOperand(vm, x); };
    switch (ip->op) {
        case OP_VAL: {
            R[ip->a] = static_cast<float>(textToNumber(S[ip->b]));
            return true;
        }
        case OP_STELS: {
            if (!storeStringElement(vm, *ip)) return false;
            return true;
        }
        case OP_SSET: {
            Text& s = S[ip->a];
            s.assign(sv(ip->b));
            return !(ip->x & SF_CHECK) || (s).size() <= kMaxStringBytes;
        }
        case OP_SAPP: {
            Text& s = S[ip->a];
            s.append(sv(ip->b));
            return !(ip->x & SF_CHECK) || (s).size() <= kMaxStringBytes;
        }
        case OP_SAPPEL: {
            Text& s = S[ip->a];
            if (ip->x & SF_ASSIGN) s.clear();
            s.append(strElement(A[ip->b], R[ip->c]));
            return !(ip->x & SF_CHECK) || (s).size() <= kMaxStringBytes;
        }
        case OP_SAPPNUM: {
            Text& s = S[ip->a];
            if (ip->x & SF_ASSIGN) s.clear();
            char buffer[kNumberTextMax];
            s.append(writeNumberText(R[ip->b], buffer));
            return !(ip->x & SF_CHECK) || (s).size() <= kMaxStringBytes;
        }
        case OP_SAPPCHR: {
            Text& s = S[ip->a];
            if (ip->x & SF_ASSIGN) s.clear();
            s.push_back(static_cast<char>(toInt32(R[ip->b]) & 0xFF));
            return !(ip->x & SF_CHECK) || (s).size() <= kMaxStringBytes;
        }
        case OP_SAPPSUB: {
            appendSubstring(vm, *ip);
            return !(ip->x & SF_CHECK) || (S[ip->a]).size() <= kMaxStringBytes;
        }
        case OP_SCHECK: {
            if (S[ip->a].size() > kMaxStringBytes) return false;
            return true;
        }
        case OP_STORE: {
            Text& s = S[ip->a];
            const std::string_view value = sv(ip->b);
            if (!chargeString(vm.memory, s.size(), value.size())) return false;
            s.assign(value);
            return true;
        }
        case OP_STORETAKE: {
            Text& s = S[ip->a];
            if (!chargeString(vm.memory, s.size(), S[ip->b].size())) return false;
            s.swap(S[ip->b]);
            return true;
        }
        case OP_SMARK: {
            ex.appendTarget = ip->a;
            ex.appendBase = S[ip->a].size();
            return true;
        }
        case OP_SUNMARK: {
            ex.appendTarget = -1;
            Text& s = S[ip->a];
            if (!chargeString(vm.memory, ex.appendBase, s.size())) {
                s.resize(ex.appendBase);
                return false;
            }
            return true;
        }
        case OP_SLENGTH: {
            P[ip->a] = static_cast<int32_t>(S[ip->b].size());
            return true;
        }
        case OP_SCUT: {
            S[ip->a].resize(static_cast<size_t>(P[ip->b]));
            return true;
        }
        case OP_BRKGEN: {
            ExprState& kept = vm.debug->generators;
            if (ip->x == 0) kept = vm.expr;
            else if (ip->x == 1) R[ip->a] = rndStep(kept.rndState);
            else R[ip->a] = randOf(kept.randState, R[ip->b]);
            return true;
        }
        case OP_SCMP: {
            R[ip->a] =
                truth(stringRelation(sv(ip->b), sv(ip->c), static_cast<CompareOp>(ip->x)) != 0);
            return true;
        }
        case OP_PLOT: {
            plot(vm.gfx, toInt32(R[ip->a]), toInt32(R[ip->b]));
            return true;
        }
        case OP_DRAW: {
            drawTo(vm.gfx, toInt32(R[ip->a]), toInt32(R[ip->b]));
            return true;
        }
        case OP_LINE: {
            const float* a = R + ip->a;
            line(vm.gfx, toInt32(a[0]), toInt32(a[1]), toInt32(a[2]), toInt32(a[3]));
            return true;
        }
        case OP_RECT: {
            const float* a = R + ip->a;
            rect(vm.gfx, toInt32(a[0]), toInt32(a[1]), toInt32(a[2]), toInt32(a[3]));
            return true;
        }
        case OP_CIRCLE: {
            circle(vm.gfx, toInt32(R[ip->a]), toInt32(R[ip->b]), toInt32(R[ip->c]));
            return true;
        }
        case OP_SHOWN: {
            vm.gfx.shownImage = P[ip->a];
            return true;
        }
        case OP_SHOWIMG: {
            execShowimg(vm, *ip);
            return true;
        }
        case OP_SHOWIMGT: {
            const float* a = R + ip->a;
            showImage(vm.gfx, vm.gfx.shownImage, toInt32(a[0]), toInt32(a[1]), toInt32(a[2]),
                      toInt32(a[3]));
            return true;
        }
        case OP_MODE: {
            ex.displayMode = ip->a;
            return true;
        }
        case OP_MOUSE: {
            int32_t& coordinate = ip->x == 0 ? ex.mouseX : ex.mouseY;
            if (ip->a != 0) R[ip->a] = static_cast<float>(coordinate);
            coordinate = 0;
            return true;
        }
        case OP_EVENTVAL: {
            int32_t& value = ip->x == 0 ? ex.wordParam : ex.longParam;
            if (ip->b == TYPE_NUM) R[ip->a] = static_cast<float>(value);
            if (ip->b == TYPE_PTR) P[ip->a] = value;
            value = 0;
            return true;
        }
        case OP_CONTROL: {
            ex.currentTextControl = P[ip->a];
            return true;
        }
        default: return true;
    }
}

// Runs the instruction at ip out of the loop, and those after it in the same
// statement that also run here (a string expression is several), so that
// the loop calls once for them all. Returns the instruction to go on with;
// nullptr, with the cursor at the instruction, when one aborts the run.
[[gnu::noinline]] const Instr* runOthers(Vm& vm, Cursor& c, const Instr* ip) {
    do {
        if (!runOther(vm, ip)) {
            c.ip = ip;
            return nullptr;
        }
        ++ip;
    } while (ip->ticks == 0 && kOutOfLoop[ip->op]);
    return ip;
}

#if !defined(TESSEL_SWITCH_DISPATCH) && !defined(__EMSCRIPTEN__)
// Runs out of the loop the instruction a breakpoint stands in, with the
// breakpoint's operands (which are its own) and its own operation `op`.
[[gnu::noinline]] bool runOtherAs(Vm& vm, Instr in, uint8_t op) {
    in.op = op;
    return runOther(vm, &in);
}
#endif

// Runs instructions from the cursor until the run ends, aborts, or meets an
// instruction whose work reaches beyond the run's own memory and drawing:
// the platform (the message queue, the clock, the window, input boxes),
// the drawing of text, or a box. It calls nothing that does, so the web
// edition, which may suspend a run only where the platform is reached,
// needs no suspension points in it. Nothing here has a destructor, so a
// throw from below (memory exhausted) passes through without an unwinding
// path of its own.
[[gnu::hot, gnu::noinline]] Stop runInstructions(Vm& vm, Cursor& c) {
    const Code& code = vm.code;
    const Instr* const base = code.ins.data();
    const Instr* ip = c.ip;
    float* const R = vm.memory.num.data();
    int32_t* const P = vm.memory.ptr.data();
    ArrayElements* const A = vm.memory.arrays.data();
    ExecState& ex = vm.exec;
    const WindowCore& platform = vm.platform;
#if !defined(__EMSCRIPTEN__)
    // (The debugger's hit counters change size only between the loop's
    // runs. Not in the web edition, where one more value kept through the
    // loop made every script slower.)
    int64_t* const hits = vm.debug ? vm.debug->hits.data() : nullptr;
#endif
    uint32_t ka = c.ka;
#if !defined(TESSEL_SWITCH_DISPATCH)
    static const void* const kLabels[] = {
#define X(name, operands) &&L_##name,
        TESSEL_OPCODES(X)
#undef X
    };
#endif
    if (c.counted) {
        c.counted = false;
        goto dispatch;
    }
    for (;;) {
#if defined(TESSEL_SWITCH_DISPATCH)
    next:
#endif
        TICK();
    dispatch:
        vmdispatch(ip->op) {
            // --- numbers ---
            vmcase(MOV) {
                R[ip->a] = R[ip->b];
                NEXT();
            }
            vmcase(MOVK) {
                R[ip->a] = bitsFloat(ip->b);
                NEXT();
            }
            vmcase(MOVP) {
                R[ip->a] = static_cast<float>(P[ip->b]);
                NEXT();
            }
            vmcase(NEG) {
                R[ip->a] = -R[ip->b];
                NEXT();
            }
            vmcase(ADD) {
                R[ip->a] = R[ip->b] + R[ip->c];
                NEXT();
            }
            vmcase(SUB) {
                R[ip->a] = R[ip->b] - R[ip->c];
                NEXT();
            }
            vmcase(MUL) {
                R[ip->a] = R[ip->b] * R[ip->c];
                NEXT();
            }
            vmcase(DIV) {
                R[ip->a] = arith(AOP_DIV, R[ip->b], R[ip->c]);
                NEXT();
            }
            vmcase(QUO) {
                R[ip->a] = truncatedQuotient(R[ip->b], R[ip->c]);
                NEXT();
            }
            vmcase(POW) {
                R[ip->a] = power(R[ip->b], R[ip->c]);
                NEXT();
            }
            vmcase(ADDK) {
                R[ip->a] = R[ip->b] + bitsFloat(ip->c);
                NEXT();
            }
            vmcase(SUBK) {
                R[ip->a] = R[ip->b] - bitsFloat(ip->c);
                NEXT();
            }
            vmcase(MULK) {
                R[ip->a] = R[ip->b] * bitsFloat(ip->c);
                NEXT();
            }
            vmcase(DIVK) {
                R[ip->a] = arith(AOP_DIV, R[ip->b], bitsFloat(ip->c));
                NEXT();
            }
            vmcase(QUOK) {
                R[ip->a] = truncatedQuotient(R[ip->b], bitsFloat(ip->c));
                NEXT();
            }
            vmcase(POWK) {
                R[ip->a] = power(R[ip->b], bitsFloat(ip->c));
                NEXT();
            }
            vmcase(KADD) {
                R[ip->a] = bitsFloat(ip->b) + R[ip->c];
                NEXT();
            }
            vmcase(KSUB) {
                R[ip->a] = bitsFloat(ip->b) - R[ip->c];
                NEXT();
            }
            vmcase(KMUL) {
                R[ip->a] = bitsFloat(ip->b) * R[ip->c];
                NEXT();
            }
            vmcase(KDIV) {
                R[ip->a] = arith(AOP_DIV, bitsFloat(ip->b), R[ip->c]);
                NEXT();
            }
            vmcase(KQUO) {
                R[ip->a] = truncatedQuotient(bitsFloat(ip->b), R[ip->c]);
                NEXT();
            }
            vmcase(KPOW) {
                R[ip->a] = power(bitsFloat(ip->b), R[ip->c]);
                NEXT();
            }
            vmcase(FN) {
                R[ip->a] = pureFunction(ip->x, R[ip->b]);
                NEXT();
            }
            vmcase(RND) {
                R[ip->a] = rndStep(vm.expr.rndState);
                NEXT();
            }
            vmcase(RAND) {
                R[ip->a] = randOf(vm.expr.randState, R[ip->b]);
                NEXT();
            }
            vmcase(VAL) {
                OTHER();
            }
            vmcase(LEN) {
                R[ip->a] = static_cast<float>(vm.memory.str[static_cast<size_t>(ip->b)].size());
                NEXT();
            }
            vmcase(LDEL) {
                R[ip->a] = numElement(A[ip->b], R[ip->c]);
                NEXT();
            }
            vmcase(LDELP) {
                R[ip->a] = static_cast<float>(ptrElement(A[ip->b], R[ip->c]));
                NEXT();
            }
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
                OTHER();
            }
            vmcase(SETP) {
                P[ip->a] = toInt32(R[ip->b]);
                NEXT();
            }
            // --- strings ---
            vmcase(SSET) {
                OTHER();
            }
            vmcase(SAPP) {
                OTHER();
            }
            vmcase(SAPPEL) {
                OTHER();
            }
            vmcase(SAPPNUM) {
                OTHER();
            }
            vmcase(SAPPCHR) {
                OTHER();
            }
            vmcase(SAPPSUB) {
                OTHER();
            }
            vmcase(SCHECK) {
                OTHER();
            }
            vmcase(STORE) {
                OTHER();
            }
            vmcase(STORETAKE) {
                OTHER();
            }
            vmcase(SMARK) {
                OTHER();
            }
            vmcase(SUNMARK) {
                OTHER();
            }
            vmcase(SLENGTH) {
                OTHER();
            }
            vmcase(SCUT)
            // (A breakpoint's, out of the loop and sharing its code: code of
            // its own in the loop made the plain Mandelbrot workload about
            // 8% slower.)
            vmcase(BRKGEN) {
                OTHER();
            }
            // --- conditions ---
            vmcase(CMP) {
                R[ip->a] =
                    truth(numericRelation(R[ip->b], R[ip->c], static_cast<CompareOp>(ip->x)) != 0);
                NEXT();
            }
            vmcase(CMPK) {
                R[ip->a] = truth(numericRelation(R[ip->b], bitsFloat(ip->c),
                                                 static_cast<CompareOp>(ip->x)) != 0);
                NEXT();
            }
            vmcase(SCMP) {
                OTHER();
            }
            vmcase(AND) {
                R[ip->a] = truth(R[ip->b] != 0.0f && R[ip->c] != 0.0f);
                NEXT();
            }
            vmcase(OR) {
                R[ip->a] = truth(R[ip->b] != 0.0f || R[ip->c] != 0.0f);
                NEXT();
            }
            // --- control ---
            vmcase(JMP) {
                JUMP(ip->a);
            }
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
                ex.condFlag =
                    numericRelation(R[ip->a], bitsFloat(ip->b), static_cast<CompareOp>(ip->x));
                if (ex.condFlag == 0) JUMP(ip->c);
                NEXT();
            }
            vmcase(WHILE) {
                if (ex.loopDepth >= kStackCapacity) STOP(ABORT);
                if (R[ip->a] == 0.0f) JUMP(ip->b);
                ex.loopStack[static_cast<size_t>(++ex.loopDepth)] = ip->c;
                NEXT();
            }
            vmcase(WHILECMP) {
                WHILE_TEST(numericRelation(R[ip->a], R[ip->b], static_cast<CompareOp>(ip->x)), ip->c);
            }
            vmcase(WHILECMPK) {
                WHILE_TEST(numericRelation(R[ip->a], bitsFloat(ip->b), static_cast<CompareOp>(ip->x)), ip->c);
            }
            vmcase(WEND) {
                if (ex.loopDepth <= 0) STOP(ABORT);
                JUMP(ex.loopStack[static_cast<size_t>(ex.loopDepth--)]);
            }
            vmcase(WENDLOOP) {
                // The loop's own WHILE on top and no keep-alive round due:
                // its statement start counts, and its test runs here; the
                // loop stack is as the WHILE would leave it (popped when
                // the loop ends, the same entry again when it goes on).
                if (ex.loopDepth <= 0) STOP(ABORT);
                const int32_t top = ex.loopStack[static_cast<size_t>(ex.loopDepth)];
                if (top != ip->a || ka + 1 >= kKeepAliveInterval) {
                    --ex.loopDepth;
                    JUMP(top);
                }
                ++ka;
                const Instr* w = base + top;
                const float right = w->op == OP_WHILECMPK ? bitsFloat(w->b) : R[w->b];
                if (numericRelation(R[w->a], right, static_cast<CompareOp>(w->x))) JUMP(top + 1);
                --ex.loopDepth;
                JUMP(w->c);
            }
            vmcase(CALL) {
                if (ex.callDepth >= kStackCapacity) STOP(ABORT);
                ex.callStack[static_cast<size_t>(++ex.callDepth)] = ip->b;
                JUMP(ip->a);
            }
            vmcase(ENDFN) {
                if (ex.callDepth <= 0) STOP(ABORT);
                JUMP(ex.callStack[static_cast<size_t>(ex.callDepth--)]);
            }
            vmcase(FUNC) {
                if (ex.callDepth == 0) JUMP(ip->a);
                NEXT();
            }
            vmcase(END) {
                ex.pc = ip->a;
                STOP(END);
            }
            vmcase(ENDBLOCK) {
                ex.pc = 0;
                STOP(END);
            }
            vmcase(SERVICE) {
                // Each token counts as a statement start (the first one
                // already has) and looks at the message queue once: while
                // nothing can wait there and no keep-alive round falls due,
                // all of it at once.
                if (platform.mayHaveMessage() ||
                    ka + static_cast<uint32_t>(ip->a) - 1 >= kKeepAliveInterval)
                    STOP(HANDOVER);
                ka += static_cast<uint32_t>(ip->a) - 1;
                NEXT();
            }
            vmcase(NOP) {
                NEXT();
            }
            vmcase(ABORT) {
                STOP(ABORT);
            }
            // --- statements ---
            vmcase(PSET) {
                pset(vm.gfx, toInt32(R[ip->a]), toInt32(R[ip->b]));
                NEXT();
            }
            vmcase(PLOT) {
                OTHER();
            }
            vmcase(DRAW) {
                OTHER();
            }
            vmcase(LINE) {
                OTHER();
            }
            vmcase(RECT) {
                OTHER();
            }
            vmcase(CIRCLE) {
                OTHER();
            }
            vmcase(SHOWN) {
                OTHER();
            }
            vmcase(SHOWIMG) {
                OTHER();
            }
            vmcase(SHOWIMGT) {
                OTHER();
            }
            vmcase(MODE) {
                OTHER();
            }
            vmcase(MOUSE) {
                OTHER();
            }
            vmcase(EVENTVAL) {
                OTHER();
            }
            vmcase(CONTROL) {
                OTHER();
            }
            // The driver's: they reach the platform, the drawing of text or a box.
            vmcase(PRINT) {
                STOP(HANDOVER);
            }
            vmcase(COLOR) {
                STOP(HANDOVER);
            }
            vmcase(SETFONT) {
                STOP(HANDOVER);
            }
            vmcase(SWAP) {
                STOP(HANDOVER);
            }
            vmcase(LOADIMG) {
                STOP(HANDOVER);
            }
            vmcase(GETTICK) {
                STOP(HANDOVER);
            }
            vmcase(TIMERON) {
                STOP(HANDOVER);
            }
            vmcase(TIMEROFF) {
                STOP(HANDOVER);
            }
            vmcase(DIAG) {
                STOP(HANDOVER);
            }
            vmcase(INPUTBOX) {
                STOP(HANDOVER);
            }
            vmcase(SETTEXT) {
                STOP(HANDOVER);
            }
            vmcase(GETTEXT) {
                STOP(HANDOVER);
            }
            vmcase(FOCUS) {
                STOP(HANDOVER);
            }
            vmcase(HIDE) {
                STOP(HANDOVER);
            }
            // A breakpoint's test; where it fails, the statement's own
            // instruction runs from its copy (its start counted here).
            vmcase(BRKCMP) {
                if (numericRelation(R[ip->a], R[ip->b], static_cast<CompareOp>(ip->x))) STOP(BREAK);
                UNCOUNTED_JUMP(ip->c);
            }
            vmcase(BRKCMPK) {
                if (numericRelation(R[ip->a], bitsFloat(ip->b), static_cast<CompareOp>(ip->x)))
                    STOP(BREAK);
                UNCOUNTED_JUMP(ip->c);
            }
            vmcase(BRKCMPS) {
                if (comparisonsHold(R, code.aux.data() + ip->a, ip->b, ip->x)) STOP(BREAK);
                UNCOUNTED_JUMP(ip->c);
            }
            vmcase(BRKTEST) {
                if (conditionHolds(R, code.aux.data() + ip->a, ip->x)) STOP(BREAK);
                UNCOUNTED_JUMP(ip->c);
            }
            vmcase(BRKCALC) {
                if (computedComparisonHolds(R, code.aux.data() + ip->a, ip->x)) STOP(BREAK);
                UNCOUNTED_JUMP(ip->c);
            }
            vmcase(BRKFIRST) {
                const int32_t* l = code.aux.data() + ip->a;
                const uint16_t x = ip->x;
                const bool first = registerComparison(R, l[0], l[1], (x & kFirstRightConstant) != 0, x & 3);
                if (first != ((x & kFirstJoinedByOr) != 0)) UNCOUNTED_JUMP(l[2]);  // the rest decides
                if (first) STOP(BREAK);
                UNCOUNTED_JUMP(ip->c);
            }
            vmcase(BRKJMP) {
                JUMP(ip->a);
            }
            vmcase(BRKIF) {
                if (R[ip->a] != 0.0f) STOP(BREAK);
                NEXT();
            }
            vmcase(BRKUNLESS) {
                if (R[ip->a] == 0.0f) UNCOUNTED_JUMP(ip->c);
                NEXT();
            }
            vmcase(BRKHIT) {
#if defined(__EMSCRIPTEN__)
                int64_t* const hits = vm.debug->hits.data();
#endif
                if (hitCountMet(ip->x, ++hits[ip->a], ip->b)) STOP(BREAK);
                UNCOUNTED_JUMP(ip->c);
            }
            vmcase(BREAK) {
                // (Not in the web edition: there this call in the loop's body
                // made every script's dispatch about a third slower; the
                // driver decides instead.)
#if !defined(TESSEL_SWITCH_DISPATCH) && !defined(__EMSCRIPTEN__)
                // The statement's start is counted already: the instruction
                // the BREAK stands in runs with the BREAK's own operands.
                if (const int op = vm.debug->breakPasses(vm, static_cast<int32_t>(ip - base)); op >= 0)
                    RUN_AS(op);
#endif
                STOP(BREAK);
            }
            vmcase(BRKPRE) {
#if !defined(TESSEL_SWITCH_DISPATCH) && !defined(__EMSCRIPTEN__)
                UNCOUNTED_JUMP(vm.debug->testsAt[static_cast<size_t>(ip - base)]);
#else
                STOP(BREAK);  // (never placed in the web edition)
#endif
            }
            vmcase(BRKWHILE) {
#if !defined(TESSEL_SWITCH_DISPATCH) && !defined(__EMSCRIPTEN__)
                // The breakpoint's comparison or hit count, then the WHILE's
                // own work (WHILECMP's, WHILECMPK's) with its operands from
                // the list.
                const int32_t* l = code.aux.data() + ip->a;
                const uint16_t x = ip->x;
                if (x & kWhileHitCount) {
                    if (hitCountMet(x & 7, ++hits[l[0]], l[1])) STOP(BREAK);
                } else if (registerComparison(R, l[0], l[1], (x & 8) != 0, x & 7)) {
                    STOP(BREAK);
                }
                WHILE_TEST(registerComparison(R, l[2], l[3], (x & 128) != 0, x >> 4 & 7), l[4]);
#else
                STOP(BREAK);  // (never placed in the web edition)
#endif
            }
            vmcase(BRKBACK) {
#if !defined(TESSEL_SWITCH_DISPATCH) && !defined(__EMSCRIPTEN__)
                // Back to the statement the breakpoint stands in, its start
                // counted already.
                const int op = ip->b;
                ip = base + ip->a;
                RUN_AS(op);
#else
                STOP(BREAK);  // (never placed in the web edition)
#endif
            }
#if defined(TESSEL_SWITCH_DISPATCH)
            default: STOP(END);
#endif
        }
    }
}

#undef vmdispatch
#undef vmcase
#undef vmbreak
#undef STOP
#undef TICK
#undef NEXT
#undef JUMP
#undef UNCOUNTED_JUMP
#undef OTHER
#undef RUN_AS
#undef WHILE_TEST

// The tokens of a SERVICE instruction: each counts as a statement start (the
// first one already has) and looks at the message queue once, where a
// message found is dispatched (which may run an event block in the middle of
// this run).
void service(Vm& vm, int32_t tokens) {
    ExecState& ex = vm.exec;
    for (int32_t k = 0;;) {
        Message msg;
        if (vm.platform.peekWaiting(msg)) vm.platform.dispatchMessage(msg);
        if (++k == tokens) return;
        if (++ex.keepAliveCount >= kKeepAliveInterval) keepAliveRound(vm);
    }
}

// Does the work of the instruction the loop handed over; false when it
// aborts the run (its box shown).
[[gnu::always_inline]] inline bool handOver(Vm& vm, const Instr& in, int32_t token) {
    ExecState& ex = vm.exec;
    WindowCore& platform = vm.platform;
    switch (in.op) {
        case OP_SERVICE: service(vm, in.a); break;
        case OP_PRINT: execPrint(vm, in); break;
        case OP_COLOR: execColour(vm, in); break;
        case OP_SETFONT: execSetfont(vm, in); break;
        case OP_SWAP: execSwap(vm); break;
        case OP_LOADIMG: return execLoadimg(vm, in, token);
        case OP_GETTICK:
            vm.memory.num[static_cast<size_t>(in.a)] =
                static_cast<float>(static_cast<int32_t>(platform.tickCount()));
            break;
        case OP_TIMERON: execTimeron(vm, in); break;
        case OP_TIMEROFF: platform.killTimer(kTimerId); break;
        case OP_DIAG: execDiagnostic(vm, in.x, in.a); break;
        case OP_INPUTBOX: execInputbox(vm, in, token); break;
        case OP_SETTEXT:
            platform.setEditText(ex.currentTextControl, stringOperand(vm, in.a));
            break;
        case OP_GETTEXT:
            if (!storeEditText(vm, vm.memory.str[static_cast<size_t>(in.a)])) {
                raiseStringMemory(vm, token);
                return false;
            }
            break;
        case OP_FOCUS:
            ex.currentTextControl = vm.memory.ptr[static_cast<size_t>(in.a)];
            platform.showEdit(ex.currentTextControl, true);
            platform.focusEdit(ex.currentTextControl);
            break;
        case OP_HIDE: platform.showEdit(ex.lastInputBox, false); break;
        default: break;
    }
    return true;
}

// The box of the run abort the instruction `in` met.
void raiseFor(Vm& vm, const Instr& in, int32_t token) {
    switch (in.op) {
        case OP_ABORT: raiseAbort(vm, in.x, in.a); break;
        case OP_WHILE:
        case OP_WHILECMP:
        case OP_WHILECMPK: raiseRunError(vm, "Too many nested WHILE loops! : WHILE", token); break;
        case OP_WEND:
        case OP_WENDLOOP: raiseRunError(vm, "WEND without a running WHILE! : WEND", token); break;
        case OP_CALL: raiseRunError(vm, "Too many nested function calls! : ", token, true); break;
        case OP_ENDFN: raiseRunError(vm, "ENDFN without a running call! : ENDFN", token); break;
        case OP_STORE:
        case OP_STORETAKE:
        case OP_STELS:
        case OP_SUNMARK: raiseStringMemory(vm, token); break;
        default: raiseTooLong(vm, vm.memory.str[static_cast<size_t>(in.a)].size(), token); break;
    }
}

// What the driver does at a stop other than a keep-alive round or a
// breakpoint, where the program's instruction is `in`; the run goes on when
// it returns nothing.
[[gnu::always_inline]] inline std::optional<RunEnd> afterStop(Vm& vm, Stop stop, Cursor& c, const Instr& in,
                                                              int32_t token) {
    ExecState& ex = vm.exec;
    switch (stop) {
        case Stop::END: return RunEnd::DONE;
        case Stop::ABORT:
            ex.pc = token;
            raiseFor(vm, in, token);
            return RunEnd::ABORTED;
        case Stop::HANDOVER:
            if (!handOver(vm, in, token)) {
                ex.pc = token;
                return RunEnd::ABORTED;
            }
            ++c.ip;
            return std::nullopt;
        default: return std::nullopt;
    }
}

// A statement start met in a breakpoint's copies of the program's code:
// the run goes on from the program's own instruction, the same as its copy,
// so that no cursor stands in the copies at a stop (breakpoints may change
// there, and the copies with them).
void leaveCopies(Vm& vm, Cursor& c) {
    const Code& code = vm.code;
    const size_t index = static_cast<size_t>(c.ip - code.ins.data());
    if (code.programSize == 0 || index < code.programSize) return;
    if (const int32_t origin = vm.debug->origins[index - code.programSize]; origin >= 0)
        c.ip = code.ins.data() + origin;
}

// Whether instruction `index` belongs to a breakpoint's condition (placed
// after the program's own code, and not a copy of one of its instructions).
bool inConditionCode(const Vm& vm, int32_t index) {
    const size_t programSize = vm.code.programSize;
    const auto i = static_cast<size_t>(index);
    return programSize != 0 && i >= programSize && vm.debug->origins[i - programSize] < 0;
}

// The driver with a debugger attached. The loop is the same: to stop before
// each statement start it is entered one statement start short of a
// keep-alive round, so its next one hands over; the driver keeps the true
// count. A breakpoint stands in its statement's first instruction (a BREAK,
// or the test of its condition): when it stops the run, the instruction is
// put back for one statement and the breakpoint again at the next stop.
RunEnd executeDebugged(Vm& vm, int32_t entry) {
    ExecState& ex = vm.exec;
    DebugHook& dbg = *vm.debug;
    Instr* const base = vm.code.ins.data();
    Cursor c{base + entry, 0};
    dbg.runs.push_back(DebugRun{entry, ex.callDepth, &c.ip});
    struct Leave {
        DebugHook& dbg;
        ~Leave() { dbg.runs.pop_back(); }
    } leave{dbg};
    int32_t lifted = -1;  // a breakpoint's instruction put back for its statement
    auto relay = [&] {
        if (lifted < 0) return;
        if (auto p = dbg.breaks.find(lifted); p != dbg.breaks.end()) base[lifted] = p->second.patch;
        lifted = -1;
    };
    // The breakpoint at `index` is met: the debugger decides whether the run
    // stops there, then the statement runs.
    auto meet = [&](int32_t index) {
        dbg.atStatement(vm, index, true);
        if (auto p = dbg.breaks.find(index); p != dbg.breaks.end() && isBreakpoint(base[index].op))
            base[index] = p->second.original;
        lifted = index;
        c.counted = true;
    };
    for (;;) {
        const uint32_t from = dbg.stepping || lifted >= 0 ? kKeepAliveInterval - 1 : ex.keepAliveCount;
        c.ka = from;
        const Stop stop = runInstructions(vm, c);
        ex.keepAliveCount += c.ka - from;
        if (stop == Stop::KEEPALIVE) leaveCopies(vm, c);
        const int32_t index = static_cast<int32_t>(c.ip - base);
        const int32_t token = vm.code.tokenOf[static_cast<size_t>(index)];
        // The lifted instruction's own handing over comes first.
        if (!(stop == Stop::HANDOVER && index == lifted)) relay();
        if (stop == Stop::KEEPALIVE) {
            if (ex.keepAliveCount >= kKeepAliveInterval) keepAliveRound(vm);
            const Instr& in = base[index];
            if (dbg.stepping && in.ticks != 0 && in.op != OP_SERVICE) {
                if (!isBreakpoint(in.op)) dbg.atStatement(vm, index, false);
                // A breakpoint here (perhaps placed at this very stop) is met
                // here while stepping: whatever its condition, the debugger
                // sees the statement.
                if (isBreakpoint(base[index].op)) meet(index);
            }
            continue;
        }
        if (stop == Stop::BREAK || (stop == Stop::ABORT && inConditionCode(vm, index))) {
            // A stop in a condition's code is its breakpoint's.
            const size_t own = vm.code.programSize;
            const int32_t at = own != 0 && static_cast<size_t>(index) >= own
                                   ? dbg.owners[static_cast<size_t>(index) - own]
                                   : index;
            c.ip = base + at;
            // (The debugger reads and clears it: a step back leaves the
            // run from inside the stop.)
            const Instr& met = base[index];
            dbg.metByLoop = met.op == OP_BRKHIT || (met.op == OP_BRKWHILE && (met.x & kWhileHitCount));
            meet(at);
            dbg.metByLoop = false;
            continue;
        }
        // A breakpoint the run passes without stopping runs the instruction
        // it stands in with that instruction's operands; what that hands over
        // or the abort it meets is the program's instruction's.
        const Instr& in = isBreakpoint(base[index].op) ? programInstruction(vm, index) : base[index];
        if (std::optional<RunEnd> end = afterStop(vm, stop, c, in, token)) return *end;
        relay();
    }
}

// Runs from instruction `entry` until the run ends: the instruction loop,
// and between its stops what it hands over.
RunEnd execute(Vm& vm, int32_t entry) {
    if (vm.debug) return executeDebugged(vm, entry);
    ExecState& ex = vm.exec;
    const Instr* const base = vm.code.ins.data();
    Cursor c{base + entry, ex.keepAliveCount};
    // (Two calls of the loop, the first and the later ones: a function called
    // from one place only, the web edition's optimizer would merge into this
    // one, which may suspend the run and so pays for that at every step.)
    for (Stop stop = runInstructions(vm, c);; stop = runInstructions(vm, c)) {
        ex.keepAliveCount = c.ka;
        const int32_t token = vm.code.tokenOf[static_cast<size_t>(c.ip - base)];
        if (stop == Stop::KEEPALIVE) keepAliveRound(vm);
        else if (std::optional<RunEnd> end = afterStop(vm, stop, c, *c.ip, token)) return *end;
        c.ka = ex.keepAliveCount;
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
        if (ex.appendTarget >= 0)
            vm_.memory.str[static_cast<size_t>(ex.appendTarget)].resize(ex.appendBase);
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

// Room after the program for the code of the conditions the loop tests
// (setTestedBreak), reserved before the run, as growing the
// instructions later would move them under the loop's cursors.
void reserveConditionRoom(Code& code) {
    constexpr size_t kConditionRoom = 4096;
    code.programSize = code.ins.size();
    code.programStrings = code.strings.size();
    code.programAux = code.aux.size();
    code.ins.reserve(code.ins.size() + kConditionRoom);
    code.tokenOf.reserve(code.tokenOf.size() + kConditionRoom);
}

}  // namespace

namespace exec {

int32_t lineAt(const Vm& vm, int32_t i) {
    return vm.tokens.lineAt(i);
}

}  // namespace exec

void prepareExecution(Vm& vm) {
    vm.exec.prepared = true;
    if (vm.engine) return vm.engine->prepare(vm);
    compileProgram(vm.tokens, vm.symbols, vm.code);
    // With a debugger, room beyond the program's temporaries for those of
    // the breakpoint conditions the loop tests (setTestedBreak).
    constexpr size_t kConditionRegisters = 32;
    auto registers = [room = vm.debug ? kConditionRegisters : 0](int32_t n) {
        return n > 0 ? static_cast<size_t>(n) + room : 0;
    };
    allocateMemory(vm.memory, vm.symbols, registers(vm.code.numRegisters), registers(vm.code.strRegisters),
                   registers(vm.code.intRegisters));
    if (vm.debug) reserveConditionRoom(vm.code);
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

namespace tessel {

namespace {

// Puts `with` in place of instruction `index`, which the debugger keeps.
void patch(Vm& vm, int32_t index, const Instr& with) {
    Instr& in = vm.code.ins[static_cast<size_t>(index)];
    vm.debug->breaks.insert_or_assign(index, DebugHook::Patch{in, with});
    in = with;
}

// A loop's end that runs its WHILE's test in place reads the WHILE's
// operands: while a breakpoint stands in that WHILE, the loop's end goes
// back to it instead, as it does when a keep-alive round falls due.
void sendLoopEndsBack(Vm& vm, int32_t whileIndex) {
    for (size_t i = 0; i < vm.code.ins.size(); ++i) {
        Instr in = vm.code.ins[i];
        if (in.op != OP_WENDLOOP || in.a != whileIndex) continue;
        in.op = OP_WEND;
        // (A breakpoint's copy of it is changed in place: copies go with
        // the breakpoints.)
        if (i >= vm.code.programSize) vm.code.ins[i] = in;
        else patch(vm, static_cast<int32_t>(i), in);
    }
}

// A loop's end that runs its WHILE's test in place goes back to its WHILE
// instead once a breakpoint stands in it: run after a breakpoint that does
// not stop, the test in place would pass over a breakpoint in that WHILE.
// (Its breakpoint's statement is then the WEND, as it stays once the
// breakpoints are cleared.)
void unfuseLoopEnd(Vm& vm, int32_t index) {
    Instr& in = vm.code.ins[static_cast<size_t>(index)];
    if (in.op == OP_WENDLOOP) in.op = OP_WEND;
}

// Whether a statement that cannot run from a copy may be tested by the loop
// all the same (BRKPRE, BRKWHILE): its own instruction runs after the test,
// by the jump to its operation's label, which a switch's dispatch has not.
// Not in the web edition either, where their code in the loop's body made
// every page run 5 to 11% slower; there the driver decides.
#if !defined(TESSEL_SWITCH_DISPATCH) && !defined(__EMSCRIPTEN__)
constexpr bool kTestsInPlace = true;
#else
constexpr bool kTestsInPlace = false;
#endif

// The instructions a condition tested in the loop may consist of: they
// compute numbers from registers and never abort.
bool computesOnly(uint8_t op) {
    switch (op) {
        case OP_MOV: case OP_MOVK: case OP_MOVP: case OP_NEG:
        case OP_ADD: case OP_SUB: case OP_MUL: case OP_DIV: case OP_QUO: case OP_POW:
        case OP_ADDK: case OP_SUBK: case OP_MULK: case OP_DIVK: case OP_QUOK: case OP_POWK:
        case OP_KADD: case OP_KSUB: case OP_KMUL: case OP_KDIV: case OP_KQUO: case OP_KPOW:
        case OP_FN: case OP_LDEL: case OP_LDELP: case OP_CMP: case OP_CMPK: case OP_AND: case OP_OR:
            return true;
        default: return false;
    }
}

// The instructions a condition tested in the loop may consist of besides
// those: string comparisons (a condition's strings are variables, elements
// and constants), and RND and RAND, which draw from a copy of the
// generators.
bool drawsFromGenerators(uint8_t op) {
    return op == OP_RND || op == OP_RAND;
}
// A condition's RND or RAND draws from the copy of the generators its
// first BRKGEN keeps (so the script draws what it would without the
// breakpoint): BRKGEN x 1 and 2, out of the loop with the one that keeps
// them.
Instr fromKeptGenerators(Instr in) {
    if (!drawsFromGenerators(in.op)) return in;
    in.x = in.op == OP_RND ? 1 : 2;
    in.op = OP_BRKGEN;
    return in;
}
// And a condition's strings built into its temporaries ("t = s + \"x\"",
// LSTR(s, 2), the cut back to the text before a factor's later reading)
// and read (LEN, VAL): a text grown past the longest a string may be ends
// the run where the script builds it, but in a condition stops the run at
// its breakpoint (the debugger then finds the condition cannot be
// evaluated, as it would deciding itself).
bool buildsOrReadsString(uint8_t op) {
    switch (op) {
        case OP_SSET: case OP_SAPP: case OP_SAPPEL: case OP_SAPPNUM: case OP_SAPPCHR: case OP_SAPPSUB:
        case OP_SCHECK: case OP_SLENGTH: case OP_SCUT: case OP_LEN: case OP_VAL:
            return true;
        default: return false;
    }
}
bool testableInLoop(const Instr& in) {
    return computesOnly(in.op) || in.op == OP_SCMP || drawsFromGenerators(in.op) || buildsOrReadsString(in.op);
}

// A breakpoint's test that stands in the statement's own instruction: the
// instruction (its a is the place of `operands` in the program's operand
// lists, when there are any), else T(c).
struct StatementTest {
    Instr in;
    std::vector<int32_t> operands;
};

// Whether `in` compares into the condition's truth register.
bool comparesTruth(const Instr& in, int32_t truth) {
    return (in.op == OP_CMP || in.op == OP_CMPK) && in.a == truth;
}

// A condition of two to eight comparisons of registers and constants
// joined by one connective ("a = 1 & b > 2 & c < d"), as BRKTEST (two) or
// BRKCMPS (more) test them. False for any other shape: a comparison of a
// value the condition computed, mixed connectives, a comparison left out
// of the result.
bool joinedComparisons(const Code& cond, size_t n, int32_t truth, StatementTest& test) {
    constexpr size_t kMostComparisons = 8;
    // (op, left, right is a constant, right) each.
    std::vector<int32_t> list;
    // The registers that hold comparisons or their joins: which comparisons, as bits.
    std::vector<std::pair<int32_t, uint32_t>> held;
    auto take = [&held](int32_t reg, uint32_t& bits) {
        for (auto h = held.begin(); h != held.end(); ++h)
            if (h->first == reg) {
                bits = h->second;
                held.erase(h);
                return true;
            }
        return false;
    };
    int joiner = -1;
    for (size_t k = 0; k < n; ++k) {
        const Instr& in = cond.ins[k];
        uint32_t left = 0, right = 0;
        if (in.op == OP_CMP || in.op == OP_CMPK) {
            const bool constant = in.op == OP_CMPK;
            if (list.size() / 4 == kMostComparisons || take(in.b, left) || (!constant && take(in.c, right)) ||
                take(in.a, left))
                return false;
            held.emplace_back(in.a, 1u << (list.size() / 4));
            list.insert(list.end(), {in.x, in.b, constant ? 1 : 0, in.c});
        } else if (in.op == OP_AND || in.op == OP_OR) {
            if ((joiner >= 0 && joiner != in.op) || !take(in.b, left) || !take(in.c, right) || take(in.a, right))
                return false;
            joiner = in.op;
            held.emplace_back(in.a, left | right);
        } else {
            return false;
        }
    }
    const uint32_t all = (1u << (list.size() / 4)) - 1;
    uint32_t result = 0;
    if (joiner < 0 || !take(truth, result) || result != all) return false;
    const bool byOr = joiner == OP_OR;
    if (list.size() / 4 == 2) {
        const int32_t* l = list.data();
        test.in.op = OP_BRKTEST;
        test.in.x = static_cast<uint16_t>(l[0] | l[4] << 2 | (l[2] != 0 ? 16 : 0) | (l[6] != 0 ? 32 : 0) |
                                          (byOr ? 64 : 0));
        test.operands = {l[1], l[3], l[5], l[7]};
    } else {
        test.in.op = OP_BRKCMPS;
        test.in.x = byOr ? 1 : 0;
        test.in.b = static_cast<int32_t>(list.size() / 4);
        test.operands = std::move(list);
    }
    return true;
}

// A condition of one comparison with one operation of registers and
// constants on either side ("x > y + 1", "s + 1 < 0"), as BRKCALC tests it.
bool computedComparison(const Code& cond, size_t n, int32_t truth, StatementTest& test) {
    if (n != 2) return false;
    const Instr& op = cond.ins[0];
    const Instr& cmp = cond.ins[1];
    if (op.op < OP_ADD || op.op > OP_KPOW || !comparesTruth(cmp, truth)) return false;
    static_assert(OP_SUB - OP_ADD == AOP_SUB && OP_POW - OP_ADD == AOP_POW && OP_ADDK == OP_ADD + 6 &&
                      OP_KADD == OP_ADD + 12 && OP_KPOW - OP_KADD == AOP_POW,
                  "the operations come in three runs of six, in ArithOp's order");
    // The other side of the comparison, and the comparison turned round
    // where the operation is on its left.
    int32_t other = 0;
    bool otherConstant = false;
    auto relation = static_cast<CompareOp>(cmp.x);
    if (cmp.op == OP_CMP && cmp.c == op.a && cmp.b != op.a) {
        other = cmp.b;
    } else if (cmp.b == op.a && (cmp.op == OP_CMPK || cmp.c != op.a)) {
        other = cmp.c;
        otherConstant = cmp.op == OP_CMPK;
        relation = mirror(relation);
    } else {
        return false;
    }
    const int form = (op.op - OP_ADD) / 6;  // operands: registers, then a constant right, then a constant left
    const int arith = (op.op - OP_ADD) % 6;
    test.in.op = OP_BRKCALC;
    test.in.x = static_cast<uint16_t>(relation | arith << 2 | (form == 2 ? 32 : 0) | (form == 1 ? 64 : 0) |
                                      (otherConstant ? kCalcLeftConstant : 0));
    test.operands = {other, op.b, op.c};
    return true;
}

// The breakpoint's test of the comparison `cmp`: the run stops where it
// holds, else goes to T(orElse).
Instr breakOnComparison(const Instr& cmp, int32_t orElse) {
    return Instr{cmp.op == OP_CMP ? OP_BRKCMP : OP_BRKCMPK, 0, cmp.x, cmp.b, cmp.c, orElse};
}

// Whether a condition of `n` instructions, not counted, is tested in the
// statement's own instruction: one comparison, joined comparisons, or a
// comparison with an operation on its right.
bool statementTest(const Code& cond, size_t n, int32_t truth, StatementTest& test) {
    if (n == 1 && comparesTruth(cond.ins[0], truth)) {
        test.in = breakOnComparison(cond.ins[0], 0);
        return true;
    }
    return joinedComparisons(cond, n, truth, test) || computedComparison(cond, n, truth, test);
}

// Where a condition's code begins with the test of a first operand that
// is one comparison of registers and constants (a CMP or CMPK, then its
// BRKUNLESS or BRKIF, after the BRKGEN of a condition that draws), takes
// that test out of the code, as a BRKFIRST for the statement's own
// instruction: a condition that mostly does not hold then mostly costs
// that one instruction. Its operands lack where the rest is tested (the
// code's, or with a hit count, its BRKHIT after the code).
bool takeFirstComparison(std::vector<Instr>& code, bool counted, StatementTest& test) {
    const size_t at = !code.empty() && code[0].op == OP_BRKGEN ? 1 : 0;
    if (code.size() + (counted ? 1 : 0) < at + 3) return false;  // nothing follows
    const Instr& cmp = code[at];
    const Instr& decide = code[at + 1];
    if (!comparesTruth(cmp, decide.a) || (decide.op != OP_BRKUNLESS && decide.op != OP_BRKIF)) return false;
    test.in = Instr{OP_BRKFIRST, 0,
                    static_cast<uint16_t>(cmp.x | (cmp.op == OP_CMPK ? kFirstRightConstant : 0) |
                                          (decide.op == OP_BRKIF ? kFirstJoinedByOr : 0)),
                    0, 0, 0};
    test.operands = {cmp.b, cmp.c};
    code.erase(code.begin() + static_cast<ptrdiff_t>(at), code.begin() + static_cast<ptrdiff_t>(at) + 2);
    return true;
}

// A condition's instruction as it runs after the program's own code, its
// string constants numbered from `strings` there and its operand lists
// from `aux`.
Instr relocated(Instr in, int32_t strings, int32_t aux) {
    auto relocate = [strings](int32_t& x) {
        if (x < 0) x = ~(~x + strings);
    };
    if (in.op == OP_SCMP) relocate(in.c);
    if (in.op == OP_SCMP || in.op == OP_SSET || in.op == OP_SAPP || in.op == OP_SAPPSUB) relocate(in.b);
    if (in.op == OP_SAPPSUB) in.c += aux;
    return in;
}

// The hook's hit counters, counter `counter` among them.
void makeRoomForCounter(DebugHook& dbg, int32_t counter) {
    if (dbg.hits.size() <= static_cast<size_t>(counter)) dbg.hits.resize(static_cast<size_t>(counter) + 1);
}

// A WHILE's breakpoint whose condition is one comparison, or whose hit
// count stands alone, goes in the WHILE's own instruction with the WHILE's
// test after it (BRKWHILE): a pass of the loop then costs that test alone.
// `test` is the breakpoint's own test as it would stand in the statement
// (BRKCMP, BRKCMPK or BRKHIT).
bool placeWhileTest(Vm& vm, int32_t index, const Instr& test) {
    Code& code = vm.code;
    const Instr at = code.ins[static_cast<size_t>(index)];
    const bool fits = kTestsInPlace && (at.op == OP_WHILECMP || at.op == OP_WHILECMPK) &&
                      (test.op == OP_BRKCMP || test.op == OP_BRKCMPK || test.op == OP_BRKHIT) && test.x < 8 &&
                      at.x < 8;
    if (!fits) return false;
    if (test.op == OP_BRKHIT) makeRoomForCounter(*vm.debug, test.a);
    const auto x = static_cast<uint16_t>(test.x | (test.op == OP_BRKCMPK ? 8 : 0) | at.x << 4 |
                                         (at.op == OP_WHILECMPK ? 128 : 0) |
                                         (test.op == OP_BRKHIT ? kWhileHitCount : 0));
    const Instr slot{OP_BRKWHILE, at.ticks, x, static_cast<int32_t>(code.aux.size()), 0, 0};
    code.aux.insert(code.aux.end(), {test.a, test.b, at.a, at.b, at.c});
    patch(vm, index, slot);
    sendLoopEndsBack(vm, index);
    return true;
}

// Whether a statement's first instruction runs the same from a copy after
// its breakpoint's test: it knows no position of its own (a WHILE that
// pushes itself does), never hands over to the driver (a driver's
// instruction may let an event block run while the cursor stands in the
// copy), and does not end the run.
bool runsFromCopy(uint8_t op) {
    switch (op) {
        case OP_WHILECMP: case OP_WHILECMPK: case OP_WENDLOOP: case OP_END: case OP_ENDBLOCK:
        case OP_SERVICE: case OP_ABORT: case OP_PRINT: case OP_COLOR: case OP_SETFONT: case OP_SWAP:
        case OP_LOADIMG: case OP_GETTICK: case OP_TIMERON: case OP_TIMEROFF: case OP_DIAG:
        case OP_INPUTBOX: case OP_SETTEXT: case OP_GETTEXT: case OP_FOCUS: case OP_HIDE:
            return false;
        default: return !isBreakpoint(op);
    }
}

}  // namespace

bool isBreakpoint(uint8_t op) {
    return op == OP_BREAK || op == OP_BRKCMP || op == OP_BRKCMPK || op == OP_BRKCMPS || op == OP_BRKTEST ||
           op == OP_BRKCALC || op == OP_BRKFIRST || op == OP_BRKJMP || op == OP_BRKHIT || op == OP_BRKPRE ||
           op == OP_BRKWHILE;
}

const Instr& programInstruction(const Vm& vm, int32_t index) {
    if (vm.debug)
        if (auto p = vm.debug->breaks.find(index); p != vm.debug->breaks.end()) return p->second.original;
    return vm.code.ins[static_cast<size_t>(index)];
}

void setBreak(Vm& vm, int32_t index) {
    if (vm.debug == nullptr) return;
    unfuseLoopEnd(vm, index);
    Instr in = vm.code.ins[static_cast<size_t>(index)];
    if (isBreakpoint(in.op)) return;
    in.op = OP_BREAK;
    patch(vm, index, in);
    sendLoopEndsBack(vm, index);
}

namespace {

// The instructions that run after a breakpoint's test where it is not met:
// the statement's first instruction, copied, and after it, while they only
// compute, the program's next instructions up to a jump, so that a loop's
// end goes straight back to the test and a pass costs the test alone; then
// a jump back into the program where the copies end, unless the last copy
// jumps anyway. Copied only while no breakpoint stands in them (breakpoints
// are placed from the program's end, so none comes later after this one).
// `copied` of them are the program's instructions from `index` on.
struct Copies {
    std::vector<Instr> ins;
    size_t copied = 0;
};

Copies copiesFrom(const Vm& vm, int32_t index) {
    constexpr size_t kMostCopies = 16;
    const Code& code = vm.code;
    Copies copies;
    const Instr& at = code.ins[static_cast<size_t>(index)];
    copies.ins.push_back(at);
    copies.ins[0].ticks = 0;  // the statement start counts at the breakpoint
    auto branches = [](uint8_t op) { return op == OP_IF || op == OP_IFFLAG || op == OP_IFCMP || op == OP_IFCMPK; };
    const bool goesOn = computesOnly(at.op) || branches(at.op);
    size_t i = static_cast<size_t>(index) + 1;
    for (; goesOn && i < code.programSize && copies.ins.size() < kMostCopies; ++i) {
        const Instr& in = code.ins[i];
        if (isBreakpoint(in.op)) break;
        if (computesOnly(in.op)) {
            copies.ins.push_back(in);
            continue;
        }
        const bool jumps = in.op == OP_JMP || in.op == OP_WEND || in.op == OP_WENDLOOP;
        if (!jumps && !branches(in.op)) break;
        copies.ins.push_back(in);
        ++i;
        if (jumps) {
            copies.copied = copies.ins.size();
            return copies;
        }
        break;
    }
    copies.copied = copies.ins.size();
    copies.ins.push_back(Instr{OP_JMP, 0, 0, static_cast<int32_t>(i), 0, 0});
    return copies;
}

// A jump target in a condition's code still to be set: the copies.
constexpr int32_t kToCopies = -1;

// Where the code cond[begin, end), whose last instruction joins two
// operands (AND or OR), splits into its operands' code: the first
// instruction of the right operand's, which ends just before the join; 0
// when the code does not split that way. An operand's code ends with the
// instruction that writes its register.
size_t joinSplit(const Code& cond, size_t begin, size_t end) {
    const Instr& join = cond.ins[end - 1];
    size_t leftEnd = 0, rightEnd = 0;
    for (size_t i = begin; i + 1 < end; ++i) {
        if (cond.ins[i].a == join.b) leftEnd = i + 1;
        if (cond.ins[i].a == join.c) rightEnd = i + 1;
    }
    return leftEnd > begin && leftEnd < rightEnd && rightEnd == end - 1 ? leftEnd : 0;
}

// Appends the condition's instructions [begin, end).
void appendCode(const Code& cond, size_t begin, size_t end, std::vector<Instr>& out) {
    out.insert(out.end(), cond.ins.begin() + static_cast<ptrdiff_t>(begin),
               cond.ins.begin() + static_cast<ptrdiff_t>(end));
}

// Whether the comparison `cmp` may run before the code cond[begin, end):
// it reads nothing that code writes and writes nothing it reads or writes.
// The compiler computes the operations of every operand before their
// comparisons ("i < 0 & s + 1 < 0" is s + 1, i < 0, then the comparison
// of the sum), so code for later operands often precedes an operand's
// comparison. (A condition's instructions each write R[a] only, and read b
// and c; a constant taken for a register only keeps the order.)
bool comparesAhead(const Code& cond, size_t begin, size_t end, const Instr& cmp) {
    for (size_t i = begin; i < end; ++i) {
        const Instr& in = cond.ins[i];
        if (in.a == cmp.a || in.a == cmp.b || (cmp.op == OP_CMP && in.a == cmp.c) || in.b == cmp.a ||
            in.c == cmp.a)
            return false;
    }
    return true;
}

// The code cond[begin, end), which computes `reg`, as an operand of a chain
// of `join` (AND or OR): where its value decides the chain (0 for AND, not
// 0 for OR), the run goes to the copies (AND) or stops (OR) at once, and
// the rest of the chain is not computed; an operand that is a comparison
// is tested before the code it does not need. (A condition changes nothing the
// script sees, so leaving its rest uncomputed changes nothing either; a
// breakpoint's condition mostly does not hold, so its first operand mostly
// decides.)
void appendChainOperand(const Code& cond, size_t begin, size_t end, int32_t reg, uint8_t join,
                        std::vector<Instr>& out) {
    const Instr& last = cond.ins[end - 1];
    if (last.op == join && last.a == reg)
        if (const size_t k = joinSplit(cond, begin, end)) {
            appendChainOperand(cond, begin, k, last.b, join, out);
            appendChainOperand(cond, k, end - 1, last.c, join, out);
            return;
        }
    const Instr test = join == OP_AND ? Instr{OP_BRKUNLESS, 0, 0, reg, 0, kToCopies} : Instr{OP_BRKIF, 0, 0, reg, 0, 0};
    if (comparesTruth(last, reg) && comparesAhead(cond, begin, end - 1, last)) {
        out.push_back(last);
        out.push_back(test);
        return appendCode(cond, begin, end - 1, out);
    }
    appendCode(cond, begin, end, out);
    out.push_back(test);
}

// The code cond[begin, end), which computes `truth`, and its test: the run
// stops where it is not 0, else goes on to the copies. Code that ends in a
// comparison of its truth stops or goes on in that comparison (no BRKIF
// after it); code that joins two operands decides by its left operand
// where that decides the join.
void appendDecision(const Code& cond, size_t begin, size_t end, int32_t truth, std::vector<Instr>& out) {
    if (begin == end) return out.push_back(Instr{OP_BRKIF, 0, 0, truth, 0, 0});  // a variable alone
    const Instr& last = cond.ins[end - 1];
    if ((last.op == OP_AND || last.op == OP_OR) && last.a == truth)
        if (const size_t k = joinSplit(cond, begin, end)) {
            appendChainOperand(cond, begin, k, last.b, last.op, out);
            return appendDecision(cond, k, end - 1, last.c, out);
        }
    if (comparesTruth(last, truth)) {
        appendCode(cond, begin, end - 1, out);
        return out.push_back(breakOnComparison(last, kToCopies));
    }
    appendCode(cond, begin, end, out);
    out.push_back(Instr{OP_BRKIF, 0, 0, truth, 0, 0});
}

}  // namespace

// A condition of one comparison of registers, alone, goes in the
// statement's first instruction, and so does a hit count alone; otherwise
// that instruction goes to the test's code after the program's own. Either
// way the copies (copiesFrom) follow the test:
//   condition:        [BRKCMP(K)]            ... [copies]
//                     [BRKTEST]              ... [copies]   (two joined comparisons)
//                     [BRKCALC]              ... [copies]   (a comparison with an operation)
//                     [BRKCMPS]              ... [copies]   (more)
//                     [BRKJMP] ... [code] [BRKIF] [copies]
//                     [BRKJMP] ... [code] [BRKCMP(K)] [copies]    (code ending in a comparison)
//                     [BRKJMP] ... [code] [BRKUNLESS] [code] ... [copies]
//                                  (operands joined by "&": BRKUNLESS to the
//                                  copies after each but the last; by "|",
//                                  BRKIF)
//                     [BRKFIRST] ... [code] ... [copies]
//                                  (the same, its first operand a comparison:
//                                  tested in the statement's instruction)
//   (with RND or RAND: [BRKGEN] [code], the code drawing from a copy of the
//   generators: BRKGEN in place of each RND and RAND)
//   hit count:        [BRKHIT]               ... [copies]
//   both:             [BRKJMP] ... [code] [BRKUNLESS] [BRKHIT] [copies]
//                     [BRKFIRST] ... [BRKHIT] [copies]   (a condition of one comparison)
bool setTestedBreak(Vm& vm, int32_t index, const BreakTest& test) {
    DebugHook* dbg = vm.debug;
    Code& code = vm.code;
    if (dbg == nullptr || code.programSize == 0 || (test.condition == nullptr && !test.counted)) return false;
    if (test.condition && test.truth < 0) return false;
    unfuseLoopEnd(vm, index);
    const Instr at = code.ins[static_cast<size_t>(index)];
    if (isBreakpoint(at.op)) return false;
    // A statement that cannot run from a copy runs in place after the test.
    const bool inPlace = !runsFromCopy(at.op);
    if (inPlace && !kTestsInPlace) return false;
    size_t n = 0;  // the condition's instructions before its END
    bool draws = false;  // and whether RND or RAND is among them
    if (const Code* cond = test.condition) {
        for (; n < cond->ins.size() && cond->ins[n].op != OP_END; ++n) {
            if (!testableInLoop(cond->ins[n])) return false;
            draws = draws || drawsFromGenerators(cond->ins[n].op);
        }
        if (n == cond->ins.size() || static_cast<size_t>(cond->numRegisters) > vm.memory.num.size() ||
            static_cast<size_t>(cond->strRegisters) > vm.memory.str.size() ||
            static_cast<size_t>(cond->intRegisters) > vm.memory.ptr.size())
            return false;
    }
    StatementTest inStatement;
    const bool comparison = test.condition && !test.counted && !draws && n > 0 &&
                            statementTest(*test.condition, n, test.truth, inStatement);
    if (inPlace && comparison && placeWhileTest(vm, index, inStatement.in)) return true;
    if (inPlace && !test.condition && placeWhileTest(vm, index, Instr{OP_BRKHIT, 0, test.hitTest, test.counter, test.hitCount, 0}))
        return true;
    const bool tested = comparison && !inPlace;
    // Otherwise the condition's code runs after the program's, and decides
    // (appendDecision); with a hit count, its truth decides whether the hit
    // is counted.
    std::vector<Instr> conditionCode;
    if (test.condition && !tested) {
        const Code& cond = *test.condition;
        if (draws) conditionCode.push_back(Instr{OP_BRKGEN, 0, 0, 0, 0, 0});
        if (test.counted) {
            appendCode(cond, 0, n, conditionCode);
            conditionCode.push_back(Instr{OP_BRKUNLESS, 0, 0, test.truth, 0, kToCopies});
        } else {
            appendDecision(cond, 0, n, test.truth, conditionCode);
        }
    }
    const bool first = test.condition && !tested && !inPlace &&
                       takeFirstComparison(conditionCode, test.counted, inStatement);
    const Copies copies =
        inPlace ? Copies{{Instr{OP_BRKBACK, 0, 0, index, at.op, 0}}, 0} : copiesFrom(vm, index);
    const bool hitAfter = test.counted && (test.condition || inPlace);  // else the hit is the slot
    const size_t room = conditionCode.size() + (hitAfter ? 1 : 0) + copies.ins.size();
    if (code.ins.size() + room > code.ins.capacity() || code.tokenOf.size() + room > code.tokenOf.capacity())
        return false;
    if (test.counted) makeRoomForCounter(*dbg, test.counter);
    const int32_t token = code.tokenOf[static_cast<size_t>(index)];
    auto append = [&](Instr in, int32_t origin) {
        if (origin < 0) in.ticks = 0;  // a test's code starts no statement
        code.ins.push_back(in);
        code.tokenOf.push_back(origin >= 0 ? code.tokenOf[static_cast<size_t>(origin)] : token);
        dbg->owners.push_back(index);
        dbg->origins.push_back(origin);
    };
    const int32_t copy = static_cast<int32_t>(code.ins.size() + room - copies.ins.size());
    const Instr hit{OP_BRKHIT, 0, test.hitTest, test.counter, test.hitCount, copy};
    Instr slot = at;  // keeps its statement start
    if (inPlace) {
        slot.op = OP_BRKPRE;
        if (dbg->testsAt.size() < code.programSize) dbg->testsAt.resize(code.programSize);
        dbg->testsAt[static_cast<size_t>(index)] = static_cast<int32_t>(code.ins.size());
    } else if (tested || first) {
        slot = inStatement.in;
        slot.ticks = at.ticks;
        slot.c = copy;
        if (first) inStatement.operands.push_back(static_cast<int32_t>(code.ins.size()));  // the rest
        if (!inStatement.operands.empty()) {
            slot.a = static_cast<int32_t>(code.aux.size());
            code.aux.insert(code.aux.end(), inStatement.operands.begin(), inStatement.operands.end());
        }
    } else if (!test.condition) {
        slot = hit;
        slot.ticks = at.ticks;
    } else {
        slot = Instr{OP_BRKJMP, at.ticks, 0, static_cast<int32_t>(code.ins.size()), 0, 0};
    }
    if (test.condition && !tested) {
        // The condition's string constants and operand lists join the
        // program's, after its own.
        const Code& cond = *test.condition;
        const auto strings = static_cast<int32_t>(code.strings.size());
        code.strings.insert(code.strings.end(), cond.strings.begin(), cond.strings.end());
        const auto aux = static_cast<int32_t>(code.aux.size());
        code.aux.insert(code.aux.end(), cond.aux.begin(), cond.aux.end());
        for (Instr in : conditionCode) {
            const bool toCopies = in.op == OP_BRKUNLESS || in.op == OP_BRKCMP || in.op == OP_BRKCMPK;
            if (toCopies && in.c == kToCopies) in.c = copy;
            append(fromKeptGenerators(relocated(in, strings, aux)), -1);
        }
    }
    if (hitAfter) append(hit, -1);
    // (Each copy keeps its statement start but the first, and the place of
    // the program's instruction it copies for a stop in it.)
    for (size_t k = 0; k < copies.ins.size(); ++k)
        append(copies.ins[k], k < copies.copied ? index + static_cast<int32_t>(k) : -1);
    patch(vm, index, slot);
    sendLoopEndsBack(vm, index);
    return true;
}

void clearBreaks(Vm& vm) {
    DebugHook* dbg = vm.debug;
    if (dbg == nullptr) return;
    for (const auto& [index, p] : dbg->breaks) vm.code.ins[static_cast<size_t>(index)] = p.original;
    dbg->breaks.clear();
    dbg->owners.clear();
    dbg->origins.clear();
    // (No cursor stands in a condition's code at a stop where breakpoints
    // change: its copies never hand over to the driver.)
    Code& code = vm.code;
    if (code.programSize != 0 && code.programSize <= code.ins.size()) {
        code.ins.resize(code.programSize);
        code.tokenOf.resize(code.programSize);
        code.strings.resize(code.programStrings);
        code.aux.resize(code.programAux);
    }
}

bool runDetached(Vm& vm, int32_t entry) {
    Cursor c{vm.code.ins.data() + entry, 0};
    return runInstructions(vm, c) == Stop::END;
}

}  // namespace tessel
