// The compiled form of a checked program: one flat array of typed
// instructions that the executor runs with one dispatch loop, written by the
// compiler (compile/) before the run.
//
// Registers. Number registers are the run's `Memory::num`: entry v is
// number variable v, the entries after the variables are temporaries.
// Pointer variable v is `Memory::ptr[v]`, with integer temporaries after
// the variables; string registers are `Memory::str` (variables, then
// temporaries). Types are known before the
// run: every instruction names the kind of register it reads and writes.
//
// Operand notation in the list below: R[x] number register, P[x] pointer
// variable, S[x] string register, K(x) the float whose bits operand x holds,
// SK(x) string constant x, T(x) an instruction index, A(x) aux entries from
// index x, op(x) the comparison or function in field x. A string operand
// written s(x) is S[x] when x >= 0 and string constant ~x otherwise.
//
// Statement starts. An instruction's `ticks` (0 or 1) says whether it begins
// a statement: the loop counts it toward the keep-alive round (and headless
// virtual time) before running the instruction. Such an instruction's
// token is the statement's first token. SERVICE n stands for n
// tokens that start no statement: each counts and services the message
// queue once.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "checker/symbols.h"

namespace tessel {

// X(NAME, operands)
#define TESSEL_OPCODES(X)                                                                     \
    /* --- numbers --- */                                                                     \
    X(MOV, "R[a] = R[b]")                                                                     \
    X(MOVK, "R[a] = K(b)")                                                                    \
    X(MOVP, "R[a] = P[b] as a number")                                                        \
    X(NEG, "R[a] = -R[b]")                                                                    \
    X(ADD, "R[a] = R[b] + R[c]")                                                              \
    X(SUB, "R[a] = R[b] - R[c]")                                                              \
    X(MUL, "R[a] = R[b] * R[c]")                                                              \
    X(DIV, "R[a] = R[b] / R[c]")                                                              \
    X(QUO, "R[a] = R[b] % R[c] (truncated quotient)")                                         \
    X(POW, "R[a] = R[b] ^ R[c]")                                                              \
    X(ADDK, "R[a] = R[b] + K(c)")                                                             \
    X(SUBK, "R[a] = R[b] - K(c)")                                                             \
    X(MULK, "R[a] = R[b] * K(c)")                                                             \
    X(DIVK, "R[a] = R[b] / K(c)")                                                             \
    X(QUOK, "R[a] = R[b] % K(c)")                                                             \
    X(POWK, "R[a] = R[b] ^ K(c)")                                                             \
    X(KADD, "R[a] = K(b) + R[c]")                                                             \
    X(KSUB, "R[a] = K(b) - R[c]")                                                             \
    X(KMUL, "R[a] = K(b) * R[c]")                                                             \
    X(KDIV, "R[a] = K(b) / R[c]")                                                             \
    X(KQUO, "R[a] = K(b) % R[c]")                                                             \
    X(KPOW, "R[a] = K(b) ^ R[c]")                                                             \
    X(FN, "R[a] = function op(x) of R[b]")                                                    \
    X(RND, "R[a] = the next RND value")                                                       \
    X(RAND, "R[a] = RAND of R[b]")                                                            \
    X(VAL, "R[a] = S[b] read as a number")                                                    \
    X(LEN, "R[a] = length of S[b]")                                                           \
    X(LDEL, "R[a] = element R[c] of number array b")                                          \
    X(LDELP, "R[a] = element R[c] of pointer array b, as a number")                           \
    X(STEL, "element R[b] of number array a = R[c]")                                          \
    X(STELP, "element R[b] of pointer array a = R[c] as an integer")                          \
    X(STELS, "element R[b] of string array a = s(c), within the string budget")               \
    X(SETP, "P[a] = R[b] as an integer")                                                      \
    /* --- strings --- */                                                                     \
    X(SSET, "S[a] = s(b)")                                                                    \
    X(SAPP, "S[a] += s(b)")                                                                   \
    X(SAPPEL, "S[a] += element R[c] of string array b")                                      \
    X(SAPPNUM, "S[a] += R[b] as text")                                                        \
    X(SAPPCHR, "S[a] += the byte R[b]")                                                       \
    X(SAPPSUB, "S[a] += LSTR, RSTR or MSTR (x >> 2) of s(b) with the arguments A(c)")         \
    X(SCHECK, "check the length of S[a]")                                                    \
    X(STORE, "string variable S[a] = s(b), within the string budget")                         \
    X(STORETAKE, "string variable S[a] = S[b] (a temporary, left with S[a]'s old text), budget") \
    X(SMARK, "remember S[a]'s length: a run abort before SUNMARK restores it")                \
    X(SUNMARK, "charge S[a]'s growth to the string budget (or restore it and abort)")         \
    X(SLENGTH, "P[a] = the length of S[b]")                                                   \
    X(SCUT, "cut S[a] to the length P[b]")                                                    \
    /* --- conditions --- */                                                                  \
    X(CMP, "R[a] = R[b] op(x) R[c] as -1 or 0")                                               \
    X(CMPK, "R[a] = R[b] op(x) K(c) as -1 or 0")                                              \
    X(SCMP, "R[a] = s(b) op(x) s(c) as -1 or 0")                                              \
    X(AND, "R[a] = R[b] and R[c]")                                                            \
    X(OR, "R[a] = R[b] or R[c]")                                                              \
    /* --- control --- */                                                                     \
    X(JMP, "go to T(a)")                                                                      \
    X(IF, "condition flag = R[a]; if it is 0, go to T(b)")                                    \
    X(IFFLAG, "if the condition flag is 0, go to T(a)")                                       \
    X(IFCMP, "condition flag = R[a] op(x) R[b]; if 0, go to T(c)")                            \
    X(IFCMPK, "condition flag = R[a] op(x) K(b); if 0, go to T(c)")                           \
    X(WHILE, "loop test: R[a]; pushes T(c), or goes to T(b) when it is 0")                    \
    X(WHILECMP, "loop test R[a] op(x) R[b]; pushes itself, or goes to T(c)")                  \
    X(WHILECMPK, "loop test R[a] op(x) K(b); pushes itself, or goes to T(c)")                 \
    X(WEND, "back to the WHILE on top of the loop stack")                                     \
    X(WENDLOOP, "WEND; when the WHILE at a is on top, its test here (the next pass or out)")  \
    X(CALL, "push T(b), go to T(a)")                                                          \
    X(ENDFN, "back to the position on top of the call stack")                                 \
    X(FUNC, "outside a call: go to T(a)")                                                     \
    X(END, "the run ends with the program counter at a")                                      \
    X(ENDBLOCK, "the run ends at a WINMSG or ENDWM")                                          \
    X(SERVICE, "a tokens that start no statement")                                            \
    X(NOP, "a statement that does nothing")                                                   \
    X(ABORT, "run abort of kind x at token a")                                                \
    /* --- statements --- */                                                                  \
    X(PRINT, "PRINT at R[a], R[b] of item c, kind x")                                         \
    X(PSET, "PSET R[a], R[b]")                                                                \
    X(PLOT, "PLOT R[a], R[b]")                                                                \
    X(DRAW, "DRAW R[a], R[b]")                                                                \
    X(LINE, "LINE R[a..a+3]")                                                                 \
    X(RECT, "RECT R[a..a+3]")                                                                 \
    X(CIRCLE, "CIRCLE R[a], R[b], R[c]")                                                      \
    X(COLOR, "WCOLOR, FCOLOR or BCOLOR (x) with the slot arguments A(a)")                     \
    X(SETFONT, "SETFONT R[a..a+2] with face s(b)")                                            \
    X(SWAP, "SWAP")                                                                           \
    X(LOADIMG, "LOADIMG with A(a): handle, path, slot arguments")                             \
    X(SHOWN, "the image P[a] is the one shown")                                               \
    X(SHOWIMG, "SHOWIMG the shown image with the slot arguments A(a)")                        \
    X(SHOWIMGT, "SHOWIMGT the shown image at R[a..a+3]")                                      \
    X(MODE, "display mode = a")                                                               \
    X(MOUSE, "number variable a (0: none) = mouse x (x 0) or y (x 1), which is cleared")      \
    X(EVENTVAL, "variable a of type b = word (x 0) or long (x 1) parameter, cleared")         \
    X(GETTICK, "R[a] = the tick count")                                                       \
    X(TIMERON, "timer interval from nothing (x 0), K(a) (x 1) or R[a] (x 2); start it")       \
    X(TIMEROFF, "stop the timer")                                                             \
    X(DIAG, "the box x names, about token a")                                                 \
    X(INPUTBOX, "INPUTBOX at R[a..a+3] with text s(b); handle into P[c] (c > 0)")             \
    X(CONTROL, "the current text control = P[a]")                                             \
    X(SETTEXT, "the current text control's text = s(a)")                                      \
    X(GETTEXT, "S[a] = the current text control's text")                                      \
    X(FOCUS, "show P[a]'s control and give it the focus")                                     \
    X(HIDE, "hide the newest input box")                                                      \
    X(BREAK, "a debugger's breakpoint in place of a statement's first instruction")             \
    X(BRKCMP, "a breakpoint whose condition R[a] op(x) R[b] stops the run here, else T(c)")    \
    X(BRKCMPK, "a breakpoint whose condition R[a] op(x) K(b) stops the run here, else T(c)")   \
    X(BRKCMPS, "a breakpoint whose condition is b comparisons A(a) joined by and (x 0) or or (x 1); else T(c)") \
    X(BRKTEST, "a breakpoint whose condition is two comparisons A(a) joined, of the shape x; else T(c)") \
    X(BRKCALC, "a breakpoint whose condition is a comparison A(a) with one operation on its right, of the shape x; else T(c)") \
    X(BRKFIRST, "a breakpoint whose condition's first operand, the comparison A(a) of the shape x, decides it where it can; else its rest at T(b); T(c) where it does not hold") \
    X(BRKJMP, "a breakpoint whose condition is tested at T(a)")                               \
    X(BRKGEN, "a copy of the generators kept (x 0); R[a] = RND (x 1), RAND of R[b] (x 2) from it") \
    X(BRKIF, "a breakpoint's condition R[a]: when not 0, the run stops at its breakpoint")      \
    X(BRKUNLESS, "a breakpoint's condition R[a]: when 0, go to T(c)")                         \
    X(BRKHIT, "a breakpoint's hit counter a, one more: met by test x against b, the run stops; else T(c)") \
    X(BRKPRE, "a breakpoint tested at the code its debugger keeps for it, the statement's operands kept")  \
    X(BRKBACK, "after a breakpoint's test that does not stop: instruction a runs, as operation b") \
    X(BRKWHILE, "a WHILE's breakpoint: the comparison or hit counter and count A(a)[0-1] (shape x), then the WHILE's test of A(a)[2-3], else T(A(a)[4])")

enum Opcode : uint8_t {
#define X(name, operands) OP_##name,
    TESSEL_OPCODES(X)
#undef X
        OP_COUNT
};

// The name of an opcode ("ADDK"), for listings.
std::string_view opcodeName(uint8_t op);

// What an ABORT instruction reports.
enum AbortKind : uint16_t {
    ABORT_NOT_STRING = 0,  // a number literal in a string expression
    ABORT_TOO_DEEP,        // an expression nested past the limit
};

// The boxes a DIAG instruction shows (input-box misuse; the run goes on).
enum DiagKind : uint16_t {
    DIAG_HANDLER = 0,      // the handle operand names no pointer variable
    DIAG_TEXT_TYPE,        // SETTEXT's text operand is no string variable
    DIAG_STRING_TYPE,      // GETTEXT's target is no string variable
};

// What PRINT draws.
enum PrintItem : uint16_t {
    PI_NONE = 0,  // no printable form: the previous text again
    PI_STRING,    // s(c)
    PI_NUMBER,    // R[c] as text
    PI_POINTER,   // P[c] as text
};

// Flags in field x of the instructions that build strings.
enum StringFlags : uint16_t {
    SF_CHECK = 1,   // then check the length of S[a]
    SF_ASSIGN = 2,  // S[a] starts empty
};

// An argument of LSTR, RSTR or MSTR: two aux entries, a kind and a value
// (the integer itself, or a variable number).
enum SmallArg : int32_t { SMALL_CONST = 0, SMALL_NUM, SMALL_NEGNUM, SMALL_PTR, SMALL_NEGPTR };

// A single-token argument of WCOLOR, FCOLOR, BCOLOR, LOADIMG and SHOWIMG: two
// aux entries, a kind and a value. The statement's argument slot keeps its
// value for SLOT_KEEP.
enum SlotArg : int32_t { SLOT_KEEP = 0, SLOT_CONST, SLOT_NUMVAR };

struct Instr {
    uint8_t op = OP_NOP;  // Opcode
    uint8_t ticks = 0;    // 1: begins a statement (counted before it runs)
    uint16_t x = 0;       // small operand
    int32_t a = 0, b = 0, c = 0;
};
static_assert(sizeof(Instr) == 16, "instructions index with a shift");

// A whole compiled program.
struct Code {
    std::vector<Instr> ins;
    std::vector<int32_t> tokenOf;  // per instruction: the token it was read from
    std::vector<int32_t> aux;      // operand lists longer than three
    std::vector<std::string_view> strings;  // string constants
    std::deque<std::string> folded;         // texts of folded string constants
    int32_t mainEntry = 0;                  // where the main program starts
    std::array<int32_t, SLOT_COUNT> blockEntry{};  // where each event block starts
    int32_t numRegisters = 0;  // number registers: variables and temporaries
    int32_t strRegisters = 0;  // string registers: variables and temporaries
    int32_t intRegisters = 0;  // pointer variables, then integer temporaries
    int32_t strTemps = 0;      // the first string temporary
    bool compiled = false;
    // With a debugger, the program's own instructions: the code of the
    // breakpoint conditions the loop tests follows them, in room reserved
    // before the run (growing the instructions would move them under the
    // loop's cursors). 0 without one. The program's own string constants
    // and operand lists, likewise (a condition's follow them).
    size_t programSize = 0;
    size_t programStrings = 0;
    size_t programAux = 0;
};

// The code as text, an instruction a line: index, "*" where a statement
// begins, opcode, operands, and "@" the token it was read from.
std::string codeListing(const Code& code);

// Floats travel in instruction operands as their bits.
inline int32_t floatBits(float f) {
    int32_t i;
    __builtin_memcpy(&i, &f, sizeof i);
    return i;
}
inline float bitsFloat(int32_t i) {
    float f;
    __builtin_memcpy(&f, &i, sizeof f);
    return f;
}

}  // namespace tessel
