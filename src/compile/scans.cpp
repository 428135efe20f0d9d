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
void BlockScans::build(const TokenStore& tokens, const std::vector<int32_t>& at, int32_t open, int32_t middle,
                       int32_t close, Blocks& b) {
    b.middle = middle;
    std::vector<int32_t> levelBefore;
    int32_t level = 0, lowest = 0, highest = 0;
    for (const int32_t i : at) {
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
    std::vector<int32_t> next(static_cast<size_t>(highest - lowest) + 1, kScanEnd);
    for (size_t k = n; k-- > 0;) {
        const size_t l = static_cast<size_t>(levelBefore[k] - lowest);
        const int32_t c = tokens.classAt(b.at[k]);
        if (c == close || c == middle) next[l] = static_cast<int32_t>(k);
        b.stop[k] = next[l];
    }
}

BlockScans::BlockScans(const TokenStore& tokens) : tokens_(tokens) {
    // One pass finds every block keyword; each kind of block reads its own.
    std::vector<int32_t> keywords;
    const uint8_t* classes = tokens.classes();
    for (int32_t i = 1; i <= tokens.count; ++i) {
        switch (classes[i]) {
            case KW_IF: case KW_ELSE: case KW_ENDIF: case KW_WHILE: case KW_WEND: keywords.push_back(i); break;
            case KW_ENDFN: endfns_.push_back(i); break;
            default: break;
        }
    }
    build(tokens, keywords, KW_IF, KW_ELSE, KW_ENDIF, ifs_);
    build(tokens, keywords, KW_WHILE, kNoMiddle, KW_WEND, whiles_);
}

int32_t BlockScans::find(const Blocks& b, int32_t from, bool pastMiddle) const {
    auto it = std::upper_bound(b.at.begin(), b.at.end(), from);
    if (it == b.at.end()) return kScanEnd;
    int32_t k = b.stop[static_cast<size_t>(it - b.at.begin())];
    // A middle keyword has the level of its block, as the keywords after it:
    // the stop from the keyword after it is the next at that level.
    while (pastMiddle && k >= 0 && tokens_.classAt(b.at[static_cast<size_t>(k)]) == b.middle) {
        if (static_cast<size_t>(k) + 1 == b.at.size()) return kScanEnd;
        k = b.stop[static_cast<size_t>(k) + 1];
    }
    return k < 0 ? kScanEnd : b.at[static_cast<size_t>(k)];
}

int32_t BlockScans::funcEnd(int32_t from) const {
    auto it = std::upper_bound(endfns_.begin(), endfns_.end(), from);
    return it == endfns_.end() ? kScanEnd : *it;
}

}  // namespace tessel
