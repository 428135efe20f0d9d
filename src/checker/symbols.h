// Symbol tables and per-token binding tables built by the checker and read by
// the executor and the evaluator. Nothing here changes after checking: the
// values of variables and elements live in the run's memory (vm/memory.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "checker/keywords.h"

namespace tessel {

// Type codes reuse the declaring keywords' statement codes.
enum : int32_t { TYPE_NONE = 0, TYPE_STR = KW_STR, TYPE_NUM = KW_VAR, TYPE_PTR = KW_PTR };

struct Variable {
    std::string name;          // lower-cased declared name
    int32_t type = TYPE_NONE;  // TYPE_NUM, TYPE_STR or TYPE_PTR
};

// Every array owns element storage of at least kMinArrayElements elements and
// at least its declared size plus one. Reads outside the storage give 0 or "",
// stores outside it are ignored.
inline constexpr int32_t kMinArrayElements = 4096;

struct ArrayInfo {
    std::string name;          // lower-cased declared name
    int32_t type = TYPE_NONE;  // TYPE_NUM, TYPE_STR or TYPE_PTR
    int32_t declaredSize = 0;  // rounded value of the token after '['
    int64_t elements = 0;      // element storage the run gives it
};

// Event-handler slots: the token index of the message-name token of the last
// WINMSG block registered for each message, 0 when there is none.
enum EventSlot : int {
    SLOT_MOUSEMOVE = 0,
    SLOT_KEYDOWN,
    SLOT_TIMER,
    SLOT_COMMAND,
    SLOT_KEYUP,
    SLOT_LBUTTONDOWN,
    SLOT_RBUTTONDOWN,
    SLOT_COUNT
};

struct CheckerState {
    // Variables and arrays are numbered from 1; entry 0 is a placeholder.
    std::vector<Variable> vars{Variable{}};
    std::vector<ArrayInfo> arrays{ArrayInfo{}};

    // Per-token tables, indexed like the token store (sized count + padding).
    std::vector<int32_t> tokVar;       // variable number bound to a token
    std::vector<int32_t> tokArr;       // array number bound to a token
    std::vector<int32_t> callTarget;   // function name token a call jumps to
    std::vector<int32_t> gotoTarget;   // at the name after GOTO: the label's name token

    // Element storage all arrays of one script may take together; a script
    // that asks for more is reported instead of exhausting memory.
    int64_t arrayStorageBudget = int64_t{1} << 30;

    std::array<int32_t, SLOT_COUNT> slots{};   // event-handler slots
    std::array<int32_t, BC_COUNT> counters{};  // block counters

    int32_t varCount() const { return static_cast<int32_t>(vars.size()) - 1; }
    int32_t arrayCount() const { return static_cast<int32_t>(arrays.size()) - 1; }
};

}  // namespace tessel
