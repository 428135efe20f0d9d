// Input boxes (INPUTBOX, SETTEXT, GETTEXT, SETFOCUS) and the display mode.
// Misuse is reported in a box and the run goes on.
#include "exec/handlers.h"
#include "expr/expr.h"

namespace tessel::exec {

namespace {

// The handle operand: the token after the keyword.
struct HandleOperand {
    bool isName = false;           // the token is a name (of any kind)
    Variable* pointer = nullptr;   // the pointer variable it names, if it does
};

HandleOperand handleOperand(Interpreter& in) {
    fetch(in);
    HandleOperand op;
    if (currentClass(in) != CLS_NAME) return op;
    op.isName = true;
    Variable* v = variableAt(in, in.exec.pc);
    if (v && v->type == TYPE_PTR) {
        op.pointer = v;
    } else {
        in.diagnostic("Hendler unknown! : " + currentText(in), "Hendler Error!",
                      lineAt(in, in.exec.pc));
    }
    return op;
}

// SETTEXT's and GETTEXT's handle operand, which becomes the current text
// control; the program counter moves on to the text operand.
HandleOperand textControlOperand(Interpreter& in) {
    const HandleOperand op = handleOperand(in);
    if (op.pointer) in.exec.currentTextControl = op.pointer->ptr;
    ++in.exec.pc;  // onto the separator
    fetch(in);
    return op;
}

}  // namespace

// INPUTBOX h, x, y, w, ht, text: a new input box; h receives its handle.
void execInputbox(Interpreter& in) {
    ExecState& ex = in.exec;
    const HandleOperand op = handleOperand(in);
    const int32_t line = lineAt(in, ex.pc);
    ++ex.pc;  // onto the separator
    const int32_t x = toInt32(fetchNumeric(in));
    const int32_t y = toInt32(fetchNumeric(in));
    const int32_t w = toInt32(fetchNumeric(in));
    const int32_t h = toInt32(fetchNumeric(in));
    const std::string text = fetchString(in);
    const int32_t handle = in.platform.createEdit(x, y, w, h, text);
    ex.lastInputBox = handle;
    if (handle <= 0) {
        in.diagnostic("InputBox Not Created!", "InputBox Error!", line);
    } else if (op.pointer) {
        op.pointer->ptr = handle;
    }
}

// SETTEXT h, text: a string expression that starts with a string variable
// or a string literal becomes the control's text.
void execSettext(Interpreter& in) {
    ExecState& ex = in.exec;
    textControlOperand(in);
    const int32_t t = ex.pc;
    const int32_t cls = currentClass(in);
    if (cls == CLS_NAME) {
        Variable* v = variableAt(in, t);
        if (!v || v->type != TYPE_STR) {
            in.diagnostic("Invalid Variable Type! : " + currentText(in), "Type Error!",
                          lineAt(in, t));
            return;
        }
    } else if (cls != CLS_QSTR) {
        return;
    }
    const std::string text = stringExpression(in);
    in.platform.setEditText(ex.currentTextControl, text);
}

// GETTEXT h, s: the control's whole text into the string variable s.
void execGettext(Interpreter& in) {
    ExecState& ex = in.exec;
    const HandleOperand op = textControlOperand(in);
    if (!op.isName) return;
    Variable* v = currentClass(in) == CLS_NAME ? variableAt(in, ex.pc) : nullptr;
    if (!v || v->type != TYPE_STR) {
        in.diagnostic("Invalid string! : " + currentText(in), "Type Error!", lineAt(in, ex.pc));
        return;
    }
    v->str = in.platform.editText(ex.currentTextControl);
}

// SETFOCUS h shows the input box h and gives it the keyboard focus;
// SETFOCUS with a number hides the newest input box.
void execSetfocus(Interpreter& in) {
    ExecState& ex = in.exec;
    const HandleOperand op = handleOperand(in);
    if (op.pointer) {
        ex.currentTextControl = op.pointer->ptr;
        in.platform.showEdit(ex.currentTextControl, true);
        in.platform.focusEdit(ex.currentTextControl);
    } else if (currentClass(in) == CLS_NUM) {
        in.platform.showEdit(ex.lastInputBox, false);
    }
}

// MODE n: 1 makes painting the window show the back buffer.
void execMode(Interpreter& in) {
    fetch(in);
    if (currentClass(in) == CLS_NUM) in.exec.displayMode = toInt32(literalValue(in, in.exec.pc));
}

}  // namespace tessel::exec
