// Expression programs: a numeric expression of pure arithmetic, read once
// before the run exactly as the evaluator would read it, becomes a short list
// of steps over a value stack. The reading follows the general procedures
// token by token (the leading sign, terms joined by "+" and "-", factors and
// their alternatives, groups passed over by their closing token) and gives
// up on anything that is not pure arithmetic or not plain: functions,
// elements, strings, a factor followed by a later factor alternative.
#include "expr/program.h"

#include "expr/cursor.h"

namespace tessel {

namespace {

class ProgramReader {
   public:
    ProgramReader(const ExprState& ex, int32_t count, std::vector<ProgramCode>& out)
        : ex_(ex), count_(count), out_(out), first_(out.size()) {}

    // Reads the expression that starts at token `start`; false when it is
    // not one a program can stand for (the steps written are then dropped).
    bool read(int32_t start, ExprProgram& program) {
        pos_ = start;
        expression();
        if (!ok_ || out_.size() - first_ > kMaxProgramSteps) {
            out_.resize(first_);
            return false;
        }
        program.first = static_cast<uint32_t>(first_);
        program.length = static_cast<uint32_t>(out_.size() - first_);
        program.end = pos_;
        program.nesting = maxNesting_;
        return true;
    }

   private:
    const RunToken& at(int32_t i) const { return ex_.run[static_cast<size_t>(i)]; }
    // The evaluator's fetch: never past the token after the last one.
    void fetch() {
        if (pos_ <= count_) ++pos_;
    }
    bool full() const { return out_.size() - first_ > kMaxProgramSteps; }

    void emit(uint8_t step, uint8_t op = OP_NONE, float num = 0.0f, int32_t ref = 0) {
        if (step <= PS_PTRVAR) {
            if (++stack_ > kMaxProgramStack) ok_ = false;
        } else if (step != PS_NEGATE) {
            --stack_;
        }
        out_.push_back(ProgramCode{num, ref, step, op});
    }

    // A binary operation. When the right operand's steps are one literal or
    // number variable (whatever is last before the operation is the whole
    // right operand's last step, and a push is a whole operand), that push
    // becomes part of the operation.
    void emitBinary(uint8_t step, uint8_t op = OP_NONE) {
        const size_t written = out_.size() - first_;
        if (written >= 2) {
            ProgramCode& right = out_.back();
            if (right.step == PS_LITERAL || right.step == PS_NUMVAR) {
                right.step =
                    static_cast<uint8_t>(fusedStep(step) + (right.step == PS_NUMVAR ? 1 : 0));
                right.op = op;
                --stack_;
                return;
            }
        }
        emit(step, op);
    }

    static uint8_t fusedStep(uint8_t step) {
        return step == PS_PLUS    ? PS_PLUS_LITERAL
               : step == PS_MINUS ? PS_MINUS_LITERAL
                                  : PS_TERM_LITERAL;
    }

    // One more level of nesting; false (and the reading given up) past the
    // levels a program may have, which also bounds this reader's recursion.
    bool enter() {
        if (++nesting_ > kMaxProgramNesting) ok_ = false;
        if (nesting_ > maxNesting_) maxNesting_ = nesting_;
        return ok_;
    }
    void leave() { --nesting_; }

    // An optional leading sign, then terms joined by "+" and "-"; a sign
    // before a string operand ends the expression.
    void expression() {
        const RunToken& first = at(pos_);
        if (first.op == OP_MINUS) {
            // A leading "-" negates the whole first term.
            fetch();
            term();
            emit(PS_NEGATE);
        } else if (first.op == OP_PLUS) {
            emit(PS_LITERAL, OP_NONE, 0.0f);  // the "+" is read below as an addition to 0
        } else {
            term();
        }
        while (ok_ && !full()) {
            const RunToken& o = at(pos_);
            if ((o.op != OP_PLUS && o.op != OP_MINUS) || (o.flags & RF_BEFORE_STRING)) return;
            fetch();
            term();
            emitBinary(o.op == OP_PLUS ? PS_PLUS : PS_MINUS);
        }
    }

    // Factors joined by "*", "/", "%" and "^", from the left.
    void term() {
        factor();
        while (ok_ && !full()) {
            uint8_t op = at(pos_).op;
            if (op != OP_STAR && op != OP_SLASH && op != OP_PCT && op != OP_CARET) return;
            fetch();
            factor();
            emitBinary(PS_TERM, op);
        }
    }

    // A unary sign and its factor, or one factor alternative that no later
    // alternative follows.
    void factor() {
        if (!ok_ || full()) {
            ok_ = false;
            return;
        }
        const RunToken& t = at(pos_);
        if (t.numAlt == NA_MINUS || t.numAlt == NA_PLUS) {
            if (!enter()) return;
            fetch();
            factor();
            leave();
            if (t.numAlt == NA_MINUS) emit(PS_NEGATE);
            return;
        }
        switch (t.numAlt) {
            case NA_DIGIT:
                emit(PS_LITERAL, OP_NONE, t.num);
                fetch();
                break;
            case NA_NUMVAR:
                emit(PS_NUMVAR, OP_NONE, 0.0f, t.ref);
                fetch();
                break;
            case NA_PTRVAR:
                emit(PS_PTRVAR, OP_NONE, 0.0f, t.ref);
                fetch();
                break;
            case NA_LPAR:
            case NA_LBRK:
                // The group's expression, then its closing token, passed over
                // whatever it is.
                if (!enter()) return;
                fetch();
                expression();
                fetch();
                leave();
                break;
            default: ok_ = false; return;
        }
        if (factorOrder(at(pos_).numAlt) > factorOrder(t.numAlt)) ok_ = false;
    }

    const ExprState& ex_;
    const int32_t count_;
    std::vector<ProgramCode>& out_;
    const size_t first_;
    int32_t pos_ = 0;
    int32_t nesting_ = 0, maxNesting_ = 0;
    int32_t stack_ = 0;
    bool ok_ = true;
};

// Starts whose expressions the evaluator already reads in one step.
bool readInOneStep(const RunToken& t) {
    return t.flags & (RF_ALONE | RF_SUM2);
}

// True when an expression may begin after token `prev`: after a statement
// keyword, "=", ",", a comparison, a join, an opening bracket or a line
// end, but not after an operand or an operator, which would put the start
// inside a longer expression whose own program already covers it. (Every
// position of a long expression having a program of its own would cost
// memory by the square of its length.)
bool mayBeginAfter(const RunToken& prev) {
    if (prev.op != OP_NONE || prev.cls == CLS_RPAR || prev.cls == CLS_RBRK) return false;
    return prev.numAlt == NA_NONE || prev.numAlt == NA_LPAR || prev.numAlt == NA_LBRK;
}

}  // namespace

void buildExpressionPrograms(ExprState& ex, int32_t count) {
    ex.code.clear();
    ex.programs.clear();
    ex.programAt.assign(ex.run.size(), 0);
    // However the script is made, the programs take a few steps per token.
    const size_t budget = size_t{8} * static_cast<size_t>(count) + kMaxProgramSteps;
    for (int32_t i = 1; i <= count && ex.code.size() < budget; ++i) {
        RunToken& t = ex.run[static_cast<size_t>(i)];
        if (readInOneStep(t) || t.numAlt == NA_NONE || t.numAlt == NA_FUNC || t.numAlt == NA_NAME)
            continue;
        if (!mayBeginAfter(ex.run[static_cast<size_t>(i - 1)])) continue;
        ExprProgram program;
        ProgramReader reader(ex, count, ex.code);
        if (!reader.read(i, program)) continue;
        // A lone factor gains nothing.
        if (program.length < 3) {
            ex.code.resize(program.first);
            continue;
        }
        ex.programAt[static_cast<size_t>(i)] = static_cast<uint32_t>(ex.programs.size());
        ex.programs.push_back(program);
        t.flags |= RF_PROGRAM;
    }
}

}  // namespace tessel
