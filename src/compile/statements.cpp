// The statements: one reader per statement keyword, the declarations, the
// statements that begin with a name, and the tokens that start none. Each
// reader starts on the statement's first token, emits its instructions and
// returns the token it leaves the program counter on (the statement after
// it starts one token on), or kNoNext when the statement never falls
// through (it jumps, returns, ends the run or aborts it).
//
// Which tokens start statements is the keyword list's role column
// (checker/keywords.h): a keyword with role STMT has a reader here named
// after it, role DECL is a declaration, and every other token only
// services the message queue.
#include <array>
#include <optional>
#include <unordered_map>

#include "compile/compiler.h"
#include "compile/reader.h"
#include "compile/scans.h"

namespace tessel {

namespace {

constexpr int32_t kNoNext = -1;

class StatementReader {
   public:
    StatementReader(const TokenStore& tokens, const CheckerState& symbols, Code& code)
        : tokens_(tokens), symbols_(symbols), count_(tokens.count),
          out_(code, tokens.count, symbols), r_(tokens, symbols, out_), scans_(std::in_place, tokens) {}

    void compile() {
        out_.mainEntryAfter(0);
        for (int slot = 0; slot < SLOT_COUNT; ++slot)
            if (symbols_.slots[static_cast<size_t>(slot)] != 0)
                out_.blockEntryAfter(slot, symbols_.slots[static_cast<size_t>(slot)]);
        for (int32_t p = out_.nextQueued(); p != 0; p = out_.nextQueued()) chainFrom(p);
        scans_.reset();  // (its memory, before the jumps are resolved)
        out_.finish();
    }

    // readIF, readPRINT, ...: one reader for each keyword that starts a
    // statement (roles STMT and DECL).
#define X(name, code, counter, role) READER_##role(name)
#define READER_STMT(name) int32_t read##name(int32_t p);
#define READER_DECL(name) int32_t read##name(int32_t p);
#define READER_NUMFN(name)
#define READER_STRFN(name)
#define READER_PASSIVE(name)
    TESSEL_KEYWORDS(X)
#undef READER_STMT
#undef READER_DECL

   private:
    // --- layout ---------------------------------------------------------------

    // Statements from `p` on, each after the one before, until one does not
    // fall through or the next already has code.
    void chainFrom(int32_t p) {
        for (;;) {
            if (p > count_) {
                out_.emit(p - 1, OP_END, p - 1);
                return;
            }
            if (out_.hasCode(p)) {
                out_.jumpTo(out_.emit(p, OP_JMP), 0, p - 1);
                return;
            }
            const int32_t end = statement(p);
            if (end == kNoNext) return;
            p = end + 1;
        }
    }

    using Read = int32_t (StatementReader::*)(int32_t);

    // The reader of each class at a statement's start (null: none).
    static const std::array<Read, 256>& readers() {
        static const std::array<Read, 256> table = [] {
            std::array<Read, 256> t{};
#define READER_STMT(name) t[KW_##name] = &StatementReader::read##name;
#define READER_DECL(name) t[KW_##name] = &StatementReader::read##name;
            TESSEL_KEYWORDS(X)
#undef READER_STMT
#undef READER_DECL
            t[CLS_NAME] = &StatementReader::nameStatement;
            return t;
        }();
        return table;
    }

    int32_t statement(int32_t p) {
        const int32_t c = tokens_.classAt(p);
        const Read read = c >= 0 && c < 256 ? readers()[static_cast<size_t>(c)] : nullptr;
        if (!read) {
            out_.service(p);
            return p;
        }
        out_.beginStatement(p);
        r_.beginStatement();
        r_.pos = p;
        const int32_t end = (this->*read)(p);
        // A statement with nothing to do still counts as one.
        if (out_.size() == 0 || !startedAt(p)) out_.emit(p, OP_NOP);
        return r_.dead ? kNoNext : end;
    }

    bool startedAt(int32_t p) const { return out_.hasCode(p); }

    // Where a scan leaves the program counter (past its stop by `past`);
    // a scan that found nothing ends the run.
    int32_t afterScan(int32_t stop, int32_t past) const { return stop == kScanEnd ? count_ : stop + past; }

    // A jump instruction to the statement after program counter `pc`.
    void jump(int32_t token, int32_t pc) { out_.jumpTo(out_.emit(token, OP_JMP), 0, pc); }

    // --- operands ---------------------------------------------------------------

    // `v` into register `reg`: the instruction that computed it writes
    // there instead of a temporary when it can.
    void store(int32_t reg, Num v) {
        if (!v.isConst && out_.isNumTemp(v.reg) && out_.size() > 0) {
            Instr& last = out_.at(out_.size() - 1);
            if (last.a == v.reg && writesNumber(last.op)) {
                last.a = reg;
                out_.freeNum(v.reg);
                return;
            }
        }
        r_.moveTo(reg, v);
        r_.release(v);
    }

    // The instructions whose operand a is the number register they write.
    static bool writesNumber(uint8_t op) {
        return (op >= OP_MOV && op <= OP_LDELP) || (op >= OP_CMP && op <= OP_OR);
    }

    // fetch-and-evaluate: the next token on starts a numeric expression.
    Num fetchNumeric() {
        r_.fetch();
        return r_.numericExpression();
    }

    // `n` numeric arguments in consecutive registers; returns the first.
    int32_t argumentsInto(int n) {
        int32_t first = out_.numTemp();
        for (int i = 1; i < n; ++i) out_.numTemp();
        for (int i = 0; i < n && !r_.dead; ++i) store(first + i, fetchNumeric());
        return first;
    }

    // A single-token argument at token t, as two aux entries.
    void slotArgument(int32_t t) {
        std::vector<int32_t>& aux = out_.aux();
        if (tokens_.classAt(t) == CLS_NUM) {
            aux.insert(aux.end(), {SLOT_CONST, toInt32(r_.digitValue(t))});
        } else if (tokens_.classAt(t) == CLS_NAME && r_.varType(r_.varOf(t)) == TYPE_NUM) {
            aux.insert(aux.end(), {SLOT_NUMVAR, r_.varOf(t)});
        } else {
            aux.insert(aux.end(), {SLOT_KEEP, 0});
        }
    }
    // The next single-token argument: the token after the next separator.
    void nextSlotArgument() {
        ++r_.pos;
        r_.fetch();
        slotArgument(r_.pos);
    }

    int32_t pointerVariable(int32_t t) const {
        const int32_t v = r_.varOf(t);
        return r_.varType(v) == TYPE_PTR ? v : 0;
    }

    // --- statements that begin with a name ---------------------------------------

    int32_t nameStatement(int32_t p) {
        switch (tokens_.classAt(p + 1)) {
            case CLS_EQ: return assignVariable(p);
            case CLS_LBRK: return assignElement(p);
            case CLS_LPAR: return call(p);
            default: return p;  // a name alone, or a label's name: nothing happens
        }
    }

    // True when `s = s + ...` at `name` can append to s where it is: the
    // first factor is s alone and nothing else on the line names s (whose
    // value changes as the appending goes on).
    bool appendsToItself(int32_t name) const {
        const int32_t v = boundVar(name);
        const int32_t first = name + 2;
        if (boundVar(first) != v || tokens_.classAt(first) != CLS_NAME || tokens_.classAt(first + 1) == CLS_LBRK ||
            tokens_.classAt(first + 1) != CLS_PLUS)
            return false;
        for (int32_t i = first + 1; i <= count_; ++i) {
            const int32_t c = tokens_.classAt(i);
            if (c == CLS_EOL || c == CLS_COLON) return true;
            if (boundVar(i) == v) return false;
        }
        return true;
    }
    int32_t boundVar(int32_t t) const { return symbols_.varAt(t); }

    // s = s + ...: appends to s where it is, so a loop that grows a string
    // pays for what it appends, not for the whole string each time. A run
    // abort in the middle leaves s as it was.
    int32_t appendInPlace(int32_t p, int32_t v) {
        out_.emit(p, OP_SMARK, v);
        Builder b;
        b.state = Builder::REG;
        b.reg = v;
        r_.pos = p + 2;
        r_.fetch();
        r_.continueStringExpression(b);
        if (r_.dead) return kNoNext;
        out_.emit(p, OP_SUNMARK, v);
        return r_.pos;
    }

    // name = expression, by the variable's type. Any other form does nothing.
    int32_t assignVariable(int32_t p) {
        const int32_t v = r_.varOf(p);
        if (v == 0) return p;
        const int32_t type = r_.varType(v);
        if (type == TYPE_STR && appendsToItself(p)) return appendInPlace(p, v);
        r_.pos = p + 1;  // onto the '='
        switch (type) {
            case TYPE_NUM: {
                const Num n = fetchNumeric();
                if (!r_.dead) store(v, n);
                break;
            }
            case TYPE_STR: {
                r_.fetch();
                Builder b;
                r_.stringExpression(b);
                if (!r_.dead) storeString(p, v, b);
                break;
            }
            case TYPE_PTR: {
                const Num n = fetchNumeric();
                if (!r_.dead) out_.emit(p, OP_SETP, v, r_.inRegister(n));
                break;
            }
            default: break;
        }
        return r_.pos;
    }

    // A string variable's store, from the statement at `p`.
    void storeString(int32_t p, int32_t v, const Builder& b) {
        if (b.state == Builder::REG && out_.isStrTemp(b.reg)) out_.emit(p, OP_STORETAKE, v, b.reg);
        else out_.emit(p, OP_STORE, v, r_.builtOperand(b));
    }

    // name[index] = expression. The index is the whole expression up to the
    // closing bracket, whatever its first token.
    int32_t assignElement(int32_t p) {
        const int32_t a = r_.arrOf(p);
        if (a == 0) return p;
        r_.pos = p + 2;
        const Num index = r_.numericExpression();
        if (r_.dead) return kNoNext;
        if (tokens_.classAt(r_.pos) != CLS_RBRK || tokens_.classAt(r_.pos + 1) != CLS_EQ) return r_.pos;
        ++r_.pos;  // onto the '='
        switch (r_.arrType(a)) {
            case TYPE_NUM:
            case TYPE_PTR: {
                const Num value = fetchNumeric();
                if (r_.dead) break;
                const int32_t i = r_.inRegister(index);
                out_.emit(p, r_.arrType(a) == TYPE_NUM ? OP_STEL : OP_STELP, a, i, r_.inRegister(value));
                break;
            }
            case TYPE_STR: {
                r_.fetch();
                Builder b;
                r_.stringExpression(b);
                if (r_.dead) break;
                out_.emit(p, OP_STELS, a, r_.inRegister(index), r_.builtOperand(b));
                break;
            }
            default: break;
        }
        return r_.pos;
    }

    // name(): the body runs, then the run goes on after the name.
    int32_t call(int32_t p) {
        const int32_t target = symbols_.callAt(p);
        if (target <= 0) return p;
        const int32_t in = out_.emit(p, OP_CALL);
        out_.jumpTo(in, 0, target + 2);  // after the header's ')'
        out_.jumpTo(in, 1, p);
        return kNoNext;
    }

    // --- input-box operands ---------------------------------------------------------

    struct HandleOperand {
        bool isName = false;  // the token is a name (of any kind)
        int32_t pointer = 0;  // the pointer variable it names, if it does
    };

    // The handle operand after the keyword; a name that is no pointer
    // variable is reported (and the statement goes on).
    HandleOperand handleOperand() {
        r_.fetch();
        HandleOperand op;
        if (tokens_.classAt(r_.pos) != CLS_NAME) return op;
        op.isName = true;
        op.pointer = pointerVariable(r_.pos);
        if (op.pointer == 0) out_.emit(r_.pos, OP_DIAG, r_.pos, 0, 0, DIAG_HANDLER);
        return op;
    }

    // SETTEXT's and GETTEXT's handle operand, which becomes the current text
    // control; the program counter moves on to the text operand.
    HandleOperand textControlOperand() {
        const HandleOperand op = handleOperand();
        if (op.pointer) out_.emit(r_.pos, OP_CONTROL, op.pointer);
        ++r_.pos;
        r_.fetch();
        return op;
    }

    const TokenStore& tokens_;
    const CheckerState& symbols_;
    const int32_t count_;
    Emitter out_;
    Reader r_;
    std::optional<BlockScans> scans_;
    // The WHILE instruction of each WEND whose loop tests in one instruction
    // (WHILECMP, WHILECMPK), by the WEND's position.
    std::unordered_map<int32_t, int32_t> loopOfWend_;
};

// --- declarations ---------------------------------------------------------------------

// Declarations were carried out by the checker; the run passes over them up
// to the end of the statement. (The classes of "^", "`" and "~" are the
// codes of STR, VAR and PTR: at a statement's start they are passed over
// like a declaration.)
int32_t StatementReader::readVAR(int32_t p) {
    int32_t e = p;
    while (e < count_) {
        const int32_t c = tokens_.classAt(e);
        if (c == CLS_COLON || c == CLS_EOL) break;
        ++e;
    }
    return e;
}
int32_t StatementReader::readSTR(int32_t p) { return readVAR(p); }
int32_t StatementReader::readPTR(int32_t p) { return readVAR(p); }

// --- control flow -----------------------------------------------------------------------

// IF condition: the branch runs when the condition holds; otherwise the run
// resumes after the IF's own ELSE or ENDIF. A condition that does not start
// with a variable leaves the flag as it was.
int32_t StatementReader::readIF(int32_t p) {
    r_.fetch();
    const int32_t first = r_.pos;
    const bool evaluated = tokens_.classAt(first) == CLS_NAME &&
                           (r_.varOf(first) != 0 || (r_.arrOf(first) != 0 && tokens_.classAt(first + 1) == CLS_LBRK));
    if (!evaluated) {
        out_.jumpTo(out_.emit(p, OP_IFFLAG), 0, afterScan(scans_->ifEnd(first), 0));
        return first;
    }
    const Truth t = r_.condition();
    if (r_.dead) return kNoNext;
    const int32_t skip = afterScan(scans_->ifEnd(r_.pos), 0);
    int32_t in;
    if (t.kind == Truth::NUMCMP) {
        Num l = t.left, rt = t.right;
        CompareOp op = t.op;
        if (l.isConst) {
            std::swap(l, rt);
            op = mirror(op);
        }
        in = rt.isConst ? out_.emit(p, OP_IFCMPK, l.reg, floatBits(rt.k), 0, op)
                        : out_.emit(p, OP_IFCMP, l.reg, rt.reg, 0, op);
        out_.jumpTo(in, 2, skip);
    } else {
        in = out_.emit(p, OP_IF, r_.truthRegister(t));
        out_.jumpTo(in, 1, skip);
    }
    return r_.pos;
}

// ELSE reached as a statement ends a taken branch: the run resumes after
// the ELSE's own ENDIF.
int32_t StatementReader::readELSE(int32_t p) {
    jump(p, afterScan(scans_->elseEnd(p), 0));
    return kNoNext;
}

// WHILE condition: pushes the loop and runs the body while the condition
// holds; otherwise the run resumes two tokens after the loop's own WEND.
int32_t StatementReader::readWHILE(int32_t p) {
    const int32_t start = out_.size();
    r_.fetch();
    const Truth t = r_.condition();
    if (r_.dead) return kNoNext;
    const int32_t exit = afterScan(scans_->whileEnd(r_.pos), 1);
    const bool alone = out_.size() == start;  // the test is the statement's only instruction
    if (t.kind == Truth::NUMCMP && alone && !t.left.isConst) {
        const int32_t in = t.right.isConst ? out_.emit(p, OP_WHILECMPK, t.left.reg, floatBits(t.right.k), 0, t.op)
                                           : out_.emit(p, OP_WHILECMP, t.left.reg, t.right.reg, 0, t.op);
        out_.jumpTo(in, 2, exit);
        // Its own WEND may make the test itself.
        if (const int32_t wend = scans_->whileEnd(r_.pos); wend != kScanEnd) loopOfWend_[wend] = in;
    } else {
        const int32_t in = out_.emit(p, OP_WHILE, r_.truthRegister(t), 0, start);
        out_.jumpTo(in, 1, exit);
    }
    return r_.pos;
}

// WEND: back to the WHILE on top of the loop stack, which tests again. The
// WEND of a loop whose test is one instruction makes that test itself when
// its own WHILE is on top (WENDLOOP), saving a step each pass.
int32_t StatementReader::readWEND(int32_t p) {
    auto own = loopOfWend_.find(p);
    if (own != loopOfWend_.end()) out_.emit(p, OP_WENDLOOP, own->second);
    else out_.emit(p, OP_WEND);
    return kNoNext;
}

// GOTO name: the run resumes after the label's name. The stacks are left
// as they are.
int32_t StatementReader::readGOTO(int32_t p) {
    (void)p;
    r_.fetch();
    const int32_t name = r_.pos;
    const int32_t target = symbols_.gotoAt(name);
    if (target <= 0) return name;
    jump(name, target);
    return kNoNext;
}

// FUNC met by the main flow: the whole definition is passed over, up to two
// tokens after its ENDFN. Inside a call FUNC does nothing.
int32_t StatementReader::readFUNC(int32_t p) {
    out_.jumpTo(out_.emit(p, OP_FUNC), 0, afterScan(scans_->funcEnd(p), 1));
    return p;
}

// ENDFN: back to the call site; the run resumes at the call's '('.
int32_t StatementReader::readENDFN(int32_t p) {
    out_.emit(p, OP_ENDFN);
    return kNoNext;
}

// The main program ends where the first event block begins; a block ends at
// its ENDWM.
int32_t StatementReader::readWINMSG(int32_t p) {
    out_.emit(p, OP_ENDBLOCK);
    return kNoNext;
}
int32_t StatementReader::readENDWM(int32_t p) { return readWINMSG(p); }

// --- drawing ------------------------------------------------------------------------------

// PRINT x, y, item: the item is a literal, a variable, an element or a
// parenthesised expression; an item of no such form draws the text of the
// previous PRINT again.
int32_t StatementReader::readPRINT(int32_t p) {
    const Num x = fetchNumeric();
    const Num y = fetchNumeric();
    if (r_.dead) return kNoNext;
    r_.fetch();
    const int32_t t = r_.pos;
    uint16_t kind = PI_NONE;
    int32_t item = 0;
    Num number;
    if (tokens_.classAt(t + 1) == CLS_LBRK) {
        const int32_t a = tokens_.classAt(t) == CLS_NAME ? r_.arrOf(t) : 0;
        if (a != 0 && r_.arrType(a) == TYPE_STR) {
            Builder b;
            r_.stringFactor(b);
            kind = PI_STRING;
            item = r_.builtOperand(b);
        } else if (a != 0) {
            number = r_.numericFactor();
            kind = PI_NUMBER;
        }
    } else {
        switch (tokens_.classAt(t)) {
            case CLS_NUM: number = Num::constant(r_.digitValue(t)); kind = PI_NUMBER; break;
            case CLS_QSTR: kind = PI_STRING; item = out_.stringConstant(tokens_.textAt(t)); break;
            case CLS_LPAR: number = r_.numericExpression(); kind = PI_NUMBER; break;
            case CLS_NAME: {
                const int32_t v = r_.varOf(t);
                switch (r_.varType(v)) {
                    case TYPE_NUM: number = Num::inReg(v); kind = PI_NUMBER; break;
                    case TYPE_PTR: item = v; kind = PI_POINTER; break;
                    case TYPE_STR: item = v; kind = PI_STRING; break;
                    default: break;
                }
                break;
            }
            default: break;
        }
    }
    if (r_.dead) return kNoNext;
    if (kind == PI_NUMBER && number.isConst) {
        kind = PI_STRING;
        item = out_.foldedString(numberToText(number.k));
    } else if (kind == PI_NUMBER) {
        item = number.reg;
    }
    const int32_t xr = r_.inRegister(x), yr = r_.inRegister(y);
    out_.emit(p, OP_PRINT, xr, yr, item, kind);
    return r_.pos;
}

// Statements of two expression arguments.
#define TWO_ARGUMENTS(name, op)                                       \
    int32_t StatementReader::read##name(int32_t p) {                  \
        const Num x = fetchNumeric();                                 \
        const Num y = fetchNumeric();                                 \
        if (r_.dead) return kNoNext;                                  \
        out_.emit(p, op, r_.inRegister(x), r_.inRegister(y));         \
        return r_.pos;                                                \
    }
TWO_ARGUMENTS(PSET, OP_PSET)
TWO_ARGUMENTS(PLOT, OP_PLOT)
TWO_ARGUMENTS(DRAW, OP_DRAW)
#undef TWO_ARGUMENTS

int32_t StatementReader::readLINE(int32_t p) {
    const int32_t first = argumentsInto(4);
    if (r_.dead) return kNoNext;
    out_.emit(p, OP_LINE, first);
    return r_.pos;
}

int32_t StatementReader::readRECT(int32_t p) {
    const int32_t first = argumentsInto(4);
    if (r_.dead) return kNoNext;
    out_.emit(p, OP_RECT, first);
    return r_.pos;
}

int32_t StatementReader::readCIRCLE(int32_t p) {
    const int32_t first = argumentsInto(3);
    if (r_.dead) return kNoNext;
    out_.emit(p, OP_CIRCLE, first, first + 1, first + 2);
    return r_.pos;
}

// WCOLOR, FCOLOR and BCOLOR r, g, b: single-token arguments.
int32_t StatementReader::readWCOLOR(int32_t p) {
    const uint16_t which = tokens_.classAt(p) == KW_WCOLOR ? 0 : tokens_.classAt(p) == KW_FCOLOR ? 1 : 2;
    const int32_t args = static_cast<int32_t>(out_.aux().size());
    r_.fetch();
    slotArgument(r_.pos);
    nextSlotArgument();
    nextSlotArgument();
    out_.emit(p, OP_COLOR, args, 0, 0, which);
    return r_.pos;
}
int32_t StatementReader::readFCOLOR(int32_t p) { return readWCOLOR(p); }
int32_t StatementReader::readBCOLOR(int32_t p) { return readWCOLOR(p); }

int32_t StatementReader::readSETFONT(int32_t p) {
    const int32_t first = argumentsInto(3);
    if (r_.dead) return kNoNext;
    r_.fetch();
    Builder face;
    r_.stringExpression(face);
    if (r_.dead) return kNoNext;
    out_.emit(p, OP_SETFONT, first, r_.builtOperand(face));
    return r_.pos;
}

int32_t StatementReader::readSWAP(int32_t p) {
    out_.emit(p, OP_SWAP);
    return p;
}

// LOADIMG h, file, type, width, height, flags: the handle a pointer
// variable, the file a string literal or string variable, the rest
// single-token arguments.
int32_t StatementReader::readLOADIMG(int32_t p) {
    r_.fetch();
    const int32_t handle = pointerVariable(r_.pos);
    ++r_.pos;
    r_.fetch();
    int32_t path = out_.foldedString(std::string());
    if (tokens_.classAt(r_.pos) == CLS_QSTR) path = out_.stringConstant(tokens_.textAt(r_.pos));
    else if (r_.varType(r_.varOf(r_.pos)) == TYPE_STR) path = r_.varOf(r_.pos);
    const int32_t args = static_cast<int32_t>(out_.aux().size());
    out_.aux().insert(out_.aux().end(), {handle, path});
    for (int i = 0; i < 4; ++i) nextSlotArgument();
    out_.emit(p, OP_LOADIMG, args);
    return r_.pos;
}

// SHOWIMG h, x, y, w, h with single-token arguments; the image a pointer
// variable names becomes the one shown (without one, the image shown last).
int32_t StatementReader::readSHOWIMG(int32_t p) {
    r_.fetch();
    if (const int32_t v = pointerVariable(r_.pos)) out_.emit(r_.pos, OP_SHOWN, v);
    const int32_t args = static_cast<int32_t>(out_.aux().size());
    for (int i = 0; i < 4; ++i) nextSlotArgument();
    out_.emit(p, OP_SHOWIMG, args);
    return r_.pos;
}

// SHOWIMGT h, x, y, w, h with expression arguments.
int32_t StatementReader::readSHOWIMGT(int32_t p) {
    r_.fetch();
    if (const int32_t v = pointerVariable(r_.pos)) out_.emit(r_.pos, OP_SHOWN, v);
    ++r_.pos;
    const int32_t first = argumentsInto(4);
    if (r_.dead) return kNoNext;
    out_.emit(p, OP_SHOWIMGT, first);
    return r_.pos;
}

// --- window events --------------------------------------------------------------------------

// MOUSEX v / MOUSEY v: a number variable receives the recorded coordinate,
// which is then cleared (whatever the name).
int32_t StatementReader::readMOUSEX(int32_t p) {
    r_.fetch();
    if (tokens_.classAt(r_.pos) != CLS_NAME) return r_.pos;
    const int32_t v = r_.varOf(r_.pos);
    out_.emit(p, OP_MOUSE, r_.varType(v) == TYPE_NUM ? v : 0, 0, 0, tokens_.classAt(p) == KW_MOUSEX ? 0 : 1);
    return r_.pos;
}
int32_t StatementReader::readMOUSEY(int32_t p) { return readMOUSEX(p); }

// HWPARAM v / HLPARAM v: the last key code or command identifier (the long
// parameter), then cleared; a string variable receives nothing.
int32_t StatementReader::readHWPARAM(int32_t p) {
    r_.fetch();
    if (tokens_.classAt(r_.pos) != CLS_NAME) return r_.pos;
    const int32_t v = r_.varOf(r_.pos);
    out_.emit(p, OP_EVENTVAL, v, r_.varType(v), 0, tokens_.classAt(p) == KW_HWPARAM ? 0 : 1);
    return r_.pos;
}
int32_t StatementReader::readHLPARAM(int32_t p) { return readHWPARAM(p); }

int32_t StatementReader::readGETTICK(int32_t p) {
    r_.fetch();
    const int32_t v = r_.varOf(r_.pos);
    if (tokens_.classAt(r_.pos) == CLS_NAME && r_.varType(v) == TYPE_NUM) out_.emit(p, OP_GETTICK, v);
    return r_.pos;
}

// TIMERON interval: a number literal or number variable sets the interval;
// the timer starts, or restarts with it.
int32_t StatementReader::readTIMERON(int32_t p) {
    r_.fetch();
    const int32_t t = r_.pos;
    const int32_t v = r_.varOf(t);
    if (tokens_.classAt(t) == CLS_NUM) out_.emit(p, OP_TIMERON, toInt32(r_.digitValue(t)), 0, 0, 1);
    else if (tokens_.classAt(t) == CLS_NAME && r_.varType(v) == TYPE_NUM) out_.emit(p, OP_TIMERON, v, 0, 0, 2);
    else out_.emit(p, OP_TIMERON);
    return t;
}

int32_t StatementReader::readTIMEROFF(int32_t p) {
    out_.emit(p, OP_TIMEROFF);
    return p;
}

// --- input boxes and display mode --------------------------------------------------------

// INPUTBOX h, x, y, w, ht, text: a new input box; h receives its handle.
int32_t StatementReader::readINPUTBOX(int32_t p) {
    (void)p;
    const HandleOperand op = handleOperand();
    const int32_t handleToken = r_.pos;
    ++r_.pos;
    const int32_t first = argumentsInto(4);
    if (r_.dead) return kNoNext;
    r_.fetch();
    Builder text;
    r_.stringExpression(text);
    if (r_.dead) return kNoNext;
    out_.emit(handleToken, OP_INPUTBOX, first, r_.builtOperand(text), op.pointer);
    return r_.pos;
}

// SETTEXT h, text: a string expression that starts with a string variable
// or a string literal becomes the control's text.
int32_t StatementReader::readSETTEXT(int32_t p) {
    (void)p;
    textControlOperand();
    const int32_t t = r_.pos;
    const int32_t c = tokens_.classAt(t);
    if (c == CLS_NAME) {
        if (r_.varType(r_.varOf(t)) != TYPE_STR) {
            out_.emit(t, OP_DIAG, t, 0, 0, DIAG_TEXT_TYPE);
            return t;
        }
    } else if (c != CLS_QSTR) {
        return t;
    }
    Builder text;
    r_.stringExpression(text);
    if (r_.dead) return kNoNext;
    out_.emit(t, OP_SETTEXT, r_.builtOperand(text));
    return r_.pos;
}

// GETTEXT h, s: the control's whole text into the string variable s.
int32_t StatementReader::readGETTEXT(int32_t p) {
    (void)p;
    const HandleOperand op = textControlOperand();
    const int32_t t = r_.pos;
    if (!op.isName) return t;
    const int32_t v = tokens_.classAt(t) == CLS_NAME ? r_.varOf(t) : 0;
    if (r_.varType(v) != TYPE_STR) out_.emit(t, OP_DIAG, t, 0, 0, DIAG_STRING_TYPE);
    else out_.emit(t, OP_GETTEXT, v);
    return t;
}

// SETFOCUS h shows the input box h and gives it the keyboard focus;
// SETFOCUS with a number hides the newest input box.
int32_t StatementReader::readSETFOCUS(int32_t p) {
    const HandleOperand op = handleOperand();
    if (op.pointer) out_.emit(p, OP_FOCUS, op.pointer);
    else if (tokens_.classAt(r_.pos) == CLS_NUM) out_.emit(p, OP_HIDE);
    return r_.pos;
}

// MODE n: 1 makes painting the window show the back buffer.
int32_t StatementReader::readMODE(int32_t p) {
    r_.fetch();
    if (tokens_.classAt(r_.pos) == CLS_NUM) out_.emit(p, OP_MODE, toInt32(r_.digitValue(r_.pos)));
    return r_.pos;
}


#undef X
#undef READER_NUMFN
#undef READER_STRFN
#undef READER_PASSIVE

}  // namespace

void compileProgram(const TokenStore& tokens, const CheckerState& symbols, Code& code) {
    StatementReader(tokens, symbols, code).compile();
}

}  // namespace tessel
