// The string instructions that do more than append or assign.
#include "exec/handlers.h"
#include "expr/ops.h"

namespace tessel::exec {

namespace {

// A substring argument at aux entry `at`: the integer, or a variable's value
// (negated for a "-" before it).
int32_t smallArgument(const Vm& vm, const int32_t* arg) {
    const size_t v = static_cast<size_t>(arg[1]);
    switch (arg[0]) {
        case SMALL_NUM: return toInt32(static_cast<double>(vm.memory.num[v]));
        case SMALL_NEGNUM: return toInt32(-static_cast<double>(vm.memory.num[v]));
        case SMALL_PTR: return toInt32(static_cast<double>(vm.memory.ptr[v]));
        case SMALL_NEGPTR: return toInt32(-static_cast<double>(vm.memory.ptr[v]));
        default: return arg[1];
    }
}

}  // namespace

// S[a] += LSTR, RSTR or MSTR of s(b): the kind in x >> 2, the arguments
// (one count, or a start and a count) at aux entry c.
void appendSubstring(Vm& vm, const Instr& in) {
    Text& out = vm.memory.str[static_cast<size_t>(in.a)];
    const std::string_view source = stringOperand(vm, in.b);
    const int32_t* args = vm.code.aux.data() + in.c;
    const int32_t first = smallArgument(vm, args);
    std::string_view part;
    switch (in.x >> 2) {
        case 0: part = leftPart(source, first); break;
        case 1: part = rightPart(source, first); break;
        default: part = middlePart(source, first, smallArgument(vm, args + 2)); break;
    }
    if (in.x & SF_ASSIGN) out.assign(part);
    else out.append(part);
}

// Element R[b] of string array a = s(c); a temporary's text is moved, not
// copied. An index outside the storage stores nothing.
bool storeStringElement(Vm& vm, const Instr& in) {
    std::vector<Text>& elements = vm.memory.arrays[static_cast<size_t>(in.a)].strs;
    const uint32_t i = static_cast<uint32_t>(toInt32(vm.memory.num[static_cast<size_t>(in.b)]));
    if (i >= elements.size()) return true;
    const std::string_view value = stringOperand(vm, in.c);
    if (!chargeString(vm.memory, elements[i].size(), value.size())) return false;
    if (in.c >= vm.code.strTemps) elements[i].swap(vm.memory.str[static_cast<size_t>(in.c)]);
    else elements[i].assign(value);
    return true;
}

bool storeEditText(Vm& vm, Text& slot) {
    return storeString(vm.memory, slot, vm.platform.editText(vm.exec.currentTextControl));
}

}  // namespace tessel::exec
