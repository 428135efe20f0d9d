// "%" is the exact quotient truncated toward zero, its sign kept on a zero:
// the quick way for whole operands below 2^24 and the long way for the rest
// must both give it, over many more operand pairs than a script could list.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "expr/ops.h"

namespace tessel {
namespace {

TEST(Quotient, SmallWholeOperandsTruncateWithTheSignOfTheQuotient) {
    for (int x = -300; x <= 300; ++x) {
        for (int y = -40; y <= 40; ++y) {
            if (y == 0) continue;
            float q = truncatedQuotient(static_cast<float>(x), static_cast<float>(y));
            ASSERT_EQ(q, static_cast<float>(x / y)) << x << " % " << y;
            bool negative = x == 0 ? y < 0 : (x < 0) != (y < 0);
            ASSERT_EQ(std::signbit(q), negative) << x << " % " << y;
        }
    }
}

// Whole operands anywhere below 2^24 (a fixed pseudo-random sample), where
// the quotient is taken in single precision.
TEST(Quotient, WholeOperandsBelowTwoToTheTwentyFour) {
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int k = 0; k < 100000; ++k) {
        int32_t x = static_cast<int32_t>(next() % 33554431u) - 16777215;
        uint32_t bits = next() % 25;  // divisors of every size
        int32_t y = static_cast<int32_t>(next() % (1u << bits)) + 1;
        if (next() & 1) y = -y;
        float q = truncatedQuotient(static_cast<float>(x), static_cast<float>(y));
        ASSERT_EQ(q, static_cast<float>(x / y)) << x << " % " << y;
    }
}

// Whole operands near 2^24, fractions, and quotients far past 2^24, against
// a long double reference corrected by the exact remainder; the operator as
// folded constants compute it gives the same.
TEST(Quotient, FractionsAndLargeQuotientsTruncateTheExactQuotient) {
    const float samples[] = {16777215.0f, 16777216.0f, 16777214.0f, 8388607.5f, 3.0f,  7.0f,
                             0.1f,        0.3f,        1e-3f,       2.5f,       1e10f, 3e7f};
    for (float x : samples) {
        for (float y : samples) {
            for (float sx : {1.0f, -1.0f}) {
                float xs = x * sx;
                long double t = std::trunc(static_cast<long double>(xs) / y);
                long double r =
                    std::fma(-t, static_cast<long double>(y), static_cast<long double>(xs));
                if (r != 0 && std::signbit(r) != std::signbit(xs)) t -= std::copysign(1.0L, t);
                ASSERT_EQ(truncatedQuotient(xs, y), static_cast<float>(t)) << xs << " % " << y;
                ASSERT_EQ(arith(AOP_QUO, xs, y), static_cast<float>(t)) << xs << " % " << y;
            }
        }
    }
}

}  // namespace
}  // namespace tessel
