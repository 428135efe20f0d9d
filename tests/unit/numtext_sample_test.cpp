// The integer number formatting against the long-double reference over a
// large fixed sample of float bit patterns (tools/numtext_check does all 2^32).
#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/convert.h"
#include "support/convert_reference.h"

namespace tessel {
namespace {

// Collects the patterns whose texts differ; reports the first few.
class Comparison {
public:
    void check(float value) {
        ++checked_;
        std::string fast = numberToText(value);
        std::string reference = numberToTextReference(value);
        if (fast == reference) return;
        if (++mismatches_ <= 8) {
            char line[160];
            std::snprintf(line, sizeof line, "0x%08" PRIx32 " (%.9g): \"%s\" but reference \"%s\"\n",
                          std::bit_cast<uint32_t>(value), static_cast<double>(value), fast.c_str(),
                          reference.c_str());
            report_ += line;
        }
    }
    void checkBits(uint32_t bits) { check(std::bit_cast<float>(bits)); }
    // The value and its `count` neighbours on each side, both signs.
    void checkAround(float value, int count) {
        uint32_t bits = std::bit_cast<uint32_t>(std::fabs(value));
        for (int d = -count; d <= count; ++d) {
            uint32_t b = bits + static_cast<uint32_t>(d);
            checkBits(b);
            checkBits(b | 0x80000000u);
        }
    }
    void expectNoMismatch() const {
        EXPECT_GT(checked_, 0u);
        EXPECT_EQ(mismatches_, 0u) << "of " << checked_ << " values:\n" << report_;
    }

private:
    uint64_t checked_ = 0, mismatches_ = 0;
    std::string report_;
};

// Every 8192nd pattern (half a million), each at a different offset inside its stride so that
// the low mantissa bits vary too: every binade of both signs, the
// subnormals, infinities and NaNs.
TEST(NumberToTextSample, StridedPatternsMatchReference) {
    Comparison c;
    constexpr uint32_t kStride = 1u << 13;
    for (uint32_t i = 0; i < (1u << 19); ++i) {
        uint32_t offset = (i * 2654435761u >> 7) & (kStride - 1);
        c.checkBits(i * kStride + offset);
    }
    c.expectNoMismatch();
}

TEST(NumberToTextSample, SmallIntegersMatchReference) {
    Comparison c;
    for (int n = 0; n <= 70000; ++n) {
        c.check(static_cast<float>(n));
        c.check(static_cast<float>(-n));
    }
    // Around 2^24, where floats stop holding every integer.
    c.checkAround(16777216.0f, 64);
    c.expectNoMismatch();
}

// Powers of ten decide the layout (fixed or exponent, how many decimals) and
// where rounding carries to one more digit.
TEST(NumberToTextSample, PowersOfTenAndNeighboursMatchReference) {
    Comparison c;
    for (int k = -45; k <= 38; ++k) {
        c.checkAround(static_cast<float>(std::pow(10.0L, static_cast<long double>(k))), 40);
        // Just below a power of ten, the six-decimal rounding carries.
        c.checkAround(static_cast<float>(0.9999995L * std::pow(10.0L, static_cast<long double>(k))), 40);
    }
    c.expectNoMismatch();
}

// j/128 with j odd times 10^6 ends in exactly .5: ties to even decide.
TEST(NumberToTextSample, HalfwayCasesMatchReference) {
    Comparison c;
    for (int j = 1; j < (1 << 23); j += 2 * 37) c.check(static_cast<float>(j) / 128.0f);
    for (int j = 1; j < 4096; j += 2) {
        c.check(static_cast<float>(j) / 128.0f);
        c.check(-static_cast<float>(j) / 128.0f);
    }
    c.expectNoMismatch();
}

}  // namespace
}  // namespace tessel
