#include "compile/emitter.h"

namespace tessel {

namespace {

constexpr int32_t kNoCode = -1;
constexpr int32_t kQueued = -2;

}  // namespace

Emitter::Emitter(Code& code, int32_t tokenCount, int32_t varCount)
    : code_(code), count_(tokenCount), base_(varCount + 1),
      insAt_(static_cast<size_t>(tokenCount) + 2, kNoCode) {
    code_ = Code{};
    code_.blockEntry.fill(-1);
    // Roughly one instruction for every three tokens.
    code_.ins.reserve(static_cast<size_t>(tokenCount) / 3 + 16);
    code_.tokenOf.reserve(code_.ins.capacity());
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
        insAt_[static_cast<size_t>(pendingStart_)] = index;
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
    for (auto f = fixups_.rbegin(); f != fixups_.rend() && f->ins >= index && f->field >= 0; ++f) ++f->ins;
}

void Emitter::beginStatement(int32_t position) {
    pendingStart_ = position;
    num_.top = str_.top = int_.top = 0;
}

void Emitter::service(int32_t position) {
    if (lastService_ >= 0 && insAt_[static_cast<size_t>(position)] == kNoCode &&
        code_.tokenOf[static_cast<size_t>(lastService_)] + at(lastService_).a == position) {
        // The token before this one was the run's last: one step more.
        ++at(lastService_).a;
        insAt_[static_cast<size_t>(position)] = lastService_;
        pendingStart_ = 0;
        return;
    }
    beginStatement(position);
    const int32_t index = emit(position, OP_SERVICE, 1);
    lastService_ = index;
}

// --- jumps ---------------------------------------------------------------------

void Emitter::addFixup(int32_t ins, int32_t field, int32_t pc) {
    fixups_.push_back({ins, field, pc});
    if (pc < 0 || pc >= count_) return;
    int32_t& slot = insAt_[static_cast<size_t>(pc) + 1];
    if (slot == kNoCode) {
        slot = kQueued;
        queue_.push_back(pc + 1);
    }
}

void Emitter::jumpTo(int32_t ins, int field, int32_t pc) { addFixup(ins, field, pc); }
void Emitter::mainEntryAfter(int32_t pc) { addFixup(0, -1, pc); }
void Emitter::blockEntryAfter(int slot, int32_t pc) { addFixup(0, -2 - slot, pc); }

int32_t Emitter::nextQueued() {
    while (!queue_.empty()) {
        const int32_t position = queue_.back();
        queue_.pop_back();
        if (insAt_[static_cast<size_t>(position)] == kQueued) return position;
    }
    return 0;
}

int32_t Emitter::endInstruction(int32_t pc) {
    auto [it, fresh] = ends_.emplace(pc, 0);
    if (fresh) it->second = emit(pc, OP_END, pc);
    return it->second;
}

// A jump into the middle of a SERVICE run: a SERVICE for the rest of the
// run, then on to what follows the run.
int32_t Emitter::tailOf(int32_t position) {
    const int32_t run = insAt_[static_cast<size_t>(position)];
    const int32_t done = position - code_.tokenOf[static_cast<size_t>(run)];
    const int32_t rest = at(run).a - done;
    const int32_t tail = emit(position, OP_SERVICE, rest);
    at(tail).ticks = 1;
    emit(position, OP_JMP, run + 1);
    insAt_[static_cast<size_t>(position)] = tail;
    return tail;
}

int32_t Emitter::resolve(int32_t pc) {
    if (pc < 0 || pc >= count_) return endInstruction(pc);
    const int32_t position = pc + 1;
    const int32_t index = insAt_[static_cast<size_t>(position)];
    if (at(index).op == OP_SERVICE && code_.tokenOf[static_cast<size_t>(index)] != position)
        return tailOf(position);
    return index;
}

void Emitter::finish() {
    for (size_t k = 0; k < fixups_.size(); ++k) {
        const Fixup f = fixups_[k];
        const int32_t target = resolve(f.pc);
        if (f.field == -1) code_.mainEntry = target;
        else if (f.field < -1) code_.blockEntry[static_cast<size_t>(-2 - f.field)] = target;
        else if (f.field == 0) at(f.ins).a = target;
        else if (f.field == 1) at(f.ins).b = target;
        else at(f.ins).c = target;
    }
    code_.numRegisters = base_ + num_.most;
    code_.strRegisters = base_ + str_.most;
    code_.intRegisters = base_ + int_.most;
    code_.compiled = true;
}

// --- temporaries and constants ---------------------------------------------------

void Emitter::giveBack(Temps& t, int32_t reg) {
    if (t.top > 0 && reg == base_ + t.top - 1) --t.top;
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
