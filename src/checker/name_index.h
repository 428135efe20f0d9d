// A name index over the token store's own text: per name, the first token
// that spelled it (the declaring token, whose binding says what the name
// stands for), so a script of a million names costs eight bytes a slot and
// no copy of any name.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "lexer/token_store.h"

namespace tessel {

class NameIndex {
   public:
    explicit NameIndex(const TokenStore& tokens) : tokens_(&tokens) {}

    // Records `token` for the name it spells, unless that name (compared
    // ignoring ASCII case) already has a token: the first wins, as a search
    // from the start of a table would find it.
    void addFirst(int32_t token);
    // The token recorded for `name` (any case), or 0.
    int32_t firstToken(std::string_view name) const;

   private:
    struct Slot {
        int32_t token = 0;  // the token spelling the name; 0: empty slot
        uint32_t hash = 0;  // of the folded name: most mismatches end here
    };
    static uint32_t hashFolded(std::string_view name);
    size_t slotOf(std::string_view name, uint32_t hash) const;
    void grow();

    const TokenStore* tokens_;
    std::vector<Slot> slots_;  // open addressing, a power of two in size
    size_t used_ = 0;
};

// ASCII case-insensitive equality (other bytes compared as they are).
bool equalFolded(std::string_view a, std::string_view b);

}  // namespace tessel
