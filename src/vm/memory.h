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

// What the texts of all string variables and elements of one run may hold
// together. Each text is bounded on its own too (kMaxStringBytes); without
// a bound on their sum, a script that fills an array with long texts would
// take the whole machine before the system refused it memory.
inline constexpr int64_t kStringBudget = int64_t{1} << 30;

struct Memory {
    // Indexed by variable and array number, like the checker's tables; entry
    // 0 is a placeholder.
    std::vector<VariableValue> vars;
    std::vector<ArrayElements> arrays;
    bool allocated = false;  // sized for the checked program
    int64_t stringBytes = 0;                // bytes the stored texts hold now
    int64_t stringBudget = kStringBudget;   // what they may hold together
};

// Whether a stored text may change from `before` to `after` bytes within
// the string budget; when it may, the change is counted.
bool chargeString(Memory& mem, size_t before, size_t after);

// Stores `value` into the string variable or element `slot` when the budget
// allows it; false (the slot unchanged) when it would go past the budget.
bool storeString(Memory& mem, std::string& slot, std::string&& value);

// Gives every declared variable its value and every array its element
// storage (the size the checker worked out), all zero or empty.
void allocateMemory(Memory& mem, const CheckerState& symbols);

}  // namespace tessel
