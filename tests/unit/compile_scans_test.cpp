// The block scans worked out once for the compiler agree, from every start
// position, with scanning forward token by token as the language defines
// it: a false IF stops at the first ELSE or ENDIF at its own level, an ELSE
// at its own ENDIF, a false WHILE at its own WEND, a FUNC at the next
// ENDFN. The token streams are random (blocks nested, unbalanced, closed
// before they open), so the levels go below zero too.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "checker/keywords.h"
#include "compile/scans.h"

namespace tessel {
namespace {

TokenStore storeOf(const std::vector<int32_t>& classes) {
    TokenStore t;
    t.reset(std::string(classes.size() + 1, ' '));
    for (size_t i = 0; i < classes.size(); ++i) t.append(static_cast<uint32_t>(i), classes[i]);
    t.count = static_cast<int32_t>(classes.size());
    return t;
}

// The scans as the token walker makes them.
int32_t walkIf(const TokenStore& t, int32_t from, bool stopAtElse) {
    int32_t depth = 0;
    for (int32_t j = from + 1; j <= t.count; ++j) {
        const int32_t c = t.classAt(j);
        if (c == KW_IF) ++depth;
        else if (c == KW_ENDIF && depth-- == 0) return j;
        else if (c == KW_ELSE && depth == 0 && stopAtElse) return j;
    }
    return kScanEnd;
}

int32_t walkWhile(const TokenStore& t, int32_t from) {
    int32_t nesting = 1;
    for (int32_t j = from + 1; j <= t.count; ++j) {
        if (t.classAt(j) == KW_WHILE) ++nesting;
        if (t.classAt(j) == KW_WEND && --nesting == 0) return j;
    }
    return kScanEnd;
}

int32_t walkFunc(const TokenStore& t, int32_t from) {
    for (int32_t j = from + 1; j <= t.count; ++j)
        if (t.classAt(j) == KW_ENDFN) return j;
    return kScanEnd;
}

TEST(BlockScans, AgreeWithTheTokenByTokenScansFromEveryPosition) {
    const int32_t kinds[] = {KW_IF, KW_ELSE, KW_ENDIF, KW_WHILE, KW_WEND, KW_ENDFN, KW_FUNC, CLS_NAME, CLS_EOL};
    uint64_t state = 42;
    auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    };
    for (int round = 0; round < 300; ++round) {
        std::vector<int32_t> classes(1 + next() % 60);
        for (int32_t& c : classes) c = kinds[next() % std::size(kinds)];
        const TokenStore t = storeOf(classes);
        const BlockScans scans(t);
        for (int32_t from = 0; from <= t.count + 1; ++from) {
            ASSERT_EQ(scans.ifEnd(from), walkIf(t, from, true)) << "round " << round << " from " << from;
            ASSERT_EQ(scans.elseEnd(from), walkIf(t, from, false)) << "round " << round << " from " << from;
            ASSERT_EQ(scans.whileEnd(from), walkWhile(t, from)) << "round " << round << " from " << from;
            ASSERT_EQ(scans.funcEnd(from), walkFunc(t, from)) << "round " << round << " from " << from;
        }
    }
}

}  // namespace
}  // namespace tessel
