// The token walker's statement loop and handlers. Every handler is entered
// with the program counter on the statement's first token and leaves it on
// the last token it consumed; the loop's next fetch moves past it. Tokens
// that start no statement service the window's message queue.
#include <algorithm>
#include <array>
#include <string>

#include "checker/checker.h"
#include "expr/ops.h"
#include "gfx/draw.h"
#include "gfx/gfx_state.h"
#include "oracle/walk.h"
#include "platform/window_core.h"

namespace tessel::oracle {

namespace {

class Statements {
   public:
    explicit Statements(Walk& k) : k(k), vm(k.vm), w(k.w) {}

    // Runs statements until the run ends. The run ends when the program
    // counter reaches the last token (it keeps that value) or at a WINMSG
    // or ENDWM token (it becomes 0).
    void loop() {
        while (w.pc < vm.tokens.count) {
            keepAlive();
            k.fetch();
            if (!dispatch(k.clsAt(w.pc))) return;
        }
    }

   private:
    // --- the loop ---------------------------------------------------------

    void keepAlive() {
        ExecState& ex = vm.exec;
        if (++ex.keepAliveCount >= kKeepAliveInterval) {
            ex.keepAliveCount = 0;
            if (ex.workBudget != 0 && --ex.workBudget == 0) throw ProgramExit{0};
            vm.platform.keepAlive();
        }
    }

    void serviceMessage() {
        if (!vm.platform.mayHaveMessage()) return;
        Message msg;
        if (vm.platform.peekMessage(msg)) vm.platform.dispatchMessage(msg);
    }

    bool dispatch(int32_t cls) {
        switch (cls) {
            case KW_VAR: case KW_STR: case KW_PTR: declaration(); break;
            case CLS_NAME: nameStatement(); break;
            case KW_FUNC: func(); break;
            case KW_ENDFN: endfn(); break;
            case KW_WINMSG:
            case KW_ENDWM: w.pc = 0; return false;
            case KW_MODE: mode(); break;
            case KW_MOUSEX: readMouse(vm.exec.mouseX); break;
            case KW_MOUSEY: readMouse(vm.exec.mouseY); break;
            case KW_HWPARAM: eventValue(vm.exec.wordParam); break;
            case KW_HLPARAM: eventValue(vm.exec.longParam); break;
            case KW_GETTICK: gettick(); break;
            case KW_TIMERON: timeron(); break;
            case KW_TIMEROFF: vm.platform.killTimer(kTimerId); break;
            case KW_PRINT: print(); break;
            case KW_PSET: { auto [x, y] = twoArgs(); pset(vm.gfx, x, y); break; }
            case KW_PLOT: { auto [x, y] = twoArgs(); plot(vm.gfx, x, y); break; }
            case KW_DRAW: { auto [x, y] = twoArgs(); drawTo(vm.gfx, x, y); break; }
            case KW_SWAP: swap(); break;
            case KW_IF: ifStatement(); break;
            case KW_ELSE: jumpToScan(scanBlockEnd(w.pc, false), 0); break;
            case KW_WHILE: whileStatement(); break;
            case KW_WEND:
                wend();
                keepAlive();
                ++w.pc;
                whileStatement();
                break;
            case KW_GOTO: gotoStatement(); break;
            case KW_WCOLOR: clearTo(vm.gfx, colourArgs(vm.exec.slots.wcolor)); present(); break;
            case KW_FCOLOR: setForeground(vm.gfx, colourArgs(vm.exec.slots.fcolor)); break;
            case KW_BCOLOR: setBackground(vm.gfx, colourArgs(vm.exec.slots.bcolor)); break;
            case KW_LINE: { auto a = fourArgs(); line(vm.gfx, a[0], a[1], a[2], a[3]); break; }
            case KW_RECT: { auto a = fourArgs(); rect(vm.gfx, a[0], a[1], a[2], a[3]); break; }
            case KW_SETFONT: setfont(); break;
            case KW_LOADIMG: loadimg(); break;
            case KW_SHOWIMG: showimg(); break;
            case KW_SHOWIMGT: showimgt(); break;
            case KW_CIRCLE: circleStatement(); break;
            case KW_INPUTBOX: inputbox(); break;
            case KW_GETTEXT: gettext(); break;
            case KW_SETTEXT: settext(); break;
            case KW_SETFOCUS: setfocus(); break;
            default: serviceMessage(); break;
        }
        return true;
    }

    // --- declarations and name statements ---------------------------------

    void declaration() {
        while (w.pc < vm.tokens.count) {
            int32_t c = k.clsAt(w.pc);
            if (c == CLS_COLON || c == CLS_EOL) return;
            ++w.pc;
        }
    }

    void nameStatement() {
        switch (k.clsAt(w.pc + 1)) {
            case CLS_EQ: assignVariable(); break;
            case CLS_LBRK: assignElement(); break;
            case CLS_LPAR: call(); break;
            default: break;  // a name alone, or a label's name: nothing happens
        }
    }

    // Stores a text into a string variable or element, or, past the budget
    // all stored texts share, ends the run with a diagnostic at `token`.
    void storeText(Text& slot, const std::string& value, int32_t token) {
        if (storeString(vm.memory, slot, value)) return;
        k.runError("String memory exhausted! : all texts together may hold " +
                       std::to_string(vm.memory.stringBudget >> 20) + " MB",
                   token);
    }

    void assignVariable() {
        const int32_t statement = w.pc;
        int32_t v = k.varOf(w.pc);
        if (v == 0) return;
        ++w.pc;  // onto the '='
        switch (k.varType(v)) {
            case TYPE_NUM: k.num(v) = k.fetchNumeric(); break;
            case TYPE_STR: storeText(k.str(v), k.fetchString(), statement); break;
            case TYPE_PTR: k.ptr(v) = toInt32(k.fetchNumeric()); break;
            default: break;
        }
    }

    // name[index] = expression; the index is the whole expression up to the
    // closing bracket.
    void assignElement() {
        const int32_t statement = w.pc;
        int32_t a = k.arrOf(w.pc);
        if (a == 0) return;
        w.pc += 2;
        int32_t index = toInt32(k.numericExpression());
        if (k.clsAt(w.pc) != CLS_RBRK || k.clsAt(w.pc + 1) != CLS_EQ) return;
        ++w.pc;
        switch (k.arrType(a)) {
            case TYPE_NUM: { float v = k.fetchNumeric(); k.storeNum(a, index, v); break; }
            case TYPE_PTR: { int32_t v = toInt32(k.fetchNumeric()); k.storePtr(a, index, v); break; }
            case TYPE_STR: {
                std::string v = k.fetchString();
                if (Text* slot = k.strSlot(a, index)) storeText(*slot, v, statement);
                break;
            }
            default: break;
        }
    }

    // --- control flow -----------------------------------------------------

    static constexpr int32_t kScanEnd = -1;

    // To the ENDIF that closes the block open at `from` (or, with
    // `stopAtElse`, to its ELSE if one comes first), passing over nested
    // IF ... ENDIF blocks.
    int32_t scanBlockEnd(int32_t from, bool stopAtElse) const {
        int32_t depth = 0;
        for (int32_t j = from + 1; j <= vm.tokens.count; ++j) {
            int32_t c = k.clsAt(j);
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

    int32_t scanWhileEnd(int32_t from) const {
        int32_t nesting = 1;
        for (int32_t j = from + 1; j <= vm.tokens.count; ++j) {
            int32_t c = k.clsAt(j);
            if (c == KW_WHILE) ++nesting;
            if (c == KW_WEND && --nesting == 0) return j;
        }
        return kScanEnd;
    }

    int32_t scanFuncEnd(int32_t from) const {
        for (int32_t j = from + 1; j <= vm.tokens.count; ++j)
            if (k.clsAt(j) == KW_ENDFN) return j;
        return kScanEnd;
    }

    // A scan that found nothing ends the run.
    void jumpToScan(int32_t stop, int32_t past) { w.pc = stop == kScanEnd ? vm.tokens.count : stop + past; }

    void ifStatement() {
        k.fetch();
        const int32_t first = w.pc;
        if (k.clsAt(first) == CLS_NAME &&
            (k.varOf(first) != 0 || (k.arrOf(first) != 0 && k.clsAt(first + 1) == CLS_LBRK)))
            w.condFlag = k.condition();
        if (w.condFlag == 0) jumpToScan(scanBlockEnd(w.pc, true), 0);
    }

    void whileStatement() {
        const int32_t at = w.pc;
        k.fetch();
        w.loopCondFlag = k.condition();
        if (w.loopStack.size() > static_cast<size_t>(kStackCapacity))
            k.runError("Too many nested WHILE loops! : WHILE", at);
        w.loopStack.push_back(at);
        if (w.loopCondFlag == 0) {
            w.loopStack.pop_back();
            jumpToScan(scanWhileEnd(w.pc), 1);
        }
    }

    void wend() {
        if (w.loopStack.size() <= 1) k.runError("WEND without a running WHILE! : WEND", w.pc);
        w.pc = w.loopStack.back() - 1;
        w.loopStack.pop_back();
    }

    void gotoStatement() {
        k.fetch();
        int32_t target = vm.symbols.gotoAt(w.pc);
        if (target > 0) w.pc = target;
    }

    void call() {
        int32_t target = vm.symbols.callAt(w.pc);
        if (target <= 0) return;
        if (w.callStack.size() > static_cast<size_t>(kStackCapacity))
            k.runError("Too many nested function calls! : " + k.text(), w.pc);
        w.callStack.push_back(w.pc);
        w.pc = target + 2;  // the header's ')'
    }

    void func() {
        if (w.callStack.size() > 1) return;
        jumpToScan(scanFuncEnd(w.pc), 1);
    }

    void endfn() {
        if (w.callStack.size() <= 1) k.runError("ENDFN without a running call! : ENDFN", w.pc);
        w.pc = w.callStack.back();
        w.callStack.pop_back();
    }

    // --- arguments --------------------------------------------------------

    int32_t exprArg() { return toInt32(k.fetchNumeric()); }
    std::array<int32_t, 2> twoArgs() {
        int32_t x = exprArg();
        int32_t y = exprArg();
        return {x, y};
    }
    std::array<int32_t, 4> fourArgs() {
        std::array<int32_t, 4> a{};
        for (int32_t& v : a) v = exprArg();
        return a;
    }

    // A single-token argument: a number literal or a number variable sets
    // the slot; any other token leaves it as it was.
    void tokenArg(int32_t& slot) {
        const int32_t t = w.pc;
        if (k.clsAt(t) == CLS_NUM) {
            slot = toInt32(k.at(t).num);
        } else if (k.clsAt(t) == CLS_NAME) {
            int32_t v = k.varOf(t);
            if (v != 0 && k.varType(v) == TYPE_NUM) slot = toInt32(k.num(v));
        }
    }
    void nextTokenArg(int32_t& slot) {
        ++w.pc;
        k.fetch();
        tokenArg(slot);
    }
    uint32_t colourArgs(std::array<int32_t, 3>& rgb) {
        k.fetch();
        tokenArg(rgb[0]);
        nextTokenArg(rgb[1]);
        nextTokenArg(rgb[2]);
        return colourValue(rgb[0], rgb[1], rgb[2]);
    }

    // The pointer variable named by the current token, or 0.
    int32_t pointerVariable() {
        int32_t v = k.varOf(w.pc);
        return v != 0 && k.varType(v) == TYPE_PTR ? v : 0;
    }

    // --- drawing ------------------------------------------------------------

    void present() {
        if (!vm.exec.windowClosed) vm.platform.present(vm.gfx.view(), takeChangedRows(vm.gfx));
    }

    bool printItem(std::string& out) {
        const int32_t t = w.pc;
        const int32_t cls = k.clsAt(t);
        if (k.clsAt(t + 1) == CLS_LBRK) {
            int32_t a = cls == CLS_NAME ? k.arrOf(t) : 0;
            if (a == 0) return false;
            if (k.arrType(a) == TYPE_STR) out = k.stringFactor();
            else out = numberToText(k.numericFactor());
            return true;
        }
        switch (cls) {
            case CLS_NUM: out = numberToText(k.at(t).num); return true;
            case CLS_QSTR: out = k.text(); return true;
            case CLS_LPAR: out = numberToText(k.numericExpression()); return true;
            case CLS_NAME: break;
            default: return false;
        }
        int32_t v = k.varOf(t);
        switch (k.varType(v)) {
            case TYPE_NUM: out = numberToText(k.num(v)); return true;
            case TYPE_PTR: out = numberToText(static_cast<float>(k.ptr(v))); return true;
            case TYPE_STR: out = k.str(v).str(); return true;
            default: return false;
        }
    }

    void print() {
        const int32_t x = exprArg();
        const int32_t y = exprArg();
        k.fetch();
        std::string& text = vm.exec.printText;
        printItem(text);
        drawText(vm.gfx, x, y, text);
        vm.log.printed(x, y, text);
    }

    void circleStatement() {
        const int32_t x = exprArg();
        const int32_t y = exprArg();
        const int32_t r = exprArg();
        circle(vm.gfx, x, y, r);
    }

    void setfont() {
        const int32_t height = exprArg();
        const int32_t width = exprArg();
        const int32_t weight = exprArg();
        const std::string face = k.fetchString();
        setFont(vm.gfx, height, width, weight, face);
    }

    void swap() {
        present();
        if (vm.exec.lastInputBox != 0) vm.platform.redrawEdit(vm.exec.lastInputBox);
    }

    void loadimg() {
        std::array<int32_t, 4>& args = vm.exec.slots.loadimg;
        const int32_t at = w.pc;
        k.fetch();
        const int32_t handle = pointerVariable();
        ++w.pc;
        k.fetch();
        std::string path;
        if (k.clsAt(w.pc) == CLS_QSTR) {
            path = k.text();
        } else if (int32_t v = k.varOf(w.pc); v != 0 && k.varType(v) == TYPE_STR) {
            path = k.str(v).str();
        }
        for (int32_t& slot : args) nextTokenArg(slot);
        const int32_t image = loadImage(vm.gfx, path, args[0], args[1], args[2], args[3]);
        if (image == kImageMemoryExhausted) {
            k.runError("Image memory exhausted! : " + path, at);
        }
        if (handle != 0) k.ptr(handle) = image;
    }

    int32_t imageToShow() {
        if (int32_t v = pointerVariable()) vm.gfx.shownImage = k.ptr(v);
        return vm.gfx.shownImage;
    }

    void showimg() {
        std::array<int32_t, 4>& args = vm.exec.slots.showimg;
        k.fetch();
        const int32_t image = imageToShow();
        for (int32_t& slot : args) nextTokenArg(slot);
        showImage(vm.gfx, image, args[0], args[1], args[2], args[3]);
    }

    void showimgt() {
        k.fetch();
        const int32_t image = imageToShow();
        ++w.pc;
        auto a = fourArgs();
        showImage(vm.gfx, image, a[0], a[1], a[2], a[3]);
    }

    // --- events -------------------------------------------------------------

    void readMouse(int32_t& coordinate) {
        k.fetch();
        if (k.clsAt(w.pc) != CLS_NAME) return;
        int32_t v = k.varOf(w.pc);
        if (v != 0 && k.varType(v) == TYPE_NUM) k.num(v) = static_cast<float>(coordinate);
        coordinate = 0;
    }

    void eventValue(int32_t& value) {
        k.fetch();
        if (k.clsAt(w.pc) != CLS_NAME) return;
        int32_t v = k.varOf(w.pc);
        if (k.varType(v) == TYPE_NUM) k.num(v) = static_cast<float>(value);
        if (k.varType(v) == TYPE_PTR) k.ptr(v) = value;
        value = 0;
    }

    void gettick() {
        k.fetch();
        if (k.clsAt(w.pc) != CLS_NAME) return;
        int32_t v = k.varOf(w.pc);
        if (v != 0 && k.varType(v) == TYPE_NUM)
            k.num(v) = static_cast<float>(static_cast<int32_t>(vm.platform.tickCount()));
    }

    void timeron() {
        ExecState& ex = vm.exec;
        k.fetch();
        const int32_t t = w.pc;
        if (k.clsAt(t) == CLS_NUM) {
            ex.timerInterval = toInt32(k.at(t).num);
        } else if (int32_t v = k.varOf(t); v != 0 && k.varType(v) == TYPE_NUM && k.clsAt(t) == CLS_NAME) {
            ex.timerInterval = toInt32(k.num(v));
        }
        vm.platform.setTimer(kTimerId, static_cast<uint32_t>(std::max(ex.timerInterval, 0)));
    }

    // --- input boxes --------------------------------------------------------

    struct HandleOperand {
        bool isName = false;  // the token is a name (of any kind)
        int32_t pointer = 0;  // the pointer variable it names, if it does
    };

    HandleOperand handleOperand() {
        k.fetch();
        HandleOperand op;
        if (k.clsAt(w.pc) != CLS_NAME) return op;
        op.isName = true;
        int32_t v = k.varOf(w.pc);
        if (v != 0 && k.varType(v) == TYPE_PTR) op.pointer = v;
        else vm.diagnostic("Hendler Error!", "Hendler unknown! : " + k.text(), AtToken{w.pc});
        return op;
    }

    HandleOperand textControlOperand() {
        const HandleOperand op = handleOperand();
        if (op.pointer) vm.exec.currentTextControl = k.ptr(op.pointer);
        ++w.pc;
        k.fetch();
        return op;
    }

    void inputbox() {
        ExecState& ex = vm.exec;
        const HandleOperand op = handleOperand();
        const int32_t at = w.pc;
        ++w.pc;
        auto a = fourArgs();
        const std::string text = k.fetchString();
        const int32_t handle = vm.platform.createEdit(a[0], a[1], a[2], a[3], text);
        ex.lastInputBox = handle;
        if (handle <= 0) vm.diagnostic("InputBox Error!", "InputBox Not Created!", AtToken{at});
        else if (op.pointer) k.ptr(op.pointer) = handle;
    }

    void settext() {
        textControlOperand();
        const int32_t t = w.pc;
        const int32_t cls = k.clsAt(t);
        if (cls == CLS_NAME) {
            int32_t v = k.varOf(t);
            if (v == 0 || k.varType(v) != TYPE_STR) {
                vm.diagnostic("Type Error!", "Invalid Variable Type! : " + k.text(), AtToken{t});
                return;
            }
        } else if (cls != CLS_QSTR) {
            return;
        }
        const std::string text = k.stringExpression();
        vm.platform.setEditText(vm.exec.currentTextControl, text);
    }

    void gettext() {
        const HandleOperand op = textControlOperand();
        if (!op.isName) return;
        int32_t v = k.clsAt(w.pc) == CLS_NAME ? k.varOf(w.pc) : 0;
        if (v == 0 || k.varType(v) != TYPE_STR) {
            vm.diagnostic("Type Error!", "Invalid string! : " + k.text(), AtToken{w.pc});
            return;
        }
        storeText(k.str(v), vm.platform.editText(vm.exec.currentTextControl), w.pc);
    }

    void setfocus() {
        ExecState& ex = vm.exec;
        const HandleOperand op = handleOperand();
        if (op.pointer) {
            ex.currentTextControl = k.ptr(op.pointer);
            vm.platform.showEdit(ex.currentTextControl, true);
            vm.platform.focusEdit(ex.currentTextControl);
        } else if (k.clsAt(w.pc) == CLS_NUM) {
            vm.platform.showEdit(ex.lastInputBox, false);
        }
    }

    void mode() {
        k.fetch();
        if (k.clsAt(w.pc) == CLS_NUM) vm.exec.displayMode = toInt32(k.at(w.pc).num);
    }

    Walk& k;
    Vm& vm;
    Walker& w;
};

}  // namespace

// --- the walk's memory and diagnostics ---------------------------------------

int32_t Walk::varOf(int32_t token) const {
    int32_t v = vm.symbols.varAt(token);
    return v > 0 && v <= vm.symbols.varCount() ? v : 0;
}

int32_t Walk::arrOf(int32_t token) const {
    int32_t a = vm.symbols.arrayAt(token);
    return a > 0 && a <= vm.symbols.arrayCount() ? a : 0;
}

float& Walk::num(int32_t v) { return vm.memory.num[static_cast<size_t>(v)]; }
int32_t& Walk::ptr(int32_t v) { return vm.memory.ptr[static_cast<size_t>(v)]; }
Text& Walk::str(int32_t v) { return vm.memory.str[static_cast<size_t>(v)]; }

namespace {

// The elements of array `a` of one type: null outside the arrays.
template <class T>
std::vector<T>* elements(Vm& vm, int32_t a, std::vector<T> ArrayElements::*field) {
    if (a <= 0 || static_cast<size_t>(a) >= vm.memory.arrays.size()) return nullptr;
    return &(vm.memory.arrays[static_cast<size_t>(a)].*field);
}

template <class T>
bool inside(const std::vector<T>* v, int32_t i) {
    return v && i >= 0 && static_cast<size_t>(i) < v->size();
}

}  // namespace

float Walk::numElem(int32_t a, int32_t i) {
    auto* v = elements(vm, a, &ArrayElements::nums);
    return inside(v, i) ? (*v)[static_cast<size_t>(i)] : 0.0f;
}
int32_t Walk::ptrElem(int32_t a, int32_t i) {
    auto* v = elements(vm, a, &ArrayElements::ptrs);
    return inside(v, i) ? (*v)[static_cast<size_t>(i)] : 0;
}
const Text& Walk::strElem(int32_t a, int32_t i) {
    static const Text kEmpty;
    auto* v = elements(vm, a, &ArrayElements::strs);
    return inside(v, i) ? (*v)[static_cast<size_t>(i)] : kEmpty;
}
void Walk::storeNum(int32_t a, int32_t i, float value) {
    if (auto* v = elements(vm, a, &ArrayElements::nums); inside(v, i)) (*v)[static_cast<size_t>(i)] = value;
}
void Walk::storePtr(int32_t a, int32_t i, int32_t value) {
    if (auto* v = elements(vm, a, &ArrayElements::ptrs); inside(v, i)) (*v)[static_cast<size_t>(i)] = value;
}
Text* Walk::strSlot(int32_t a, int32_t i) {
    auto* v = elements(vm, a, &ArrayElements::strs);
    return inside(v, i) ? &(*v)[static_cast<size_t>(i)] : nullptr;
}

int32_t Walk::lineAt(int32_t token) const { return vm.tokens.lineAt(token); }

void Walk::abort(std::string_view caption, std::string_view text, AtToken at) {
    abortRun(vm, caption, text, at);
}

void Walk::runError(std::string_view text, int32_t token) {
    int32_t line = lineAt(token);
    std::string body(text);
    body += " -Line: " + std::to_string(line);
    abort("Run Error!", body, AtToken{token});
}

// --- the engine ---------------------------------------------------------------

void Walker::prepare(Vm& vm) {
    if (vm.symbols.binding.size() < static_cast<size_t>(vm.tokens.count) + 2)
        sizeTokenTables(vm.symbols, vm.tokens.count);
    allocateMemory(vm.memory, vm.symbols);
    classifyTokens(vm, *this);
    pc = 0;
    depth = 0;
}

void Walker::statements(Vm& vm) {
    // An abort leaves the expression it came from with its nesting counted;
    // the next run that is not nested in another starts from none.
    if (vm.exec.runDepth == 1) depth = 0;
    Walk k(vm, *this);
    Statements(k).loop();
}

void Walker::runMain(Vm& vm) {
    pc = 0;
    statements(vm);
}

void Walker::runBlock(Vm& vm, EventSlot which, bool interrupting) {
    const int32_t resumeAt = pc;
    pc = vm.symbols.slots[which];
    statements(vm);
    if (interrupting) pc = resumeAt;
}

}  // namespace tessel::oracle
