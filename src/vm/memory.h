// Run-time memory: the values of variables and array elements, and the
// compiled code's temporaries. The checker only names and types variables
// and arrays; the memory is allocated when a run is prepared and belongs to
// the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vm/text.h"

namespace tessel {

struct CheckerState;

// The elements of one array (only the vector of its type is filled).
struct ArrayElements {
    std::vector<float> nums;        // number arrays
    std::vector<Text> strs;         // string arrays
    std::vector<int32_t> ptrs;      // pointer arrays
};

// What the texts of all string variables and elements of one run may hold
// together. Each text is bounded on its own too (kMaxStringBytes); without
// a bound on their sum, a script that fills an array with long texts would
// take the whole machine before the system refused it memory.
inline constexpr int64_t kStringBudget = int64_t{1} << 30;

struct Memory {
    // Indexed by variable number, like the checker's table (entry 0 is a
    // placeholder); only the entry of the variable's type is used. Each
    // file ends after the last variable of its kind, then holds the
    // compiled code's temporaries of that kind.
    std::vector<float> num;          // number variables, then temporaries
    std::vector<int32_t> ptr;        // pointer variables, then integer temporaries
    std::vector<Text> str;           // string variables, then temporaries
    std::vector<ArrayElements> arrays;  // by array number (entry 0 a placeholder)
    bool allocated = false;  // sized for the checked program
    int64_t stringBytes = 0;                // bytes the stored texts hold now
    int64_t stringBudget = kStringBudget;   // what they may hold together
};

// Whether a stored text may change from `before` to `after` bytes within
// the string budget; when it may, the change is counted.
bool chargeString(Memory& mem, size_t before, size_t after);

// Stores `value` into the string variable or element `slot` when the budget
// allows it; false (the slot unchanged) when it would go past the budget.
bool storeString(Memory& mem, Text& slot, std::string_view value);

// Gives every declared variable its value and every array its element
// storage (the size the checker worked out), all zero or empty. The compiled
// code names how many registers of each kind it uses (its variables of that
// kind and its temporaries); 0 gives a register for every variable number.
void allocateMemory(Memory& mem, const CheckerState& symbols, size_t numRegisters = 0, size_t strRegisters = 0,
                    size_t intRegisters = 0);

}  // namespace tessel
