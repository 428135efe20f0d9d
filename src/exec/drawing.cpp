// PRINT, the drawing statements, colours, font, SWAP and images. This file
// only reads the statements' arguments; gfx/ draws.
#include "exec/handlers.h"
#include "expr/expr.h"
#include "gfx/draw.h"

namespace tessel::exec {

namespace {

// An expression argument: fetch-and-evaluate, rounded to an integer.
int32_t exprArg(Interpreter& in) { return toInt32(fetchNumeric(in)); }

// A single-token argument at the current token: a number literal or a
// number variable sets the slot; any other token leaves it as it was.
void tokenArg(Interpreter& in, int32_t& slot) {
    const int32_t t = in.exec.pc;
    switch (in.tokens.classAt(t)) {
        case CLS_NUM: slot = toInt32(literalValue(in, t)); break;
        case CLS_NAME:
            if (Variable* v = variableAt(in, t); v && v->type == TYPE_NUM) slot = toInt32(v->num);
            break;
        default: break;
    }
}

// The first single-token argument is the token after the keyword; each
// further one is the token after the next separator.
void firstTokenArg(Interpreter& in, int32_t& slot) {
    fetch(in);
    tokenArg(in, slot);
}
void nextTokenArg(Interpreter& in, int32_t& slot) {
    ++in.exec.pc;
    fetch(in);
    tokenArg(in, slot);
}

// Red, green and blue single-token arguments as one colour value.
uint32_t colourArgs(Interpreter& in, std::array<int32_t, 3>& rgb) {
    firstTokenArg(in, rgb[0]);
    nextTokenArg(in, rgb[1]);
    nextTokenArg(in, rgb[2]);
    return colorValue(rgb[0], rgb[1], rgb[2]);
}

// The pointer variable named by the current token, or null.
Variable* pointerVariable(Interpreter& in) {
    Variable* v = variableAt(in, in.exec.pc);
    return v && v->type == TYPE_PTR ? v : nullptr;
}

// The text of PRINT's item, which starts at the current token. False when
// the item has none of the printable forms.
bool printItem(Interpreter& in, std::string& out) {
    const int32_t t = in.exec.pc;
    const int32_t cls = in.tokens.classAt(t);
    if (classAt(in, t + 1) == CLS_LBRK) {
        ArrayInfo* a = cls == CLS_NAME ? arrayAt(in, t) : nullptr;
        if (!a) return false;
        if (a->type == TYPE_STR) {
            out = stringFactor(in);
        } else {
            out = numberToText(numericFactor(in));
        }
        return true;
    }
    switch (cls) {
        case CLS_NUM: out = numberToText(literalValue(in, t)); return true;
        case CLS_QSTR: out = in.tokens.textAt(t); return true;
        case CLS_LPAR: out = numberToText(numericExpression(in)); return true;
        case CLS_NAME: break;
        default: return false;
    }
    Variable* v = variableAt(in, t);
    if (!v) return false;
    switch (v->type) {
        case TYPE_NUM: out = numberToText(v->num); return true;
        case TYPE_PTR: out = numberToText(static_cast<float>(v->ptr)); return true;
        case TYPE_STR: out = v->str; return true;
        default: return false;
    }
}

void presentBackBuffer(Interpreter& in) {
    if (!in.exec.windowClosed) in.platform.present(in.gfx.view());
}

}  // namespace

// PRINT x, y, item: draws the item's text at (x, y). An item of no known
// form draws the text of the previous PRINT again.
void execPrint(Interpreter& in) {
    ExecState& ex = in.exec;
    const int32_t x = exprArg(in);
    const int32_t y = exprArg(in);
    fetch(in);
    printItem(in, ex.printText);
    drawText(in.gfx, x, y, ex.printText);
    in.logPrint(x, y, ex.printText);
}

void execPset(Interpreter& in) {
    const int32_t x = exprArg(in);
    const int32_t y = exprArg(in);
    pset(in.gfx, x, y);
}

void execPlot(Interpreter& in) {
    const int32_t x = exprArg(in);
    const int32_t y = exprArg(in);
    plot(in.gfx, x, y);
}

void execDraw(Interpreter& in) {
    const int32_t x = exprArg(in);
    const int32_t y = exprArg(in);
    drawTo(in.gfx, x, y);
}

void execLine(Interpreter& in) {
    const int32_t x1 = exprArg(in);
    const int32_t y1 = exprArg(in);
    const int32_t x2 = exprArg(in);
    const int32_t y2 = exprArg(in);
    line(in.gfx, x1, y1, x2, y2);
}

void execRect(Interpreter& in) {
    const int32_t x = exprArg(in);
    const int32_t y = exprArg(in);
    const int32_t w = exprArg(in);
    const int32_t h = exprArg(in);
    rect(in.gfx, x, y, w, h);
}

void execCircle(Interpreter& in) {
    const int32_t x = exprArg(in);
    const int32_t y = exprArg(in);
    const int32_t r = exprArg(in);
    circle(in.gfx, x, y, r);
}

// WCOLOR r, g, b: fills the back buffer and shows it.
void execWcolor(Interpreter& in) {
    clearTo(in.gfx, colourArgs(in, in.exec.slots.wcolor));
    presentBackBuffer(in);
}

void execFcolor(Interpreter& in) { setForeground(in.gfx, colourArgs(in, in.exec.slots.fcolor)); }

void execBcolor(Interpreter& in) { setBackground(in.gfx, colourArgs(in, in.exec.slots.bcolor)); }

void execSetfont(Interpreter& in) {
    const int32_t height = exprArg(in);
    const int32_t width = exprArg(in);
    const int32_t weight = exprArg(in);
    const std::string face = fetchString(in);
    setFont(in.gfx, height, width, weight, face);
}

// SWAP: shows the back buffer, then redraws the newest input box over it.
void execSwap(Interpreter& in) {
    presentBackBuffer(in);
    if (in.exec.lastInputBox != 0) in.platform.redrawEdit(in.exec.lastInputBox);
}

// LOADIMG h, file, type, width, height, flags: every load makes an image of
// its own; h receives its handle (0 when the file cannot be loaded).
void execLoadimg(Interpreter& in) {
    std::array<int32_t, 4>& args = in.exec.slots.loadimg;
    fetch(in);
    Variable* handle = pointerVariable(in);
    ++in.exec.pc;
    fetch(in);
    std::string path;
    if (currentClass(in) == CLS_QSTR) {
        path = currentText(in);
    } else if (Variable* v = variableAt(in, in.exec.pc); v && v->type == TYPE_STR) {
        path = v->str;
    }
    for (int32_t& slot : args) nextTokenArg(in, slot);
    const int32_t image = loadImage(in.gfx, path, args[0], args[1], args[2], args[3]);
    if (handle) handle->ptr = image;
}

// SHOWIMG h, x, y, w, h with single-token arguments: draws the image whose
// handle h holds now.
void execShowimg(Interpreter& in) {
    std::array<int32_t, 4>& args = in.exec.slots.showimg;
    fetch(in);
    Variable* handle = pointerVariable(in);
    for (int32_t& slot : args) nextTokenArg(in, slot);
    showImage(in.gfx, handle ? handle->ptr : 0, args[0], args[1], args[2], args[3]);
}

// SHOWIMGT h, x, y, w, h with expression arguments.
void execShowimgt(Interpreter& in) {
    fetch(in);
    Variable* handle = pointerVariable(in);
    const int32_t image = handle ? handle->ptr : 0;
    ++in.exec.pc;
    const int32_t x = exprArg(in);
    const int32_t y = exprArg(in);
    const int32_t w = exprArg(in);
    const int32_t h = exprArg(in);
    showImage(in.gfx, image, x, y, w, h);
}

}  // namespace tessel::exec
