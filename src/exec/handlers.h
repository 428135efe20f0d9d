// The executor's statement handlers and the token-cursor helpers they share.
// Every handler is entered with the program counter on the statement's first
// token and leaves it on the last token it consumed; the loop's next fetch
// moves past it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "checker/symbols.h"
#include "host/interpreter.h"

namespace tessel::exec {

// --- token cursor ---------------------------------------------------------

inline int32_t classAt(const Interpreter& in, int32_t i) { return in.tokens.classAt(i); }
inline int32_t currentClass(const Interpreter& in) { return in.tokens.classAt(in.exec.pc); }
inline const std::string& currentText(const Interpreter& in) {
    return in.tokens.textAt(in.exec.pc);
}

// The variable bound to token i, or null when the token names none.
Variable* variableAt(Interpreter& in, int32_t i);
// The array bound to token i, or null when the token names none.
ArrayInfo* arrayAt(Interpreter& in, int32_t i);
// The source line of token i (1 plus the line ends before it).
int32_t lineAt(const Interpreter& in, int32_t i);

// A run-time error that the script cannot recover from: its diagnostic, then
// the run abort.
[[noreturn]] void runError(Interpreter& in, std::string_view text, int32_t token);

// Sizes the executor's per-token tables for the current token store.
void prepareExecTables(Interpreter& in);

// --- assignments (assign.cpp) ---------------------------------------------
void execDeclaration(Interpreter& in);
void execNameStatement(Interpreter& in);

// --- control flow (control.cpp) -------------------------------------------
void execIf(Interpreter& in);
void execElse(Interpreter& in);
void execWhile(Interpreter& in);
void execWend(Interpreter& in);
void execGoto(Interpreter& in);
void execCall(Interpreter& in);
void execFunc(Interpreter& in);
void execEndfn(Interpreter& in);

// --- drawing (drawing.cpp) ------------------------------------------------
void execPrint(Interpreter& in);
void execPset(Interpreter& in);
void execPlot(Interpreter& in);
void execDraw(Interpreter& in);
void execLine(Interpreter& in);
void execRect(Interpreter& in);
void execCircle(Interpreter& in);
void execWcolor(Interpreter& in);
void execFcolor(Interpreter& in);
void execBcolor(Interpreter& in);
void execSetfont(Interpreter& in);
void execSwap(Interpreter& in);
void execLoadimg(Interpreter& in);
void execShowimg(Interpreter& in);
void execShowimgt(Interpreter& in);

// --- window events (events.cpp) -------------------------------------------
void execMousex(Interpreter& in);
void execMousey(Interpreter& in);
void execHwparam(Interpreter& in);
void execHlparam(Interpreter& in);
void execGettick(Interpreter& in);
void execTimeron(Interpreter& in);
void execTimeroff(Interpreter& in);

// --- input boxes and display mode (inputbox.cpp) ---------------------------
void execInputbox(Interpreter& in);
void execSettext(Interpreter& in);
void execGettext(Interpreter& in);
void execSetfocus(Interpreter& in);
void execMode(Interpreter& in);

}  // namespace tessel::exec
