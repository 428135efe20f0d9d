// Input boxes (INPUTBOX, SETTEXT, GETTEXT, SETFOCUS) and the display mode.
// Misuse is reported in a box and the run goes on.
#include "exec/handlers.h"
#include "expr/expr.h"

namespace tessel::exec {

namespace {

// The handle operand: the token after the keyword.
struct HandleOperand {
    bool isName = false;           // the token is a name (of any kind)
    VarRef pointer;               // the pointer variable it names, if it does
};

HandleOperand handleOperand(Vm& vm) {
    fetch(vm);
    HandleOperand op;
    if (currentClass(vm) != CLS_NAME) return op;
    op.isName = true;
    VarRef v = variableAt(vm, vm.exec.pc);
    if (v && v.type == TYPE_PTR) {
        op.pointer = v;
    } else {
        vm.diagnostic("Hendler Error!", "Hendler unknown! : " + currentText(vm), AtToken{vm.exec.pc});
    }
    return op;
}

// SETTEXT's and GETTEXT's handle operand, which becomes the current text
// control; the program counter moves on to the text operand.
HandleOperand textControlOperand(Vm& vm) {
    const HandleOperand op = handleOperand(vm);
    if (op.pointer) vm.exec.currentTextControl = op.pointer->ptr;
    ++vm.exec.pc;  // onto the separator
    fetch(vm);
    return op;
}

}  // namespace

// INPUTBOX h, x, y, w, ht, text: a new input box; h receives its handle.
void execInputbox(Vm& vm) {
    ExecState& ex = vm.exec;
    const HandleOperand op = handleOperand(vm);
    const int32_t at = ex.pc;
    ++ex.pc;  // onto the separator
    const int32_t x = toInt32(fetchNumeric(vm));
    const int32_t y = toInt32(fetchNumeric(vm));
    const int32_t w = toInt32(fetchNumeric(vm));
    const int32_t h = toInt32(fetchNumeric(vm));
    const std::string text = fetchString(vm);
    const int32_t handle = vm.platform.createEdit(x, y, w, h, text);
    ex.lastInputBox = handle;
    if (handle <= 0) {
        vm.diagnostic("InputBox Error!", "InputBox Not Created!", AtToken{at});
    } else if (op.pointer) {
        op.pointer->ptr = handle;
    }
}

// SETTEXT h, text: a string expression that starts with a string variable
// or a string literal becomes the control's text.
void execSettext(Vm& vm) {
    ExecState& ex = vm.exec;
    textControlOperand(vm);
    const int32_t t = ex.pc;
    const int32_t cls = currentClass(vm);
    if (cls == CLS_NAME) {
        VarRef v = variableAt(vm, t);
        if (!v || v.type != TYPE_STR) {
            vm.diagnostic("Type Error!", "Invalid Variable Type! : " + currentText(vm), AtToken{t});
            return;
        }
    } else if (cls != CLS_QSTR) {
        return;
    }
    const std::string text = stringExpression(vm);
    vm.platform.setEditText(ex.currentTextControl, text);
}

// GETTEXT h, s: the control's whole text into the string variable s.
void execGettext(Vm& vm) {
    ExecState& ex = vm.exec;
    const HandleOperand op = textControlOperand(vm);
    if (!op.isName) return;
    VarRef v = currentClass(vm) == CLS_NAME ? variableAt(vm, ex.pc) : VarRef{};
    if (!v || v.type != TYPE_STR) {
        vm.diagnostic("Type Error!", "Invalid string! : " + currentText(vm), AtToken{ex.pc});
        return;
    }
    storeText(vm, v->str, vm.platform.editText(ex.currentTextControl), ex.pc);
}

// SETFOCUS h shows the input box h and gives it the keyboard focus;
// SETFOCUS with a number hides the newest input box.
void execSetfocus(Vm& vm) {
    ExecState& ex = vm.exec;
    const HandleOperand op = handleOperand(vm);
    if (op.pointer) {
        ex.currentTextControl = op.pointer->ptr;
        vm.platform.showEdit(ex.currentTextControl, true);
        vm.platform.focusEdit(ex.currentTextControl);
    } else if (currentClass(vm) == CLS_NUM) {
        vm.platform.showEdit(ex.lastInputBox, false);
    }
}

// MODE n: 1 makes painting the window show the back buffer.
void execMode(Vm& vm) {
    fetch(vm);
    if (currentClass(vm) == CLS_NUM) vm.exec.displayMode = toInt32(literalValue(vm, vm.exec.pc));
}

}  // namespace tessel::exec
