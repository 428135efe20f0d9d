// The main window's procedure, the event blocks it runs, and the statements
// that read event values, the tick count and the window timer.
#include <algorithm>
#include <cstdio>

#include "exec/executor.h"
#include "exec/handlers.h"
#include "expr/expr.h"
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

// Runs the event block registered in `slot` (its message-name token). A
// block run in the middle of another run (a command block dispatched by the
// message service step or a box's modal loop) lets that run resume where it
// was afterwards.
void runEventBlock(Vm& vm, int32_t slot) {
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
        runBlockAt(vm, slot, wasRunning);
    }
    if (wasRunning) ex.running = true;
}

// Runs a block that only runs while no script code is running.
void runIdleBlock(Vm& vm, EventSlot which) {
    const int32_t slot = vm.symbols.slots[which];
    if (slot != 0 && !vm.exec.running) runEventBlock(vm, slot);
}

void onCommand(Vm& vm, uint32_t wParam) {
    ExecState& ex = vm.exec;
    ex.commandId = wParam & 0xFFFFu;
    ex.notifyCode = wParam >> 16;
    ex.wordParam = static_cast<int32_t>(ex.commandId);
    const int32_t slot = vm.symbols.slots[SLOT_COMMAND];
    if ((ex.commandId == 1 || ex.commandId == 2) && ex.notifyCode == 0 && slot != 0)
        runEventBlock(vm, slot);
}

}  // namespace

void windowProc(Vm& vm, const Message& msg) {
    ExecState& ex = vm.exec;
    switch (msg.message) {
        case WM_PAINT:
            if (ex.displayMode == 1 && !ex.windowClosed) vm.platform.present(vm.gfx.view());
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

namespace {

// The number or pointer variable named by the token after the keyword
// receives `value`; a string variable receives nothing.
void storeEventValue(Vm& vm, int32_t value) {
    VarRef v = variableAt(vm, vm.exec.pc);
    if (!v) return;
    if (v.type == TYPE_NUM) v->num = static_cast<float>(value);
    if (v.type == TYPE_PTR) v->ptr = value;
}

// MOUSEX v / MOUSEY v: a number variable receives the recorded coordinate,
// which is then cleared.
void readMouse(Vm& vm, int32_t& coordinate) {
    fetch(vm);
    if (currentClass(vm) != CLS_NAME) return;
    if (VarRef v = variableAt(vm, vm.exec.pc); v && v.type == TYPE_NUM)
        v->num = static_cast<float>(coordinate);
    coordinate = 0;
}

}  // namespace

void execMousex(Vm& vm) { readMouse(vm, vm.exec.mouseX); }
void execMousey(Vm& vm) { readMouse(vm, vm.exec.mouseY); }

// HWPARAM v: the last key code or command identifier, then cleared.
void execHwparam(Vm& vm) {
    fetch(vm);
    if (currentClass(vm) != CLS_NAME) return;
    storeEventValue(vm, vm.exec.wordParam);
    vm.exec.wordParam = 0;
}

// HLPARAM v: the long parameter of the last mouse or key message (x in the
// low 16 bits, y in the high 16 bits for the mouse), then cleared.
void execHlparam(Vm& vm) {
    fetch(vm);
    if (currentClass(vm) != CLS_NAME) return;
    storeEventValue(vm, vm.exec.longParam);
    vm.exec.longParam = 0;
}

void execGettick(Vm& vm) {
    fetch(vm);
    if (currentClass(vm) != CLS_NAME) return;
    if (VarRef v = variableAt(vm, vm.exec.pc); v && v.type == TYPE_NUM)
        v->num = static_cast<float>(static_cast<int32_t>(vm.platform.tickCount()));
}

// TIMERON interval: a number variable or a number literal sets the interval
// (milliseconds, at least 10); the timer starts, or restarts with it.
void execTimeron(Vm& vm) {
    ExecState& ex = vm.exec;
    fetch(vm);
    const int32_t t = ex.pc;
    if (vm.tokens.classAt(t) == CLS_NUM) {
        ex.timerInterval = toInt32(literalValue(vm, t));
    } else if (VarRef v = variableAt(vm, t);
               v && v.type == TYPE_NUM && vm.tokens.classAt(t) == CLS_NAME) {
        ex.timerInterval = toInt32(v->num);
    }
    // (The window core raises short intervals to its minimum.)
    vm.platform.setTimer(kTimerId, static_cast<uint32_t>(std::max(ex.timerInterval, 0)));
}

void execTimeroff(Vm& vm) { vm.platform.killTimer(kTimerId); }

}  // namespace exec

}  // namespace tessel
