// Run-time memory: the values of variables and array elements, and the
// compiled code's temporaries. The checker only names and types variables
// and arrays; the memory is allocated when a run is prepared and belongs to
// the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessel {

struct CheckerState;

// The elements of one array (only the vector of its type is filled).
struct ArrayElements {
    std::vector<float> nums;        // number arrays
    std::vector<std::string> strs;  // string arrays
    std::vector<int32_t> ptrs;      // pointer arrays
};

struct Memory {
    // Indexed by variable number, like the checker's table (entry 0 is a
    // placeholder); only the entry of the variable's type is used. The
    // number and string registers go on after the variables with the
    // compiled code's temporaries.
    std::vector<float> num;          // number variables, then temporaries
    std::vector<int32_t> ptr;        // pointer variables, then integer temporaries
    std::vector<std::string> str;    // string variables, then temporaries
    std::vector<ArrayElements> arrays;  // by array number (entry 0 a placeholder)
    bool allocated = false;  // sized for the checked program
};

// Gives every declared variable its value and every array its element
// storage (the size the checker worked out), all zero or empty, and makes
// room for the temporaries of each kind.
void allocateMemory(Memory& mem, const CheckerState& symbols, size_t numTemps = 0, size_t strTemps = 0,
                    size_t intTemps = 0);

}  // namespace tessel
