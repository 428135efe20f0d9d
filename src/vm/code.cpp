#include "vm/code.h"

namespace tessel {

std::string_view opcodeName(uint8_t op) {
    static constexpr std::string_view kNames[] = {
#define X(name, operands) #name,
        TESSEL_OPCODES(X)
#undef X
    };
    return op < OP_COUNT ? kNames[op] : std::string_view("?");
}

}  // namespace tessel
