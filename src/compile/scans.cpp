#include "compile/scans.h"

#include <algorithm>

#include "checker/keywords.h"

namespace tessel {

namespace {

// WHILE blocks have no middle keyword: no token has this class.
constexpr int32_t kNoMiddle = -1;

}  // namespace

// A scan from `from` counts, from the token after it, one more level at
// each opening keyword and one fewer at each closing one, and stops at the
// first closing (or middle) keyword met at its own level. With L(i) the
// count of opening minus closing keywords up to token i, that is the first
// stop keyword s after `from` with L(s - 1) == L(from) (the level cannot
// pass below L(from) without first meeting such a stop). L(from) is the
// level just before the first block keyword after `from`, so each block
// keyword gets its answer once, in one backward pass.
void BlockScans::build(const TokenStore& tokens, int32_t open, int32_t middle, int32_t close, Blocks& b) {
    std::vector<int32_t> levelBefore;
    int32_t level = 0, lowest = 0, highest = 0;
    for (int32_t i = 1; i <= tokens.count; ++i) {
        const int32_t c = tokens.classAt(i);
        if (c != open && c != close && c != middle) continue;
        b.at.push_back(i);
        levelBefore.push_back(level);
        if (c == open) ++level;
        if (c == close) --level;
        lowest = std::min(lowest, level);
        highest = std::max(highest, level);
    }
    const size_t n = b.at.size();
    b.stop.assign(n, kScanEnd);
    b.stopElse.assign(n, kScanEnd);
    std::vector<int32_t> next(static_cast<size_t>(highest - lowest) + 1, kScanEnd);
    std::vector<int32_t> nextElse(next.size(), kScanEnd);
    for (size_t k = n; k-- > 0;) {
        const size_t l = static_cast<size_t>(levelBefore[k] - lowest);
        const int32_t c = tokens.classAt(b.at[k]);
        if (c == close) next[l] = nextElse[l] = b.at[k];
        if (c == middle) nextElse[l] = b.at[k];
        b.stop[k] = next[l];
        b.stopElse[k] = nextElse[l];
    }
}

BlockScans::BlockScans(const TokenStore& tokens) {
    build(tokens, KW_IF, KW_ELSE, KW_ENDIF, ifs_);
    build(tokens, KW_WHILE, kNoMiddle, KW_WEND, whiles_);
    for (int32_t i = 1; i <= tokens.count; ++i)
        if (tokens.classAt(i) == KW_ENDFN) endfns_.push_back(i);
}

int32_t BlockScans::find(const Blocks& b, int32_t from, bool withMiddle) {
    auto it = std::upper_bound(b.at.begin(), b.at.end(), from);
    if (it == b.at.end()) return kScanEnd;
    const size_t k = static_cast<size_t>(it - b.at.begin());
    return withMiddle ? b.stopElse[k] : b.stop[k];
}

int32_t BlockScans::funcEnd(int32_t from) const {
    auto it = std::upper_bound(endfns_.begin(), endfns_.end(), from);
    return it == endfns_.end() ? kScanEnd : *it;
}

}  // namespace tessel
