#include "compile/emitter.h"

#include <algorithm>

namespace tessel {

Emitter::Emitter(Code& code, int32_t tokenCount, const CheckerState& symbols)
    : code_(code), count_(tokenCount), hasCode_(static_cast<size_t>(tokenCount) / 64 + 1), queued_(hasCode_.size()) {
    code_ = Code{};
    // Registers are numbered by variable, each kind in its own file: a file
    // ends after the last variable of its kind, so that a script of a million
    // number variables keeps no empty string for each.
    for (int32_t v = 1; v <= symbols.varCount(); ++v) {
        const int32_t type = symbols.vars[static_cast<size_t>(v)].type;
        Temps& t = type == TYPE_STR ? str_ : type == TYPE_PTR ? int_ : num_;
        t.base = v + 1;
    }
    code_.blockEntry.fill(-1);
    // Room for the densest code (about one instruction and one statement
    // for every three tokens); what stays unused is never touched, and so
    // takes no memory.
    code_.ins.reserve(static_cast<size_t>(tokenCount) / 3 + 16);
    code_.tokenOf.reserve(code_.ins.capacity());
    fixups_.reserve(static_cast<size_t>(tokenCount) / 4 + 16);
    queue_.reserve(static_cast<size_t>(tokenCount) / 8 + 16);
}

int32_t Emitter::emit(int32_t token, uint8_t op, int32_t a, int32_t b, int32_t c, uint16_t x) {
    const int32_t index = size();
    Instr in;
    in.op = op;
    in.x = x;
    in.a = a;
    in.b = b;
    in.c = c;
    if (pendingStart_ != 0) {
        in.ticks = 1;
        mark(hasCode_, pendingStart_);
        token = pendingStart_;
        pendingStart_ = 0;
    }
    code_.ins.push_back(in);
    code_.tokenOf.push_back(token);
    lastService_ = -1;
    return index;
}

void Emitter::insert(int32_t index, int32_t token, uint8_t op, int32_t a, int32_t b) {
    Instr in;
    in.op = op;
    in.a = a;
    in.b = b;
    code_.ins.insert(code_.ins.begin() + index, in);
    code_.tokenOf.insert(code_.tokenOf.begin() + index, token);
    for (auto f = fixups_.rbegin(); f != fixups_.rend() && f->where >= index * 4; ++f) f->where += 4;
}

void Emitter::beginStatement(int32_t position) {
    pendingStart_ = position;
    num_.top = str_.top = int_.top = 0;
}

void Emitter::service(int32_t position) {
    if (lastService_ >= 0 && !marked(queued_, position) &&
        code_.tokenOf[static_cast<size_t>(lastService_)] + at(lastService_).a == position) {
        // The token before this one was the run's last: one step more.
        ++at(lastService_).a;
        mark(hasCode_, position);
        return;
    }
    beginStatement(position);
    const int32_t index = emit(position, OP_SERVICE, 1);
    lastService_ = index;
}

// --- jumps ---------------------------------------------------------------------

void Emitter::addFixup(int32_t where, int32_t pc) {
    fixups_.push_back({where, pc});
    if (pc < 0 || pc >= count_) return;
    const int32_t position = pc + 1;
    if (!marked(queued_, position) && !marked(hasCode_, position)) queue_.push_back(position);
    mark(queued_, position);
}

void Emitter::jumpTo(int32_t ins, int field, int32_t pc) { addFixup(ins * 4 + field, pc); }
void Emitter::mainEntryAfter(int32_t pc) { addFixup(-1, pc); }
void Emitter::blockEntryAfter(int slot, int32_t pc) { addFixup(-2 - slot, pc); }

int32_t Emitter::nextQueued() {
    while (!queue_.empty()) {
        const int32_t position = queue_.back();
        queue_.pop_back();
        if (!marked(hasCode_, position)) return position;
    }
    return 0;
}

int32_t Emitter::endInstruction(int32_t pc) {
    auto [it, fresh] = ends_.emplace(pc, 0);
    if (fresh) it->second = emit(pc, OP_END, pc);
    return it->second;
}

// A jump into the middle of the SERVICE run `run`: a SERVICE for the rest
// of the run, then on to what follows the run (one such copy for each
// position jumped into).
int32_t Emitter::tailOf(int32_t position, int32_t run) {
    auto [it, fresh] = tails_.emplace(position, 0);
    if (!fresh) return it->second;
    const int32_t done = position - code_.tokenOf[static_cast<size_t>(run)];
    const int32_t rest = at(run).a - done;
    const int32_t tail = emit(position, OP_SERVICE, rest);
    at(tail).ticks = 1;
    emit(position, OP_JMP, run + 1);
    it->second = tail;
    return tail;
}

int32_t Emitter::resolve(int32_t pc) {
    if (pc < 0 || pc >= count_) return endInstruction(pc);
    const int32_t position = pc + 1;
    // The statement at the position, or else the SERVICE run that covers it
    // (the last statement that starts before it).
    const std::vector<int32_t>& tokenOf = code_.tokenOf;
    const int32_t s = *std::prev(std::upper_bound(starts_.begin(), starts_.end(), position,
                                                  [&tokenOf](int32_t p, int32_t ins) {
                                                      return p < tokenOf[static_cast<size_t>(ins)];
                                                  }));
    return tokenOf[static_cast<size_t>(s)] == position ? s : tailOf(position, s);
}

void Emitter::finish() {
    for (int32_t i = 0; i < size(); ++i)
        if (at(i).ticks) starts_.push_back(i);
    const std::vector<int32_t>& tokenOf = code_.tokenOf;
    std::sort(starts_.begin(), starts_.end(), [&tokenOf](int32_t a, int32_t b) {
        return tokenOf[static_cast<size_t>(a)] < tokenOf[static_cast<size_t>(b)];
    });
    for (size_t k = 0; k < fixups_.size(); ++k) {
        const Fixup f = fixups_[k];
        const int32_t target = resolve(f.pc);
        if (f.where == -1) code_.mainEntry = target;
        else if (f.where < -1) code_.blockEntry[static_cast<size_t>(-2 - f.where)] = target;
        else if (f.where % 4 == 0) at(f.where / 4).a = target;
        else if (f.where % 4 == 1) at(f.where / 4).b = target;
        else at(f.where / 4).c = target;
    }
    code_.numRegisters = num_.base + num_.most;
    code_.strRegisters = str_.base + str_.most;
    code_.intRegisters = int_.base + int_.most;
    code_.strTemps = str_.base;
    code_.compiled = true;
    std::vector<int32_t>().swap(starts_);
    std::vector<Fixup>().swap(fixups_);
}

// --- temporaries and constants ---------------------------------------------------

void Emitter::giveBack(Temps& t, int32_t reg) {
    if (t.top > 0 && reg == t.base + t.top - 1) --t.top;
}

int32_t Emitter::stringConstant(std::string_view text) {
    code_.strings.push_back(text);
    return ~static_cast<int32_t>(code_.strings.size() - 1);
}

int32_t Emitter::foldedString(std::string text) {
    auto it = foldedIndex_.find(text);
    if (it != foldedIndex_.end()) return it->second;
    code_.folded.push_back(text);
    const int32_t operand = stringConstant(code_.folded.back());
    foldedIndex_.emplace(std::move(text), operand);
    return operand;
}

}  // namespace tessel
