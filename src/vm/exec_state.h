// Executor state: where the run is, its stacks, and everything the
// statements, the window procedure and the input-box statements keep.
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

struct ExecState {
    // --- the run ------------------------------------------------------------
    int32_t pc = 0;            // token where the last run stopped (0: at a WINMSG or ENDWM)
    bool prepared = false;     // the run has been prepared (prepareExecution)
    bool running = false;      // script code is running (the main run or an event block)
    int32_t runDepth = 0;      // runs of the executor currently nested
    bool windowClosed = false; // the main window was closed; SWAP presents nothing
    uint32_t keepAliveCount = 0;  // statement starts since the last WindowCore::keepAlive
    // Rounds of kKeepAliveInterval statements the program may still run
    // before it is ended (0: no limit). Fuzzing sets it so that every input
    // ends, endless loops included.
    uint64_t workBudget = 0;
    bool droppedBlockNoted = false;  // the nesting cap has been reported once
    bool aborted = false;      // a run abort happened (the exit status is 1)

    // --- control flow -------------------------------------------------------
    int32_t condFlag = 0;      // last IF condition: -1 true, 0 false
    std::array<int32_t, kStackCapacity + 1> loopStack{};  // WHILE instruction of each active loop, from 1
    int32_t loopDepth = 0;     // entries on the loop stack
    std::array<int32_t, kStackCapacity + 1> callStack{};  // return instruction of each active call
    int32_t callDepth = 0;     // active calls

    // --- strings ------------------------------------------------------------
    // A string variable being appended to in place, and its length before:
    // a run abort in the middle puts the length back.
    int32_t appendTarget = -1;  // string register (-1: none)
    size_t appendBase = 0;

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
