// The main window's procedure, the event blocks it runs, and the statements
// that read event values, the tick count and the window timer.
#include <algorithm>
#include <cstdio>

#include "exec/executor.h"
#include "exec/handlers.h"
#include "gfx/gfx_state.h"

namespace tessel {

using namespace exec;

namespace {

// Holds the person's input for the length of an event block: what arrives
// meanwhile is delivered in order once no script code runs.
class InputHold {
   public:
    explicit InputHold(WindowCore& p) : platform_(p), was_(p.holdingInput()) { p.holdInput(true); }
    ~InputHold() { platform_.holdInput(was_); }
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

   private:
    WindowCore& platform_;  // the window core holding the input
    bool was_;              // held before (an outer block): still held after
};

// Runs the event block registered for `which` message. A block run in the
// middle of another run (a command block dispatched by the message service
// step or a box's modal loop) lets that run resume where it was afterwards.
void runEventBlock(Vm& vm, EventSlot which) {
    ExecState& ex = vm.exec;
    if (ex.runDepth >= kMaxNestedRuns) {
        // A flood of nested messages: the block is dropped rather than
        // risking the C stack. Reported once, outside any message box (a
        // box's modal loop would only dispatch more of the flood).
        if (!ex.droppedBlockNoted) {
            ex.droppedBlockNoted = true;
            std::fputs("tessel: event blocks nested too deeply; further nested blocks are dropped\n",
                       stderr);
        }
        return;
    }
    const bool wasRunning = ex.running;
    {
        InputHold hold(vm.platform);
        runBlockAt(vm, which, wasRunning);
    }
    if (wasRunning) ex.running = true;
}

// Runs a block that only runs while no script code is running.
void runIdleBlock(Vm& vm, EventSlot which) {
    if (vm.symbols.slots[which] != 0 && !vm.exec.running) runEventBlock(vm, which);
}

void onCommand(Vm& vm, uint32_t wParam) {
    ExecState& ex = vm.exec;
    ex.commandId = wParam & 0xFFFFu;
    ex.notifyCode = wParam >> 16;
    ex.wordParam = static_cast<int32_t>(ex.commandId);
    if ((ex.commandId == 1 || ex.commandId == 2) && ex.notifyCode == 0 && vm.symbols.slots[SLOT_COMMAND] != 0)
        runEventBlock(vm, SLOT_COMMAND);
}

}  // namespace

void windowProc(Vm& vm, const Message& msg) {
    ExecState& ex = vm.exec;
    switch (msg.message) {
        case WM_PAINT:
            if (ex.displayMode == 1 && !ex.windowClosed) vm.platform.present(vm.gfx.view(), takeChangedRows(vm.gfx));
            break;
        case WM_MOUSEMOVE:
            if (vm.symbols.slots[SLOT_MOUSEMOVE] != 0 && !ex.running) {
                ex.mouseX = static_cast<int32_t>(msg.lParam & 0xFFFFu);
                ex.mouseY = static_cast<int32_t>(msg.lParam >> 16);
                ex.longParam = static_cast<int32_t>(msg.lParam);
                runIdleBlock(vm, SLOT_MOUSEMOVE);
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            ex.longParam = static_cast<int32_t>(msg.lParam);
            runIdleBlock(vm, msg.message == WM_LBUTTONDOWN ? SLOT_LBUTTONDOWN : SLOT_RBUTTONDOWN);
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
            // The key code is kept for HWPARAM whether or not a block runs,
            // so scripts can poll keys.
            ex.wordParam = static_cast<int32_t>(msg.wParam);
            ex.longParam = static_cast<int32_t>(msg.lParam);
            runIdleBlock(vm, msg.message == WM_KEYDOWN ? SLOT_KEYDOWN : SLOT_KEYUP);
            break;
        case WM_COMMAND: onCommand(vm, msg.wParam); break;
        case WM_TIMER: runIdleBlock(vm, SLOT_TIMER); break;
        case WM_CLOSE:
            ex.windowClosed = true;
            throw ProgramExit{0};
        default: break;
    }
}

namespace exec {

// TIMERON: the interval from a number literal or number variable (or the
// one given before); the timer starts, or restarts with it. (The window
// core raises short intervals to its minimum.)
void execTimeron(Vm& vm, const Instr& in) {
    ExecState& ex = vm.exec;
    if (in.x == 1) ex.timerInterval = in.a;
    else if (in.x == 2) ex.timerInterval = toInt32(vm.memory.num[static_cast<size_t>(in.a)]);
    vm.platform.setTimer(kTimerId, static_cast<uint32_t>(std::max(ex.timerInterval, 0)));
}

}  // namespace exec

}  // namespace tessel
