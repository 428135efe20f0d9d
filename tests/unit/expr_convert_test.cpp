// Number to text, text to number, number to integer and the generators.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "expr/ops.h"
#include "vm/expr_state.h"

namespace tessel {
namespace {

TEST(NumberToText, FixedLayout) {
    EXPECT_EQ(numberToText(0.1f), "0.1");
    EXPECT_EQ(numberToText(1.0f / 3.0f), "0.333333");
    EXPECT_EQ(numberToText(2.0f / 3.0f), "0.666667");
    EXPECT_EQ(numberToText(100.1f), "100.099998");
    EXPECT_EQ(numberToText(12.5f), "12.5");
    EXPECT_EQ(numberToText(255.0f), "255");
    EXPECT_EQ(numberToText(1234567.0f), "1234567");
    EXPECT_EQ(numberToText(123456789012.0f), "123456790528");
    EXPECT_EQ(numberToText(0.0001234f), "0.000123");
    EXPECT_EQ(numberToText(-2.75f), "-2.75");
    EXPECT_EQ(numberToText(0.05f), "0.05");
    EXPECT_EQ(numberToText(2.5f), "2.5");
    EXPECT_EQ(numberToText(1.0f), "1");
    EXPECT_EQ(numberToText(10.0f), "10");
    EXPECT_EQ(numberToText(0.001f), "0.001");
}

TEST(NumberToText, LargeIntegersUseFewerDecimals) {
    EXPECT_EQ(numberToText(2e17f), "199999996861349888");
    EXPECT_EQ(numberToText(1e16f), "10000000272564224");
    EXPECT_EQ(numberToText(16777217.0f), "16777216");
    EXPECT_EQ(numberToText(1e10f), "10000000000");
    EXPECT_EQ(numberToText(1e18f), "999999984306749440");  // just below 10^18: e = 17
}

TEST(NumberToText, ScientificLayout) {
    EXPECT_EQ(numberToText(1e20f), "1E+20");
    EXPECT_EQ(numberToText(0.00001f), "10E-06");
    EXPECT_EQ(numberToText(0.0001f), "10E-05");
    EXPECT_EQ(numberToText(1e19f), "10E+18");  // rounding carries, e is kept
    EXPECT_EQ(numberToText(0.0000004f), "4E-07");
    EXPECT_EQ(numberToText(-3.5e-7f), "-3.5E-07");
    EXPECT_EQ(numberToText(std::numeric_limits<float>::max()), "3.402823E+38");
    EXPECT_EQ(numberToText(std::numeric_limits<float>::denorm_min()), "1.401298E-45");
}

TEST(NumberToText, SpecialValues) {
    EXPECT_EQ(numberToText(0.0f), "0");
    EXPECT_EQ(numberToText(-0.0f), "-0");
    EXPECT_EQ(numberToText(INFINITY), "#INF");
    EXPECT_EQ(numberToText(-INFINITY), "#-INF");
    EXPECT_EQ(numberToText(NAN), "#qNAN");
}

TEST(TextToNumber, DecimalPrefixes) {
    EXPECT_EQ(textToNumber("  42abc"), 42.0);
    EXPECT_EQ(textToNumber("-3.5e2"), -350.0);
    EXPECT_EQ(textToNumber("1e+5"), 1.0);
    EXPECT_EQ(textToNumber("+5"), 0.0);
    EXPECT_EQ(textToNumber("abc"), 0.0);
    EXPECT_EQ(textToNumber(""), 0.0);
    EXPECT_EQ(textToNumber("   "), 0.0);
    EXPECT_FLOAT_EQ(static_cast<float>(textToNumber("1.2.3")), 1.2f);
    EXPECT_EQ(textToNumber("5-3"), 5.0);
    EXPECT_EQ(textToNumber(".5"), 0.5);
    EXPECT_EQ(textToNumber("2e-3"), 0.002);
    EXPECT_EQ(textToNumber("7e"), 7.0);
    EXPECT_EQ(textToNumber("\t\n 9"), 9.0);
    EXPECT_TRUE(std::signbit(textToNumber("-")));
    EXPECT_FALSE(std::signbit(textToNumber(".")));
    EXPECT_TRUE(std::isinf(textToNumber("1e99999999999999999999")));
    EXPECT_EQ(textToNumber("1e-99999999999999999999"), 0.0);
}

TEST(TextToNumber, RadixForms) {
    EXPECT_EQ(textToNumber("&HFF"), 255.0);
    EXPECT_EQ(textToNumber("&hff"), 255.0);
    EXPECT_EQ(textToNumber("&X1f"), 31.0);
    EXPECT_EQ(textToNumber("&O17"), 15.0);
    EXPECT_EQ(textToNumber("&B101"), 5.0);
    EXPECT_EQ(textToNumber("0x1F"), 31.0);
    EXPECT_EQ(textToNumber("0b101"), 5.0);
    EXPECT_EQ(textToNumber("0z5"), 0.0);
    EXPECT_EQ(textToNumber("1FH"), 31.0);
    EXPECT_EQ(textToNumber("17o"), 15.0);
    EXPECT_EQ(textToNumber("1FH, 3"), 31.0);
    EXPECT_EQ(textToNumber("&HFFFFFFFFFFFFFFFF"), -1.0);  // 64-bit two's complement
    EXPECT_EQ(textToNumber("&Q1"), 0.0);
}

TEST(TextToNumber, HashForms) {
    EXPECT_EQ(textToNumber("#INF"), HUGE_VAL);
    EXPECT_EQ(textToNumber("#inf"), HUGE_VAL);
    EXPECT_EQ(textToNumber("#-INF"), -HUGE_VAL);
    EXPECT_TRUE(std::isnan(textToNumber("#qNAN")));
    EXPECT_TRUE(std::isnan(textToNumber("#")));
}

TEST(TextToNumber, RoundTripsPrintedNumbers) {
    for (float f : {0.1f, 1.0f / 3.0f, 100.1f, 12.5f, -2.75f, 1234567.0f})
        EXPECT_NEAR(textToNumber(numberToText(f)), f, 1e-6 + std::fabs(f) * 1e-6);
}

TEST(ToInt32, RoundsHalfToEven) {
    EXPECT_EQ(toInt32(2.5), 2);
    EXPECT_EQ(toInt32(3.5), 4);
    EXPECT_EQ(toInt32(-2.5), -2);
    EXPECT_EQ(toInt32(-2.7), -3);
    EXPECT_EQ(toInt32(0.49999999999999994), 0);
    EXPECT_EQ(toInt32(-0.0), 0);
}

TEST(ToInt32, OutOfRangeGivesMinimum) {
    EXPECT_EQ(toInt32(1e10), INT32_MIN);
    EXPECT_EQ(toInt32(NAN), INT32_MIN);
    EXPECT_EQ(toInt32(INFINITY), INT32_MIN);
    EXPECT_EQ(toInt32(-INFINITY), INT32_MIN);
    EXPECT_EQ(toInt32(2147483647.0), 2147483647);
    EXPECT_EQ(toInt32(2147483647.5), INT32_MIN);
    EXPECT_EQ(toInt32(-2147483648.5), INT32_MIN + 0);
    EXPECT_EQ(toInt32(-2147483649.0), INT32_MIN);
    EXPECT_EQ(toInt32(2147483648.0), INT32_MIN);
}

TEST(Generators, RndSequenceIsFixed) {
    ExprState ex;
    EXPECT_EQ(numberToText(rndStep(ex.rndState)), "0.657777");
    EXPECT_EQ(numberToText(rndStep(ex.rndState)), "0.541534");
    EXPECT_EQ(numberToText(rndStep(ex.rndState)), "0.887783");
    for (int i = 0; i < 10000; ++i) {
        float r = rndStep(ex.rndState);
        ASSERT_GE(r, 0.0f);
        ASSERT_LE(r, 1.0f);
    }
}

TEST(Generators, RandStaysInItsRange) {
    ExprState ex;
    ex.randState = 12345;
    bool seen[11] = {};
    for (int i = 0; i < 2000; ++i) {
        int32_t r = randStep(ex.randState, 10);
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 10);
        seen[r] = true;
        ASSERT_EQ(randStep(ex.randState, 0), 0);
        int32_t neg = randStep(ex.randState, -5);
        ASSERT_GE(neg, -5);
        ASSERT_LE(neg, 0);
    }
    for (bool s : seen) EXPECT_TRUE(s);
    int32_t extreme = randStep(ex.randState, INT32_MIN);
    EXPECT_LE(extreme, 0);
    EXPECT_GE(randStep(ex.randState, INT32_MAX), 0);
}

}  // namespace
}  // namespace tessel
