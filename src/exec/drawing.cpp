// PRINT, the drawing statements, colours, font, SWAP and images. This file
// only reads the statements' arguments; gfx/ draws.
#include "exec/handlers.h"
#include "expr/expr.h"
#include "gfx/draw.h"
#include "platform/window_core.h"

namespace tessel::exec {

namespace {

// An expression argument: fetch-and-evaluate, rounded to an integer.
int32_t exprArg(Vm& vm) { return toInt32(fetchNumeric(vm)); }

// A single-token argument at the current token: a number literal or a
// number variable sets the slot; any other token leaves it as it was.
void tokenArg(Vm& vm, int32_t& slot) {
    const int32_t t = vm.exec.pc;
    switch (vm.tokens.classAt(t)) {
        case CLS_NUM: slot = toInt32(literalValue(vm, t)); break;
        case CLS_NAME:
            if (VarRef v = variableAt(vm, t); v && v.type == TYPE_NUM) slot = toInt32(v->num);
            break;
        default: break;
    }
}

// The first single-token argument is the token after the keyword; each
// further one is the token after the next separator.
void firstTokenArg(Vm& vm, int32_t& slot) {
    fetch(vm);
    tokenArg(vm, slot);
}
void nextTokenArg(Vm& vm, int32_t& slot) {
    ++vm.exec.pc;
    fetch(vm);
    tokenArg(vm, slot);
}

// Red, green and blue single-token arguments as one colour value.
uint32_t colourArgs(Vm& vm, std::array<int32_t, 3>& rgb) {
    firstTokenArg(vm, rgb[0]);
    nextTokenArg(vm, rgb[1]);
    nextTokenArg(vm, rgb[2]);
    return colourValue(rgb[0], rgb[1], rgb[2]);
}

// The pointer variable named by the current token, or null.
VarRef pointerVariable(Vm& vm) {
    VarRef v = variableAt(vm, vm.exec.pc);
    return v && v.type == TYPE_PTR ? v : VarRef{};
}

// The text of PRINT's item, which starts at the current token. False when
// the item has none of the printable forms.
bool printItem(Vm& vm, std::string& out) {
    const int32_t t = vm.exec.pc;
    const int32_t cls = vm.tokens.classAt(t);
    if (classAt(vm, t + 1) == CLS_LBRK) {
        ArrayRef a = cls == CLS_NAME ? arrayAt(vm, t) : ArrayRef{};
        if (!a) return false;
        if (a.type == TYPE_STR) {
            out = stringFactor(vm);
        } else {
            out = numberToText(numericFactor(vm));
        }
        return true;
    }
    switch (cls) {
        case CLS_NUM: out = numberToText(literalValue(vm, t)); return true;
        case CLS_QSTR: out = vm.tokens.textAt(t); return true;
        case CLS_LPAR: out = numberToText(numericExpression(vm)); return true;
        case CLS_NAME: break;
        default: return false;
    }
    VarRef v = variableAt(vm, t);
    if (!v) return false;
    switch (v.type) {
        case TYPE_NUM: out = numberToText(v->num); return true;
        case TYPE_PTR: out = numberToText(static_cast<float>(v->ptr)); return true;
        case TYPE_STR: out = v->str; return true;
        default: return false;
    }
}

void presentBackBuffer(Vm& vm) {
    if (!vm.exec.windowClosed) vm.platform.present(vm.gfx.view());
}

}  // namespace

// PRINT x, y, item: draws the item's text at (x, y). An item of no known
// form draws the text of the previous PRINT again.
void execPrint(Vm& vm) {
    ExecState& ex = vm.exec;
    const int32_t x = exprArg(vm);
    const int32_t y = exprArg(vm);
    fetch(vm);
    printItem(vm, ex.printText);
    drawText(vm.gfx, x, y, ex.printText);
    vm.log.printed(x, y, ex.printText);
}

void execPset(Vm& vm) {
    const int32_t x = exprArg(vm);
    const int32_t y = exprArg(vm);
    pset(vm.gfx, x, y);
}

void execPlot(Vm& vm) {
    const int32_t x = exprArg(vm);
    const int32_t y = exprArg(vm);
    plot(vm.gfx, x, y);
}

void execDraw(Vm& vm) {
    const int32_t x = exprArg(vm);
    const int32_t y = exprArg(vm);
    drawTo(vm.gfx, x, y);
}

void execLine(Vm& vm) {
    const int32_t x1 = exprArg(vm);
    const int32_t y1 = exprArg(vm);
    const int32_t x2 = exprArg(vm);
    const int32_t y2 = exprArg(vm);
    line(vm.gfx, x1, y1, x2, y2);
}

void execRect(Vm& vm) {
    const int32_t x = exprArg(vm);
    const int32_t y = exprArg(vm);
    const int32_t w = exprArg(vm);
    const int32_t h = exprArg(vm);
    rect(vm.gfx, x, y, w, h);
}

void execCircle(Vm& vm) {
    const int32_t x = exprArg(vm);
    const int32_t y = exprArg(vm);
    const int32_t r = exprArg(vm);
    circle(vm.gfx, x, y, r);
}

// WCOLOR r, g, b: fills the back buffer and shows it.
void execWcolor(Vm& vm) {
    clearTo(vm.gfx, colourArgs(vm, vm.exec.slots.wcolor));
    presentBackBuffer(vm);
}

void execFcolor(Vm& vm) { setForeground(vm.gfx, colourArgs(vm, vm.exec.slots.fcolor)); }

void execBcolor(Vm& vm) { setBackground(vm.gfx, colourArgs(vm, vm.exec.slots.bcolor)); }

void execSetfont(Vm& vm) {
    const int32_t height = exprArg(vm);
    const int32_t width = exprArg(vm);
    const int32_t weight = exprArg(vm);
    const std::string face = fetchString(vm);
    setFont(vm.gfx, height, width, weight, face);
}

// SWAP: shows the back buffer, then redraws the newest input box over it.
void execSwap(Vm& vm) {
    presentBackBuffer(vm);
    if (vm.exec.lastInputBox != 0) vm.platform.redrawEdit(vm.exec.lastInputBox);
}

// LOADIMG h, file, type, width, height, flags: every load makes an image of
// its own; h receives its handle (0 when the file cannot be loaded).
void execLoadimg(Vm& vm) {
    std::array<int32_t, 4>& args = vm.exec.slots.loadimg;
    const int32_t at = vm.exec.pc;
    fetch(vm);
    VarRef handle = pointerVariable(vm);
    ++vm.exec.pc;
    fetch(vm);
    std::string path;
    if (currentClass(vm) == CLS_QSTR) {
        path = currentText(vm);
    } else if (VarRef v = variableAt(vm, vm.exec.pc); v && v.type == TYPE_STR) {
        path = v->str;
    }
    for (int32_t& slot : args) nextTokenArg(vm, slot);
    const int32_t image = loadImage(vm.gfx, path, args[0], args[1], args[2], args[3]);
    if (image == kImageMemoryExhausted) {
        vm.gfx.imageBudgetExceeded = false;
        runError(vm, "Image memory exhausted! : " + path, at);
    }
    if (handle) handle->ptr = image;
}

// The image SHOWIMG and SHOWIMGT draw: the one whose handle the pointer
// variable at the current token holds now, which becomes the shown image;
// without a pointer variable, the image shown last is drawn again.
static int32_t imageToShow(Vm& vm) {
    if (VarRef handle = pointerVariable(vm)) vm.gfx.shownImage = handle->ptr;
    return vm.gfx.shownImage;
}

// SHOWIMG h, x, y, w, h with single-token arguments.
void execShowimg(Vm& vm) {
    std::array<int32_t, 4>& args = vm.exec.slots.showimg;
    fetch(vm);
    const int32_t image = imageToShow(vm);
    for (int32_t& slot : args) nextTokenArg(vm, slot);
    showImage(vm.gfx, image, args[0], args[1], args[2], args[3]);
}

// SHOWIMGT h, x, y, w, h with expression arguments.
void execShowimgt(Vm& vm) {
    fetch(vm);
    const int32_t image = imageToShow(vm);
    ++vm.exec.pc;
    const int32_t x = exprArg(vm);
    const int32_t y = exprArg(vm);
    const int32_t w = exprArg(vm);
    const int32_t h = exprArg(vm);
    showImage(vm.gfx, image, x, y, w, h);
}

}  // namespace tessel::exec
