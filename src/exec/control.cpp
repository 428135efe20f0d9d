// Control flow: IF/ELSE/ENDIF, WHILE/WEND, GOTO, and FUNC calls and returns.
// Jumps follow the checker's binding tables; the ends of skipped blocks are
// found by forward scans, memoised by their start position.
#include "exec/handlers.h"
#include "expr/expr.h"

namespace tessel::exec {

namespace {

// --- forward scans ----------------------------------------------------------
// Each returns the index of the token the scan stops on, or kScanEnd when it
// reaches the end of the token store.

// To the ENDIF that closes the block open at `from` (or, with `stopAtElse`,
// to its ELSE if one comes first), passing over nested IF ... ENDIF blocks.
int32_t scanBlockEnd(const Vm& vm, int32_t from, bool stopAtElse) {
    int32_t depth = 0;
    for (int32_t j = from + 1; j <= vm.tokens.count; ++j) {
        int32_t c = vm.tokens.classes()[j];
        if (c == KW_IF) {
            ++depth;
        } else if (c == KW_ENDIF) {
            if (depth == 0) return j;
            --depth;
        } else if (c == KW_ELSE && depth == 0 && stopAtElse) {
            return j;
        }
    }
    return kScanEnd;
}

// From a false IF's condition to its own ELSE or ENDIF.
int32_t scanIfEnd(const Vm& vm, int32_t from) { return scanBlockEnd(vm, from, true); }

// From an ELSE to its own ENDIF.
int32_t scanElseEnd(const Vm& vm, int32_t from) { return scanBlockEnd(vm, from, false); }

// From a false WHILE's condition to its own WEND, counting nested loops.
int32_t scanWhileEnd(const Vm& vm, int32_t from) {
    int32_t nesting = 1;
    for (int32_t j = from + 1; j <= vm.tokens.count; ++j) {
        int32_t c = vm.tokens.classes()[j];
        if (c == KW_WHILE) ++nesting;
        if (c == KW_WEND && --nesting == 0) return j;
    }
    return kScanEnd;
}

// From a FUNC met outside a call to the first ENDFN after it.
int32_t scanFuncEnd(const Vm& vm, int32_t from) {
    for (int32_t j = from + 1; j <= vm.tokens.count; ++j)
        if (vm.tokens.classes()[j] == KW_ENDFN) return j;
    return kScanEnd;
}

// Runs `scan` from the program counter, once per start position, and returns
// where it stopped.
template <typename Scan>
int32_t memoScan(Vm& vm, std::vector<int32_t>& memo, Scan scan) {
    const int32_t from = vm.exec.pc;
    if (from < 0 || from >= static_cast<int32_t>(memo.size())) return scan(vm, from);
    int32_t& hit = memo[static_cast<size_t>(from)];
    if (hit == kScanUnknown) hit = scan(vm, from);
    return hit;
}

// Moves the program counter to a scan's stop (plus `past`); a scan that
// found nothing ends the run.
void jumpToScan(Vm& vm, int32_t stop, int32_t past) {
    vm.exec.pc = stop == kScanEnd ? vm.tokens.count : stop + past;
}

}  // namespace

// IF condition: the branch runs when the condition holds; otherwise the run
// resumes after the IF's own ELSE or ENDIF. A condition that does not start
// with a variable leaves the flag as it was.
void execIf(Vm& vm) {
    ExecState& ex = vm.exec;
    fetch(vm);
    const int32_t first = ex.pc;
    // A number variable or number element (the common cases) is read from
    // the run table.
    if ((runAt(vm, first).flags & (RF_NUMVAR | RF_CMPELEM)) ||
        (vm.tokens.classAt(first) == CLS_NAME &&
         (variableAt(vm, first) || (arrayAt(vm, first) && classAt(vm, first + 1) == CLS_LBRK))))
        ex.condFlag = condition(vm);
    if (ex.condFlag == 0) jumpToScan(vm, memoScan(vm, ex.ifSkip, scanIfEnd), 0);
}

// ELSE reached as a statement ends a taken branch: the run resumes after the
// ELSE's own ENDIF. (A false IF resumes after its ELSE, never on it.)
void execElse(Vm& vm) {
    jumpToScan(vm, memoScan(vm, vm.exec.elseSkip, scanElseEnd), 0);
}

// WHILE condition: pushes the loop, runs the body while the condition holds,
// and otherwise resumes two tokens after the loop's own WEND.
void execWhile(Vm& vm) {
    ExecState& ex = vm.exec;
    const int32_t at = ex.pc;
    fetch(vm);
    ex.loopCondFlag = condition(vm);
    if (ex.loopDepth >= kStackCapacity)
        runError(vm, "Too many nested WHILE loops! : WHILE", at);
    ex.loopStack[static_cast<size_t>(++ex.loopDepth)] = at;
    if (ex.loopCondFlag == 0) {
        --ex.loopDepth;
        jumpToScan(vm, memoScan(vm, ex.whileSkip, scanWhileEnd), 1);
    }
}

// WEND: back to the WHILE on top of the loop stack, which tests again.
void execWend(Vm& vm) {
    ExecState& ex = vm.exec;
    if (ex.loopDepth <= 0) runError(vm, "WEND without a running WHILE! : WEND", ex.pc);
    ex.pc = ex.loopStack[static_cast<size_t>(ex.loopDepth--)] - 1;
}

// GOTO name: the run resumes after the label's name. The stacks are left
// as they are.
void execGoto(Vm& vm) {
    fetch(vm);
    const int32_t target = vm.symbols.gotoAt(vm.exec.pc);
    if (target > 0) vm.exec.pc = target;
}

// name(): remembers the call site and runs the body after the header line.
void execCall(Vm& vm) {
    ExecState& ex = vm.exec;
    const int32_t target = vm.symbols.callAt(ex.pc);
    if (target <= 0) return;
    if (ex.callDepth >= kStackCapacity)
        runError(vm, "Too many nested function calls! : " + currentText(vm), ex.pc);
    ex.callStack[static_cast<size_t>(++ex.callDepth)] = ex.pc;
    ex.pc = target + 2;  // the header's ')'
}

// FUNC met by the main flow: the whole definition is passed over, up to two
// tokens after its ENDFN. Inside a call FUNC does nothing.
void execFunc(Vm& vm) {
    if (vm.exec.callDepth != 0) return;
    jumpToScan(vm, memoScan(vm, vm.exec.funcSkip, scanFuncEnd), 1);
}

// ENDFN: back to the call site; the run resumes at the call's '('.
void execEndfn(Vm& vm) {
    ExecState& ex = vm.exec;
    if (ex.callDepth <= 0) runError(vm, "ENDFN without a running call! : ENDFN", ex.pc);
    ex.pc = ex.callStack[static_cast<size_t>(ex.callDepth--)];
}

}  // namespace tessel::exec
