// Symbol tables and per-token binding tables built by the checker and read by
// the executor and the evaluator. Nothing here changes after checking: the
// values of variables and elements live in the run's memory (vm/memory.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "checker/keywords.h"

namespace tessel {

// Type codes reuse the declaring keywords' statement codes.
enum : int32_t { TYPE_NONE = 0, TYPE_STR = KW_STR, TYPE_NUM = KW_VAR, TYPE_PTR = KW_PTR };

struct Variable {
    int32_t nameToken = 0;     // the declaring name token (its text, any case)
    int32_t type = TYPE_NONE;  // TYPE_NUM, TYPE_STR or TYPE_PTR
};

// Every array owns element storage of at least kMinArrayElements elements and
// at least its declared size plus one. Reads outside the storage give 0 or "",
// stores outside it are ignored.
inline constexpr int32_t kMinArrayElements = 4096;

struct ArrayInfo {
    int32_t nameToken = 0;     // the declaring name token (its text, any case)
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

// What the checker bound one token to. Most tokens are bound to nothing;
// a name is bound to one variable, array, function or label, so one table
// holds every binding: the entry's number shifted left, and its kind below.
enum BindingKind : uint32_t { BIND_NONE = 0, BIND_VAR, BIND_ARRAY, BIND_CALL, BIND_GOTO };
inline constexpr uint32_t kBindingKindBits = 3;

struct CheckerState {
    // Variables and arrays are numbered from 1; entry 0 is a placeholder.
    std::vector<Variable> vars{Variable{}};
    std::vector<ArrayInfo> arrays{ArrayInfo{}};

    // Per token, indexed like the token store (sized count + padding): what
    // the token is bound to (see BindingKind).
    std::vector<uint32_t> binding;
    // A second binding of another kind: the name of a STR or PTR array
    // declaration is a variable and an array at once. Token -> binding.
    std::unordered_map<int32_t, uint32_t> secondBinding;

    // Element storage all arrays of one script may take together; a script
    // that asks for more is reported instead of exhausting memory.
    int64_t arrayStorageBudget = int64_t{1} << 30;

    std::array<int32_t, SLOT_COUNT> slots{};   // event-handler slots
    std::array<int32_t, BC_COUNT> counters{};  // block counters

    int32_t varCount() const { return static_cast<int32_t>(vars.size()) - 1; }
    int32_t arrayCount() const { return static_cast<int32_t>(arrays.size()) - 1; }

    // The variable, array, called function's name token or GOTO's label name
    // token bound to token i; 0 when it is bound to none of that kind.
    int32_t varAt(int64_t i) const { return bound(i, BIND_VAR); }
    int32_t arrayAt(int64_t i) const { return bound(i, BIND_ARRAY); }
    int32_t callAt(int64_t i) const { return bound(i, BIND_CALL); }
    int32_t gotoAt(int64_t i) const { return bound(i, BIND_GOTO); }

    // Binds token i (a later binding of the same kind replaces the earlier).
    void bind(int64_t i, BindingKind kind, int32_t number);

   private:
    static uint32_t kindOf(uint32_t b) { return b & ((1u << kBindingKindBits) - 1); }
    int32_t bound(int64_t i, BindingKind kind) const;
};

}  // namespace tessel
