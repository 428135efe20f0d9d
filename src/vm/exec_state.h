// Executor state: the program counter and everything the statement loop,
// control flow, the window procedure and the input-box statements keep.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tessel {

// Usable entries of the loop stack and of the call stack.
inline constexpr int32_t kStackCapacity = 4096;
// Runs of the executor that may be nested inside one another (the main run,
// command blocks dispatched while it services messages, blocks run from the
// modal loop of a message box). Deeper event blocks are dropped.
inline constexpr int32_t kMaxNestedRuns = 64;
// Statements between two calls of WindowCore::keepAlive.
inline constexpr uint32_t kKeepAliveInterval = 4096;
// Identifier of the one window timer the script uses.
inline constexpr uint32_t kTimerId = 1;

// A memoised forward scan: at each start position, the token the scan stops
// on, kScanUnknown before the first scan from there, kScanEnd when it ran off
// the end of the token store.
inline constexpr int32_t kScanUnknown = 0;
inline constexpr int32_t kScanEnd = -1;

// Persistent argument slots of the statements whose arguments are single
// tokens: a slot keeps its value when the token is neither a number literal
// nor a number variable.
struct ArgSlots {
    std::array<int32_t, 3> wcolor{};   // red, green, blue
    std::array<int32_t, 3> fcolor{};
    std::array<int32_t, 3> bcolor{};
    std::array<int32_t, 4> loadimg{};  // type, width, height, flags
    std::array<int32_t, 4> showimg{};  // x, y, w, h
};

// What a token at the program counter starts.
enum StartKind : uint8_t {
    SK_NONE = 0,  // no statement: the message queue is serviced
    SK_NAME,      // a statement that begins with a name
    SK_KEYWORD,   // a statement that begins with a keyword
};

struct ExecState {
    // --- the run ------------------------------------------------------------
    int32_t pc = 0;            // index of the token being executed
    bool prepared = false;     // the run has been prepared (prepareExecution)
    bool running = false;      // script code is running (the main run or an event block)
    int32_t runDepth = 0;      // runs of the executor currently nested
    bool windowClosed = false; // the main window was closed; SWAP presents nothing
    uint32_t keepAliveCount = 0;  // statements since the last WindowCore::keepAlive
    // Rounds of kKeepAliveInterval statements the program may still run
    // before it is ended (0: no limit). Fuzzing sets it so that every input
    // ends, endless loops included.
    uint64_t workBudget = 0;
    bool droppedBlockNoted = false;  // the nesting cap has been reported once
    bool aborted = false;      // a run abort happened (the exit status is 1)

    // --- control flow -------------------------------------------------------
    int32_t condFlag = 0;      // last IF condition: -1 true, 0 false
    int32_t loopCondFlag = 0;  // last WHILE condition
    std::array<int32_t, kStackCapacity + 1> loopStack{};  // WHILE token of each active loop, from 1
    int32_t loopDepth = 0;     // entries on the loop stack
    std::array<int32_t, kStackCapacity + 1> callStack{};  // call-site name token of each active call
    int32_t callDepth = 0;     // active calls

    // Memoised forward scans, indexed by the scan's start position (the token
    // store never changes during a run, so a scan from one position always
    // stops on the same token).
    std::vector<int32_t> ifSkip;     // false IF: to its own ELSE or ENDIF
    std::vector<int32_t> elseSkip;   // ELSE after a taken branch: to its own ENDIF
    std::vector<int32_t> whileSkip;  // false WHILE: to its own WEND
    std::vector<int32_t> funcSkip;   // FUNC outside a call: to the first ENDFN
    std::vector<int32_t> lineOf;     // source line of each token, for run-time diagnostics
    std::vector<uint8_t> startKind;  // what each token starts: a StartKind

    // --- statements ---------------------------------------------------------
    std::string printText;     // text of the last PRINT; kept when an item has no form
    ArgSlots slots;            // single-token argument slots

    // --- window events ------------------------------------------------------
    int32_t mouseX = 0;        // last mouse move that ran a block; cleared when read
    int32_t mouseY = 0;
    int32_t wordParam = 0;     // last key code or command identifier; cleared when read
    int32_t longParam = 0;     // long parameter of the last mouse or key message; cleared when read
    uint32_t commandId = 0;    // low half of the last command's word parameter
    uint32_t notifyCode = 0;   // high half of the last command's word parameter
    int32_t timerInterval = 0; // milliseconds, last value given to TIMERON

    // --- input boxes --------------------------------------------------------
    int32_t displayMode = 0;       // 1: painting the window shows the back buffer
    int32_t lastInputBox = 0;      // the newest input box, 0 before the first
    int32_t currentTextControl = 0;  // the control SETTEXT and GETTEXT address
};

}  // namespace tessel
