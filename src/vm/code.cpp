#include "vm/code.h"

#include <string>

namespace tessel {

std::string_view opcodeName(uint8_t op) {
    static constexpr std::string_view kNames[] = {
#define X(name, operands) #name,
        TESSEL_OPCODES(X)
#undef X
    };
    return op < OP_COUNT ? kNames[op] : std::string_view("?");
}

std::string codeListing(const Code& code) {
    std::string out;
    for (size_t i = 0; i < code.ins.size(); ++i) {
        const Instr& in = code.ins[i];
        out += std::to_string(i) + (in.ticks ? " * " : "   ") + std::string(opcodeName(in.op)) + " " +
               std::to_string(in.a) + " " + std::to_string(in.b) + " " + std::to_string(in.c) + " x" +
               std::to_string(in.x) + "  @" + std::to_string(code.tokenOf[i]) + "\n";
    }
    return out;
}

}  // namespace tessel
