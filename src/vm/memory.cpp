#include "vm/memory.h"

#include "checker/symbols.h"

namespace tessel {

void allocateMemory(Memory& mem, const CheckerState& symbols, size_t numRegisters, size_t strRegisters,
                    size_t intRegisters) {
    const size_t vars = symbols.vars.size();
    mem.num.assign(numRegisters ? numRegisters : vars, 0.0f);
    mem.ptr.assign(intRegisters ? intRegisters : vars, 0);
    mem.str.assign(strRegisters ? strRegisters : vars, Text());
    mem.arrays.assign(symbols.arrays.size(), ArrayElements{});
    for (size_t a = 1; a < symbols.arrays.size(); ++a) {
        const ArrayInfo& info = symbols.arrays[a];
        ArrayElements& e = mem.arrays[a];
        size_t n = static_cast<size_t>(info.elements);
        if (info.type == TYPE_NUM) e.nums.assign(n, 0.0f);
        if (info.type == TYPE_STR) e.strs.assign(n, Text());
        if (info.type == TYPE_PTR) e.ptrs.assign(n, 0);
    }
    mem.allocated = true;
    mem.stringBytes = 0;
}

bool chargeString(Memory& mem, size_t before, size_t after) {
    const int64_t grown = static_cast<int64_t>(after) - static_cast<int64_t>(before);
    if (grown > 0 && mem.stringBytes + grown > mem.stringBudget) return false;
    mem.stringBytes += grown;
    return true;
}

bool storeString(Memory& mem, Text& slot, std::string_view value) {
    if (!chargeString(mem, slot.size(), value.size())) return false;
    slot.assign(value);
    return true;
}

}  // namespace tessel
