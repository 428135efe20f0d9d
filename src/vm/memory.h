// Run-time memory: the values of variables and array elements. The checker
// only names and types them; the memory is allocated when a run is prepared
// and belongs to the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessel {

struct CheckerState;

// The value fields of one variable (only the one of its type is used).
struct VariableValue {
    float num = 0.0f;  // number variable
    int32_t ptr = 0;   // pointer variable
    std::string str;   // string variable
};

// The elements of one array (only the vector of its type is filled).
struct ArrayElements {
    std::vector<float> nums;        // number arrays
    std::vector<std::string> strs;  // string arrays
    std::vector<int32_t> ptrs;      // pointer arrays
};

struct Memory {
    // Indexed by variable and array number, like the checker's tables; entry
    // 0 is a placeholder.
    std::vector<VariableValue> vars;
    std::vector<ArrayElements> arrays;
    bool allocated = false;  // sized for the checked program
};

// Gives every declared variable its value and every array its element
// storage (the size the checker worked out), all zero or empty.
void allocateMemory(Memory& mem, const CheckerState& symbols);

}  // namespace tessel
