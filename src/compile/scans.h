// Where the forward scans of the control statements stop, worked out for a
// whole token store at once: a false IF runs on after its own ELSE or
// ENDIF, a taken branch's ELSE after its own ENDIF, a false WHILE after its
// own WEND, and a FUNC met outside a call after the first ENDFN. Each scan
// counts the nesting of its own keywords only, from the token after the
// position it starts at.
//
// Only the block keywords are kept (their positions and what each scan
// finds from them), so the tables grow with the number of block keywords,
// not of tokens; a scan from any position is a binary search away.
#pragma once

#include <cstdint>
#include <vector>

#include "lexer/token_store.h"

namespace tessel {

// The result of a scan that reaches the end of the token store.
inline constexpr int32_t kScanEnd = -1;

class BlockScans {
   public:
    explicit BlockScans(const TokenStore& tokens);

    // From a false IF's condition at `from` to its own ELSE or ENDIF.
    int32_t ifEnd(int32_t from) const { return find(ifs_, from, false); }
    // From an ELSE at `from` to its own ENDIF.
    int32_t elseEnd(int32_t from) const { return find(ifs_, from, true); }
    // From a false WHILE's condition at `from` to its own WEND.
    int32_t whileEnd(int32_t from) const { return find(whiles_, from, false); }
    // From a FUNC at `from` to the first ENDFN after it.
    int32_t funcEnd(int32_t from) const;

   private:
    // The keywords of one kind of block, in token order, and for each the
    // scan's stop from just before it: the first closing or middle keyword
    // at the same level, at or after it (its index in `at`, -1: none).
    struct Blocks {
        std::vector<int32_t> at;    // token index of each block keyword
        std::vector<int32_t> stop;
        int32_t middle = -1;        // the middle keyword's class (-1: none)
    };
    // From the block keywords at `at`, the blocks of one kind.
    static void build(const TokenStore& tokens, const std::vector<int32_t>& at, int32_t open, int32_t middle,
                      int32_t close, Blocks& b);
    // The stop from `from`; with `pastMiddle`, middle keywords are passed
    // over (a scan for the closing keyword only).
    int32_t find(const Blocks& b, int32_t from, bool pastMiddle) const;

    const TokenStore& tokens_;

    Blocks ifs_;     // IF, ELSE, ENDIF
    Blocks whiles_;  // WHILE, WEND
    std::vector<int32_t> endfns_;  // every ENDFN
};

}  // namespace tessel
