// The executor's statement handlers and the token-cursor helpers they share.
// Every handler is entered with the program counter on the statement's first
// token and leaves it on the last token it consumed; the loop's next fetch
// moves past it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "checker/symbols.h"
#include "platform/window_core.h"
#include "vm/vm.h"

namespace tessel::exec {

// --- token cursor ---------------------------------------------------------

inline int32_t classAt(const Vm& vm, int32_t i) { return vm.tokens.classAt(i); }
inline int32_t currentClass(const Vm& vm) { return vm.tokens.classAt(vm.exec.pc); }
inline std::string currentText(const Vm& vm) {
    return std::string(vm.tokens.textAt(vm.exec.pc));
}

// A variable bound to a token: its type and its value in the run's memory.
struct VarRef {
    int32_t type = TYPE_NONE;        // TYPE_NUM, TYPE_STR or TYPE_PTR
    VariableValue* value = nullptr;  // null: the token names no variable
    explicit operator bool() const { return value != nullptr; }
    VariableValue* operator->() const { return value; }
};

// An array bound to a token: its type and its elements.
struct ArrayRef {
    int32_t type = TYPE_NONE;
    ArrayElements* elements = nullptr;  // null: the token names no array
    explicit operator bool() const { return elements != nullptr; }
    ArrayElements* operator->() const { return elements; }
};

// The variable bound to token i (empty when the token names none).
VarRef variableAt(Vm& vm, int32_t i);
// The array bound to token i (empty when the token names none).
ArrayRef arrayAt(Vm& vm, int32_t i);
// The source line of token i (1 plus the line ends before it).
int32_t lineAt(const Vm& vm, int32_t i);

// A run-time error that the script cannot recover from: its diagnostic, then
// the run abort.
[[noreturn]] void runError(Vm& vm, std::string_view text, int32_t token);

// Stores `value` into a string variable or element, or, past the string
// budget, ends the run with a diagnostic at `token`.
void storeText(Vm& vm, std::string& slot, std::string&& value, int32_t token);
// The run error for a text that would take the strings past their budget.
[[noreturn]] void stringMemoryExhausted(Vm& vm, int32_t token);

// Sizes the executor's per-token tables for the current token store.
void prepareExecTables(Vm& vm);

// --- assignments (assign.cpp) ---------------------------------------------
void execDeclaration(Vm& vm);
void execNameStatement(Vm& vm);

// --- control flow (control.cpp) -------------------------------------------
void execIf(Vm& vm);
void execElse(Vm& vm);
void execWhile(Vm& vm);
void execWend(Vm& vm);
void execGoto(Vm& vm);
void execCall(Vm& vm);
void execFunc(Vm& vm);
void execEndfn(Vm& vm);

// --- drawing (drawing.cpp) ------------------------------------------------
void execPrint(Vm& vm);
void execPset(Vm& vm);
void execPlot(Vm& vm);
void execDraw(Vm& vm);
void execLine(Vm& vm);
void execRect(Vm& vm);
void execCircle(Vm& vm);
void execWcolor(Vm& vm);
void execFcolor(Vm& vm);
void execBcolor(Vm& vm);
void execSetfont(Vm& vm);
void execSwap(Vm& vm);
void execLoadimg(Vm& vm);
void execShowimg(Vm& vm);
void execShowimgt(Vm& vm);

// --- window events (events.cpp) -------------------------------------------
void execMousex(Vm& vm);
void execMousey(Vm& vm);
void execHwparam(Vm& vm);
void execHlparam(Vm& vm);
void execGettick(Vm& vm);
void execTimeron(Vm& vm);
void execTimeroff(Vm& vm);

// --- input boxes and display mode (inputbox.cpp) ---------------------------
void execInputbox(Vm& vm);
void execSettext(Vm& vm);
void execGettext(Vm& vm);
void execSetfocus(Vm& vm);
void execMode(Vm& vm);

}  // namespace tessel::exec
