// The token walker: the language as it was first built, kept as the oracle
// the executor is compared with. One program counter walks the token store;
// each statement's first token picks its handler, and expressions and
// conditions are evaluated token by token by recursive procedures that
// leave the program counter on the first token they did not use. Nothing
// is read ahead of the run but what each token means to the evaluator.
//
// It plugs into a Vm as its Engine, so a whole program (host, events,
// clock, boxes) runs through it exactly as through the executor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exec/vm.h"

namespace tessel::oracle {

// What the evaluator sees of one token, worked out once after checking.
struct Tok {
    float num = 0.0f;       // value of a token whose text begins with a digit
    int32_t ref = 0;        // bound variable or array number (0 when none)
    uint8_t cls = 0;        // class field (lexical class or statement code)
    uint8_t op = 0;         // binary operator kind (Op)
    uint8_t numAlt = 0;     // numeric factor alternative (NumAlt)
    uint8_t strAlt = 0;     // string factor alternative (StrAlt)
    uint8_t nameKind = 0;   // comparison operand kind (NameKind)
    bool beforeString = false;  // a "+"/"-" whose next token is a string operand
};

class Walker final : public Engine {
   public:
    void prepare(Vm& vm) override;
    void runMain(Vm& vm) override;
    void runBlock(Vm& vm, EventSlot which, bool interrupting) override;

    // The walker's own state, as the statement loop and evaluator keep it.
    int32_t pc = 0;            // the token being executed
    int32_t depth = 0;         // nesting of groups, subscripts and function arguments
    int32_t condFlag = 0;      // last IF condition: -1 true, 0 false
    int32_t loopCondFlag = 0;  // last WHILE condition
    std::vector<int32_t> loopStack{0};  // WHILE token of each active loop, from 1
    std::vector<int32_t> callStack{0};  // call-site name token of each active call
    std::vector<Tok> run;      // per token, indexed like the token store (count + 2)

   private:
    void statements(Vm& vm);
};

}  // namespace tessel::oracle
