// The compiler's output: instructions in one flat array, the temporaries
// they use, the string constants, and the jumps between statements, which
// point at token positions while the program is read and at instructions
// once it is laid out.
//
// Statements are laid out in chains: from a position, each statement's code
// follows the one before it until a statement transfers control for good
// (GOTO, ELSE, WEND, ...) or the next position has code already. Positions
// that only a jump reaches are queued and start chains of their own.
// Consecutive tokens that start no statement share one SERVICE instruction;
// a jump into the middle of such a run gets a copy of the run's rest.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "checker/symbols.h"
#include "vm/code.h"

namespace tessel {

class Emitter {
   public:
    // `symbols` gives the variables: each kind's temporaries come after the
    // last variable of that kind.
    Emitter(Code& code, int32_t tokenCount, const CheckerState& symbols);

    // --- instructions -------------------------------------------------------
    // Appends an instruction read from token `token`; returns its index.
    int32_t emit(int32_t token, uint8_t op, int32_t a = 0, int32_t b = 0, int32_t c = 0, uint16_t x = 0);
    Instr& at(int32_t i) { return code_.ins[static_cast<size_t>(i)]; }
    int32_t size() const { return static_cast<int32_t>(code_.ins.size()); }
    // Puts an instruction in before instruction `index`, which must belong
    // to the statement being read (nothing refers to it yet).
    void insert(int32_t index, int32_t token, uint8_t op, int32_t a = 0, int32_t b = 0);
    std::vector<int32_t>& aux() { return code_.aux; }
    // The token of instruction `i`, and, for one that begins no statement,
    // a new token it reports a failure at.
    int32_t tokenOf(int32_t i) const { return code_.tokenOf[static_cast<size_t>(i)]; }
    void setToken(int32_t i, int32_t token) { code_.tokenOf[static_cast<size_t>(i)] = token; }

    // --- statements ---------------------------------------------------------
    // The next instruction emitted begins the statement at `position`.
    void beginStatement(int32_t position);
    // Whether `position` already has code.
    bool hasCode(int32_t position) const { return marked(hasCode_, position); }
    // A token that starts no statement at `position`: one more step of the
    // SERVICE run before it when it continues one, else a new SERVICE.
    void service(int32_t position);

    // --- jumps --------------------------------------------------------------
    // Operand `field` (0 a, 1 b, 2 c) of instruction `ins` becomes the
    // instruction where a run goes on after program counter `pc`: the
    // statement at pc + 1, or the end of the run when pc is at or past the
    // last token.
    void jumpTo(int32_t ins, int field, int32_t pc);
    // The same for the main program's and event blocks' entries.
    void mainEntryAfter(int32_t pc);
    void blockEntryAfter(int slot, int32_t pc);
    // A position that jumps lead to and that has no code yet (0: none).
    int32_t nextQueued();
    // Resolves every jump and entry; the code is complete afterwards.
    void finish();

    // --- temporaries --------------------------------------------------------
    // Registers after the variables, taken and given back last in, first
    // out within a statement, all given back when a statement begins.
    int32_t numTemp() { return take(num_); }
    int32_t strTemp() { return take(str_); }
    int32_t intTemp() { return take(int_); }
    bool isNumTemp(int32_t reg) const { return reg >= num_.base; }
    bool isStrTemp(int32_t reg) const { return reg >= str_.base; }
    // Gives a temporary back when it is the last one taken.
    void freeNum(int32_t reg) { giveBack(num_, reg); }
    void freeStr(int32_t reg) { giveBack(str_, reg); }

    // --- string constants ---------------------------------------------------
    // Operands s(x) for a constant: a view of text that outlives the run
    // (a token's), or a text of the compiler's own.
    int32_t stringConstant(std::string_view text);
    int32_t foldedString(std::string text);
    std::string_view constantText(int32_t operand) const {
        return code_.strings[static_cast<size_t>(~operand)];
    }

   private:
    struct Temps {
        int32_t base = 1;  // the first temporary (the variables of the kind come before)
        int32_t top = 0;   // taken now
        int32_t most = 0;  // taken at once at most
    };
    int32_t take(Temps& t) {
        const int32_t reg = t.base + t.top++;
        if (t.top > t.most) t.most = t.top;
        return reg;
    }
    void giveBack(Temps& t, int32_t reg);

    // Where a jump, or an entry, must be patched: operand `field` (0, 1, 2)
    // of instruction `ins` is `where` = ins * 4 + field; the entries are
    // `where` = -1 (the main program) and -2 - s (event block s).
    struct Fixup {
        int32_t where;
        int32_t pc;  // the program counter the run goes on after
    };
    void addFixup(int32_t where, int32_t pc);
    int32_t resolve(int32_t pc);
    int32_t endInstruction(int32_t pc);
    int32_t tailOf(int32_t position, int32_t run);
    static bool marked(const std::vector<uint64_t>& bits, int32_t position) {
        return (bits[static_cast<size_t>(position) >> 6] >> (position & 63)) & 1;
    }
    static void mark(std::vector<uint64_t>& bits, int32_t position) {
        bits[static_cast<size_t>(position) >> 6] |= uint64_t{1} << (position & 63);
    }

    Code& code_;
    const int32_t count_;   // tokens in the store
    // A bit per position: it has code (a statement starts there, or a
    // SERVICE run covers it), or a jump leads there (queued).
    std::vector<uint64_t> hasCode_, queued_;
    // Every statement's first instruction (those with ticks), by position,
    // while the jumps are resolved.
    std::vector<int32_t> starts_;
    std::vector<int32_t> queue_;  // positions jumps lead to, to be read
    std::vector<Fixup> fixups_;
    std::unordered_map<int32_t, int32_t> ends_;   // END instruction for each final pc
    std::unordered_map<int32_t, int32_t> tails_;  // a run's rest for each position jumped into
    int32_t pendingStart_ = 0;  // position of the statement the next emit begins (0: none)
    int32_t lastService_ = -1;  // the SERVICE the next service token may continue (-1: none)
    Temps num_, str_, int_;
    std::unordered_map<std::string, int32_t> foldedIndex_;
};

}  // namespace tessel
