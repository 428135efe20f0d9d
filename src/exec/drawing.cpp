// PRINT, the colours, the font, SWAP and images: the handlers get their
// arguments computed; gfx/ draws.
#include "exec/handlers.h"
#include "gfx/draw.h"
#include "platform/window_core.h"

namespace tessel::exec {

namespace {

void presentBackBuffer(Vm& vm) {
    if (!vm.exec.windowClosed) vm.platform.present(vm.gfx.view(), takeChangedRows(vm.gfx));
}

// The single-token arguments at aux entry `at`: a constant or a number
// variable sets the slot; any other token left it as it was.
template <size_t N>
void readSlots(const Vm& vm, int32_t at, std::array<int32_t, N>& slots) {
    const int32_t* arg = vm.code.aux.data() + at;
    for (size_t i = 0; i < N; ++i, arg += 2) {
        if (arg[0] == SLOT_CONST) slots[i] = arg[1];
        else if (arg[0] == SLOT_NUMVAR) slots[i] = toInt32(vm.memory.num[static_cast<size_t>(arg[1])]);
    }
}

}  // namespace

// PRINT x, y, item: draws the item's text at (x, y). An item of no known
// form draws the text of the previous PRINT again.
void execPrint(Vm& vm, const Instr& in) {
    const int32_t x = toInt32(vm.memory.num[static_cast<size_t>(in.a)]);
    const int32_t y = toInt32(vm.memory.num[static_cast<size_t>(in.b)]);
    std::string& text = vm.exec.printText;
    switch (in.x) {
        case PI_STRING: text.assign(stringOperand(vm, in.c)); break;
        case PI_NUMBER: text = numberToText(vm.memory.num[static_cast<size_t>(in.c)]); break;
        case PI_POINTER: text = numberToText(static_cast<float>(vm.memory.ptr[static_cast<size_t>(in.c)])); break;
        default: break;
    }
    drawText(vm.gfx, x, y, text);
    vm.log.printed(x, y, text);
}

// WCOLOR fills the back buffer and shows it; FCOLOR and BCOLOR set the text
// colours.
void execColour(Vm& vm, const Instr& in) {
    ArgSlots& slots = vm.exec.slots;
    std::array<int32_t, 3>& rgb = in.x == 0 ? slots.wcolor : in.x == 1 ? slots.fcolor : slots.bcolor;
    readSlots(vm, in.a, rgb);
    const uint32_t colour = colourValue(rgb[0], rgb[1], rgb[2]);
    if (in.x == 0) {
        clearTo(vm.gfx, colour);
        presentBackBuffer(vm);
    } else if (in.x == 1) {
        setForeground(vm.gfx, colour);
    } else {
        setBackground(vm.gfx, colour);
    }
}

void execSetfont(Vm& vm, const Instr& in) {
    const float* a = vm.memory.num.data() + in.a;
    setFont(vm.gfx, toInt32(a[0]), toInt32(a[1]), toInt32(a[2]), stringOperand(vm, in.b));
}

// SWAP: shows the back buffer, then redraws the newest input box over it.
void execSwap(Vm& vm) {
    presentBackBuffer(vm);
    if (vm.exec.lastInputBox != 0) vm.platform.redrawEdit(vm.exec.lastInputBox);
}

// LOADIMG h, file, type, width, height, flags: every load makes an image of
// its own; h receives its handle (0 when the file cannot be loaded).
bool execLoadimg(Vm& vm, const Instr& in, int32_t token) {
    const int32_t* aux = vm.code.aux.data() + in.a;
    const int32_t handle = aux[0];
    const std::string path(stringOperand(vm, aux[1]));
    std::array<int32_t, 4>& args = vm.exec.slots.loadimg;
    readSlots(vm, in.a + 2, args);
    const int32_t image = loadImage(vm.gfx, path, args[0], args[1], args[2], args[3]);
    if (image == kImageMemoryExhausted) {
        raiseRunError(vm, "Image memory exhausted! : " + path, token);
        return false;
    }
    if (handle != 0) vm.memory.ptr[static_cast<size_t>(handle)] = image;
    return true;
}

// SHOWIMG h, x, y, w, h with single-token arguments: the image shown last
// (SHOWN has set it from h when h is a pointer variable).
void execShowimg(Vm& vm, const Instr& in) {
    std::array<int32_t, 4>& args = vm.exec.slots.showimg;
    readSlots(vm, in.a, args);
    showImage(vm.gfx, vm.gfx.shownImage, args[0], args[1], args[2], args[3]);
}

}  // namespace tessel::exec
