// Input boxes: their misuse is reported in a box and the run goes on.
#include "exec/handlers.h"

namespace tessel::exec {

// The box a misused operand gets; `token` is the operand.
void execDiagnostic(Vm& vm, uint16_t kind, int32_t token) {
    const std::string text(vm.tokens.textAt(token));
    switch (kind) {
        case DIAG_HANDLER: vm.diagnostic("Hendler Error!", "Hendler unknown! : " + text, AtToken{token}); break;
        case DIAG_TEXT_TYPE: vm.diagnostic("Type Error!", "Invalid Variable Type! : " + text, AtToken{token}); break;
        default: vm.diagnostic("Type Error!", "Invalid string! : " + text, AtToken{token}); break;
    }
}

// INPUTBOX h, x, y, w, ht, text: a new input box; h receives its handle.
// `token` is the handle operand, whose line a failure names.
void execInputbox(Vm& vm, const Instr& in, int32_t token) {
    ExecState& ex = vm.exec;
    const float* a = vm.memory.num.data() + in.a;
    const std::string text(stringOperand(vm, in.b));
    const int32_t handle = vm.platform.createEdit(toInt32(a[0]), toInt32(a[1]), toInt32(a[2]), toInt32(a[3]), text);
    ex.lastInputBox = handle;
    if (handle <= 0) vm.diagnostic("InputBox Error!", "InputBox Not Created!", AtToken{token});
    else if (in.c != 0) vm.memory.ptr[static_cast<size_t>(in.c)] = handle;
}

}  // namespace tessel::exec
