// The statement handlers the executor calls out of line (the instruction
// loop, or its driver for those that reach the platform): each receives its
// instruction, whose operands name registers already computed (vm/code.h),
// and does what the statement does. The boxes of the run-time errors that
// abort a run are raised here too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/convert.h"
#include "checker/symbols.h"
#include "platform/window_core.h"
#include "exec/vm.h"

namespace tessel::exec {

// The source line of token i (1 plus the line ends before it).
int32_t lineAt(const Vm& vm, int32_t i);

// A string operand s(x): a register's text or a constant.
inline std::string_view stringOperand(const Vm& vm, int32_t x) {
    if (x >= 0) return vm.memory.str[static_cast<size_t>(x)];
    return vm.code.strings[static_cast<size_t>(~x)];
}

// --- run aborts ---------------------------------------------------------------
// Each shows its box; the loop then ends the run, whose edge abandons it.
// The token is the one the instruction was read from.
// A "Run Error!" box: `text` (then the token's own text, with `quote`) and
// the token's line.
void raiseRunError(Vm& vm, std::string_view text, int32_t token, bool quote = false);
void raiseAbort(Vm& vm, uint16_t kind, int32_t token);
void raiseTooLong(Vm& vm, size_t length, int32_t token);
// A store that would take the texts of all variables and elements past
// their budget: it is not made.
void raiseStringMemory(Vm& vm, int32_t token);

// --- drawing (drawing.cpp) --------------------------------------------------------
void execPrint(Vm& vm, const Instr& in);
void execColour(Vm& vm, const Instr& in);
void execSetfont(Vm& vm, const Instr& in);
void execSwap(Vm& vm);
// False when the image memory is exhausted (the run is then aborted).
bool execLoadimg(Vm& vm, const Instr& in, int32_t token);
void execShowimg(Vm& vm, const Instr& in);

// --- strings (strings.cpp) ----------------------------------------------------------
void appendSubstring(Vm& vm, const Instr& in);
// False when the store would pass the string budget (nothing is stored).
bool storeStringElement(Vm& vm, const Instr& in);
// GETTEXT's store of the current text control's text; false past the budget.
bool storeEditText(Vm& vm, Text& slot);

// --- window events (events.cpp) -----------------------------------------------------
void execTimeron(Vm& vm, const Instr& in);

// --- input boxes (inputbox.cpp) -------------------------------------------------------
void execDiagnostic(Vm& vm, uint16_t kind, int32_t token);
void execInputbox(Vm& vm, const Instr& in, int32_t token);

}  // namespace tessel::exec
