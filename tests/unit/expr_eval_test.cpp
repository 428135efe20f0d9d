// Expressions as the compiled program computes them: numeric and string
// expressions, conditions, elements and the nesting limit; and where the
// reading of an expression ends.
#include <cmath>

#include "expr_fixture.h"

namespace tessel::testing {
namespace {

using NumericExpr = ExprFixture;
using StringExpr = ExprFixture;
using Conditions = ExprFixture;
using Elements = ExprFixture;

TEST_F(NumericExpr, PrecedenceAndAssociativity) {
    EXPECT_EQ(num("1+2*3"), 7.0f);
    EXPECT_EQ(num("(1+2)*3"), 9.0f);
    EXPECT_EQ(num("[1+2]*3"), 9.0f);
    EXPECT_EQ(num("10-2-3"), 5.0f);
    EXPECT_EQ(num("2*3^2"), 36.0f);
    EXPECT_EQ(num("2^3*2"), 16.0f);
    EXPECT_EQ(num("100/8%3"), 4.0f);
}

TEST_F(NumericExpr, SignsFollowTheRulings) {
    EXPECT_EQ(num("-3"), -3.0f);
    EXPECT_EQ(num("-2^2"), -4.0f);
    EXPECT_EQ(num("2*-3"), -6.0f);
    EXPECT_EQ(num("2^-1"), 0.5f);
    EXPECT_EQ(num("(-3)*2"), -6.0f);
    EXPECT_EQ(num("INT -2.5"), -2.0f);
    EXPECT_EQ(num("ABS -3"), 3.0f);
    EXPECT_EQ(num("2*+3"), 6.0f);
    EXPECT_EQ(num("1--3"), 4.0f);
    EXPECT_EQ(numText("-"), "-0");
    EXPECT_EQ(numText("-0"), "-0");
    EXPECT_EQ(num("+5"), 5.0f);
}

TEST_F(NumericExpr, QuotientAndPower) {
    EXPECT_EQ(num("7%2"), 3.0f);
    EXPECT_EQ(num("-7%2"), -3.0f);
    EXPECT_EQ(num("7.5%2"), 3.0f);
    EXPECT_EQ(num("(-2)^3"), -8.0f);
    EXPECT_EQ(num("(-2)^2"), 4.0f);
    EXPECT_EQ(num("(-8)^(1/3)"), 2.0f);
    EXPECT_EQ(numText("(-2)^2.5"), "5.656854");
    EXPECT_EQ(numText("2^0.5"), "1.414214");
    EXPECT_EQ(num("0^2"), 0.0f);
    EXPECT_EQ(num("0^0"), 1.0f);
    EXPECT_EQ(numText("0^-1"), "#INF");
    EXPECT_EQ(num("10^2"), 100.0f);
    EXPECT_EQ(numText("1%0"), "#INF");
    EXPECT_EQ(numText("0%0"), "#qNAN");
}

// "%" is the exact quotient truncated toward zero, its sign kept on a zero.
TEST_F(NumericExpr, QuotientTruncatesTheExactQuotient) {
    int32_t a = declareVar("a", TYPE_NUM);
    int32_t b = declareVar("b", TYPE_NUM);
    num("a%b");
    auto quotient = [&](float x, float y) {
        numVar(a) = x;
        numVar(b) = y;
        return rerun();
    };
    for (int x = -300; x <= 300; ++x) {
        for (int y = -40; y <= 40; ++y) {
            if (y == 0) continue;
            float q = quotient(static_cast<float>(x), static_cast<float>(y));
            ASSERT_EQ(q, static_cast<float>(x / y)) << x << " % " << y;
            bool negative = x == 0 ? y < 0 : (x < 0) != (y < 0);
            ASSERT_EQ(std::signbit(q), negative) << x << " % " << y;
        }
    }
    // Whole operands anywhere below 2^24 (a fixed pseudo-random sample), where
    // the quotient is taken in single precision.
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int k = 0; k < 100000; ++k) {
        int32_t x = static_cast<int32_t>(next() % 33554431u) - 16777215;
        uint32_t bits = next() % 25;  // divisors of every size
        int32_t y = static_cast<int32_t>(next() % (1u << bits)) + 1;
        if (next() & 1) y = -y;
        float q = quotient(static_cast<float>(x), static_cast<float>(y));
        ASSERT_EQ(q, static_cast<float>(x / y)) << x << " % " << y;
    }
    // Whole operands near 2^24, fractions, and quotients far past 2^24,
    // against a long double reference corrected by the exact remainder.
    const float samples[] = {16777215.0f, 16777216.0f, 16777214.0f, 8388607.5f, 3.0f, 7.0f,
                             0.1f,        0.3f,        1e-3f,       2.5f,       1e10f, 3e7f};
    for (float x : samples) {
        for (float y : samples) {
            for (float sx : {1.0f, -1.0f}) {
                float xs = x * sx;
                long double t = std::trunc(static_cast<long double>(xs) / y);
                long double r = std::fma(-t, static_cast<long double>(y), static_cast<long double>(xs));
                if (r != 0 && std::signbit(r) != std::signbit(xs)) t -= std::copysign(1.0L, t);
                ASSERT_EQ(quotient(xs, y), static_cast<float>(t)) << xs << " % " << y;
            }
        }
    }
}

TEST_F(NumericExpr, ArithmeticNeverTraps) {
    EXPECT_EQ(numText("1/0"), "#INF");
    EXPECT_EQ(numText("-1/0"), "#-INF");
    EXPECT_EQ(numText("0/0"), "#qNAN");
    EXPECT_EQ(numText("SQR(-1)"), "#qNAN");
    EXPECT_EQ(numText("LOG(0)"), "#-INF");
    EXPECT_EQ(numText("1/3"), "0.333333");
}

TEST_F(NumericExpr, Functions) {
    EXPECT_EQ(num("INT 2.5"), 2.0f);
    EXPECT_EQ(num("INT 3.5"), 4.0f);
    EXPECT_EQ(num("INT 2.7"), 3.0f);
    EXPECT_EQ(num("INT 10000000000"), -2147483648.0f);
    EXPECT_EQ(numText("ROUND(-0.5)"), "-0");
    EXPECT_EQ(num("ROUND 2.5"), 2.0f);
    EXPECT_EQ(num("FRAC(-0.5)"), -0.5f);
    EXPECT_EQ(num("FRAC 2.75"), 0.75f);
    EXPECT_EQ(num("FRAC(-2.75)"), -0.75f);
    EXPECT_EQ(num("ABS(-3)+1"), 4.0f);
    EXPECT_EQ(num("SIN(0)+1"), 1.0f);
    EXPECT_EQ(num("COS(0)"), 1.0f);
    EXPECT_EQ(numText("ATAN(1)*4"), "3.141593");
    EXPECT_EQ(num("SQR 16"), 4.0f);
    EXPECT_EQ(num("LEN \"abc\"+1"), 4.0f);
    EXPECT_EQ(num("VAL \"12\"*2"), 24.0f);
    EXPECT_EQ(num("VAL(\"&HFF\")"), 255.0f);
    EXPECT_EQ(numText("RND(100)"), "0.657777");
    EXPECT_EQ(numText("RND(1)"), "0.541534");
    EXPECT_EQ(num("RAND(0)"), 0.0f);
    declareVar("x", TYPE_NUM);
    EXPECT_EQ(num("MOUSEX x + 2"), 0.0f);  // statement keywords are no factors and are not used
    load("MOUSEX x + 2");
    EXPECT_EQ(numericEnd(), start());
}

TEST_F(NumericExpr, VariablesAndPointers) {
    int32_t x = declareVar("x", TYPE_NUM);
    int32_t p = declareVar("p", TYPE_PTR);
    int32_t s = declareVar("s", TYPE_STR);
    numVar(x) = 3;
    ptrVar(p) = 16777217;
    strVar(s) = "99";
    EXPECT_EQ(num("x*x+1"), 10.0f);
    EXPECT_EQ(numText("p"), "16777216");
    EXPECT_EQ(num("x+s"), 3.0f);   // ends before the string variable
    EXPECT_EQ(num("s*2+1"), 1.0f);  // a string variable reads 0 and is used
    EXPECT_EQ(num("X"), 3.0f);
}

TEST_F(NumericExpr, ExpressionEndsOnFirstUnusedToken) {
    int32_t x = declareVar("x", TYPE_NUM);
    numVar(x) = 2;
    EXPECT_EQ(num("x+1 : 5"), 3.0f);
    load("x+1 : 5");
    EXPECT_EQ(textAt(numericEnd()), ":");
    declareFunction("f");
    EXPECT_EQ(num("f(3)"), 0.0f);
    load("f(3)");  // a name with no variable is used; "(" ends the expression
    EXPECT_EQ(numericEnd(), token(1));
}

TEST_F(NumericExpr, LiteralValues) {
    EXPECT_EQ(num("12.5"), 12.5f);
    EXPECT_EQ(num("\"7up\""), 7.0f);  // a string literal that begins with a digit reads as its number
    EXPECT_EQ(num("1.2.3"), 1.2f);
}

TEST_F(NumericExpr, ReadingStopsAfterTheLastToken) {
    load("1 +");
    EXPECT_EQ(numericEnd(), vm_.tokens.count + 1);
    EXPECT_EQ(num("((("), 0.0f);
    load("(((");
    EXPECT_LE(numericEnd(), vm_.tokens.count + 1);
}

// "(a op b)" is read in one step; it must give what the group gives, and end
// where the group ends.
TEST_F(NumericExpr, TwoOperandGroups) {
    int32_t i = declareVar("i", TYPE_NUM);
    int32_t x = declareVar("x", TYPE_NUM);
    numVar(i) = 7;
    numVar(x) = 5;
    EXPECT_EQ(num("i - (i % 2) * 2"), 1.0f);
    EXPECT_EQ(num("(i+1)*2"), 16.0f);
    EXPECT_EQ(num("(i-x)"), 2.0f);
    EXPECT_EQ(num("-(i*2)"), -14.0f);
    EXPECT_EQ(num("2^(x-3)"), 4.0f);
    EXPECT_EQ(num("(i/2)"), 3.5f);
    // A later factor alternative continues the factor after the group: the
    // variable's value replaces the group's.
    EXPECT_EQ(num("(2*3)x"), 5.0f);
    // An earlier one ends the expression after the group.
    EXPECT_EQ(num("(2*3)4"), 6.0f);
    load("(2*3)4");
    EXPECT_EQ(textAt(numericEnd()), "4");
    EXPECT_EQ(num("(i+1) : 5"), 8.0f);
    load("(i+1) : 5");
    EXPECT_EQ(textAt(numericEnd()), ":");
    // A lone two-operand term is read in one step too, unless a sign
    // continues the sum; a sign before a string ends the expression.
    EXPECT_EQ(num("i*2 : 5"), 14.0f);
    load("i*2 : 5");
    EXPECT_EQ(textAt(numericEnd()), ":");
    EXPECT_EQ(num("i*2+1"), 15.0f);
    EXPECT_EQ(num("i%2-x"), -2.0f);
    EXPECT_EQ(num("i*2 + \"A\""), 14.0f);
    load("i*2 + \"A\"");
    EXPECT_EQ(textAt(numericEnd()), "+");
    // Right at the nesting limit the innermost group still counts.
    EXPECT_EQ(num(std::string(999, '(') + "(1+2)" + std::string(999, ')')), 3.0f);
    EXPECT_THROW(num(std::string(1000, '(') + "(1+2)" + std::string(1000, ')')), RunAbort);
}

TEST_F(NumericExpr, DeepNestingAbortsTheRun) {
    EXPECT_EQ(num(std::string(900, '(') + "1" + std::string(900, ')')), 1.0f);
    EXPECT_THROW(num(std::string(5000, '(') + "1" + std::string(5000, ')')), RunAbort);
    EXPECT_NE(boxes().find("Expression nested too deeply!"), std::string::npos);
    EXPECT_THROW(num(std::string(5000, '-') + "1"), RunAbort);
}

TEST_F(StringExpr, Concatenation) {
    EXPECT_EQ(str("\"ab\"+\"cd\""), "abcd");
    EXPECT_EQ(str("(\"a\"+\"b\")+\"c\""), "abc");
    EXPECT_EQ(str("+\"x\""), "x");
    EXPECT_EQ(str("\"Total: \"+STRS(2.5)"), "Total: 2.5");
    EXPECT_EQ(str("STRS(1/3)"), "0.333333");
    EXPECT_EQ(str("\"+\""), "+");  // a literal is never an operator
    EXPECT_EQ(str("\"(\"+\"x\""), "(x");
}

TEST_F(StringExpr, NumberFunctionsStopBeforeStrings) {
    int32_t s = declareVar("s", TYPE_STR);
    strVar(s) = "B";
    EXPECT_EQ(str("STRS(5)+\"A\""), "5A");
    EXPECT_EQ(str("STRS(5)+s"), "5B");
    EXPECT_EQ(str("STRS(5)+CHRS(65)"), "5A");
    EXPECT_EQ(str("STRS(5)+1"), "6");
    EXPECT_EQ(str("\"A\"+STRS(5)"), "A5");
    EXPECT_EQ(str("CHRS 65"), "A");
    EXPECT_EQ(str("CHRS 321"), "A");
    EXPECT_EQ(str("CHRS 0"), std::string(1, '\0'));
}

TEST_F(StringExpr, Substrings) {
    int32_t s = declareVar("s", TYPE_STR);
    int32_t n = declareVar("n", TYPE_NUM);
    strVar(s) = "Hello";
    numVar(n) = 2;
    EXPECT_EQ(str("LSTR(s,2)"), "He");
    EXPECT_EQ(str("LSTR(s,0)"), "");
    EXPECT_EQ(str("LSTR(s,9)"), "Hello");
    EXPECT_EQ(str("LSTR(s,-1)"), "");
    EXPECT_EQ(str("LSTR(s,n)"), "He");
    EXPECT_EQ(str("RSTR(s,3)"), "llo");
    EXPECT_EQ(str("RSTR(s,0)"), "Hello");
    EXPECT_EQ(str("RSTR(s,-2)"), "ello");
    EXPECT_EQ(str("RSTR(s,-9)"), "");
    EXPECT_EQ(str("RSTR(s,9)"), "Hello");
    EXPECT_EQ(str("MSTR(s,2,3)"), "ell");
    EXPECT_EQ(str("MSTR(s,0,2)"), "He");
    EXPECT_EQ(str("MSTR(s,-2,5)"), "lo");
    EXPECT_EQ(str("MSTR(s,-9,2)"), "He");
    EXPECT_EQ(str("MSTR(s,9,1)"), "");
    EXPECT_EQ(str("MSTR(s,2,0)"), "");
    EXPECT_EQ(str("MSTR(s,2,-1)"), "");
    EXPECT_EQ(str("LSTR(s,2)+\"x\""), "Hex");
    EXPECT_EQ(str("LSTR(\"Hello\",2)"), "He");
    EXPECT_EQ(str("\"<\"+MSTR(s,2,3)+\">\""), "<ell>");
}

TEST_F(StringExpr, VariablesAndElements) {
    int32_t s = declareVar("s", TYPE_STR);
    int32_t x = declareVar("x", TYPE_NUM);
    int32_t a = declareArray("a", TYPE_STR);
    strVar(s) = "hi";
    numVar(x) = 1;
    array(a).strs[2] = "two";
    EXPECT_EQ(str("s+s"), "hihi");
    EXPECT_EQ(str("x"), "");  // a number variable is no string and is not used
    EXPECT_EQ(str("a[x+1]+\"!\""), "two!");
    EXPECT_EQ(num("LEN a[2]"), 3.0f);
    EXPECT_EQ(str("a[5000]"), "");
}

TEST_F(StringExpr, NumberLiteralIsATypeError) {
    EXPECT_THROW(str("\"a\"+5"), RunAbort);
    EXPECT_EQ(boxes(), "{\"caption\":\"TYPE ERROR\",\"text\":\"Not String! -{ 5 }\"}\n");
}

TEST_F(Conditions, NumericComparisons) {
    int32_t x = declareVar("x", TYPE_NUM);
    declareVar("y", TYPE_NUM);
    int32_t z = declareVar("z", TYPE_NUM);
    int32_t p = declareVar("p", TYPE_PTR);
    numVar(x) = 3;
    ptrVar(p) = 2;
    EXPECT_EQ(cond("x = 3"), -1);
    EXPECT_EQ(cond("x ! 3"), 0);
    EXPECT_EQ(cond("x > 2"), -1);
    EXPECT_EQ(cond("x < 2"), 0);
    EXPECT_EQ(cond("x = 3 & x > 5"), 0);
    EXPECT_EQ(cond("x = 3 | x > 5"), -1);
    EXPECT_EQ(cond("x > p"), -1);
    EXPECT_EQ(cond("x = (p+1)"), -1);
    EXPECT_EQ(cond("x+1 > 3"), -1);
    EXPECT_EQ(cond("3 = 3"), 0);  // the left side must start with a name
    numVar(x) = 0;
    numVar(z) = 1;
    EXPECT_EQ(cond("x = 1 & y = 1 | z = 1"), 0);
    EXPECT_EQ(cond("x = 0 | y = 1 & z = 0"), -1);
}

TEST_F(Conditions, NotANumberIsOrdered) {
    int32_t x = declareVar("x", TYPE_NUM);
    numVar(x) = NAN;
    EXPECT_EQ(cond("x = 0"), 0);
    EXPECT_EQ(cond("x < 0"), 0);
    EXPECT_EQ(cond("x > 0"), 0);
    EXPECT_EQ(cond("x ! 0"), -1);
}

TEST_F(Conditions, StringComparisons) {
    int32_t s = declareVar("s", TYPE_STR);
    int32_t t = declareVar("t", TYPE_STR);
    int32_t n = declareArray("n", TYPE_STR);
    strVar(s) = "abc";
    strVar(t) = "abc";
    array(n).strs[2] = "abc";
    EXPECT_EQ(cond("s = t"), -1);
    EXPECT_EQ(cond("s ! t"), 0);
    EXPECT_EQ(cond("s < t"), 0);
    EXPECT_EQ(cond("s = n[2]"), -1);
    EXPECT_EQ(cond("s = \"abc\""), -1);
    EXPECT_EQ(cond("s = \"ab\" + \"c\""), -1);
    EXPECT_EQ(cond("s = \"Bob\""), 0);
    strVar(t) = "ABC";
    EXPECT_EQ(cond("s = t"), 0);
    EXPECT_EQ(cond("s > t"), -1);
    strVar(t) = "abcd";
    EXPECT_EQ(cond("s < t"), -1);
    EXPECT_EQ(cond("t > s"), -1);
    strVar(t) = "\xff";
    EXPECT_EQ(cond("s < t"), -1);  // bytes compare unsigned
    strVar(s) = "";
    strVar(t) = "x";
    EXPECT_EQ(cond("s = t"), 0);
    EXPECT_EQ(cond("s ! t"), -1);
}

// Every mix of truth values and joins in a chain of four comparisons groups
// from the right: a j1 b j2 c j3 d is a j1 (b j2 (c j3 d)).
TEST_F(Conditions, JoinsGroupFromTheRight) {
    int32_t x = declareVar("x", TYPE_NUM);
    numVar(x) = 1;
    for (int truths = 0; truths < 16; ++truths) {
        for (int joins = 0; joins < 8; ++joins) {
            bool v[4];
            std::string chain;
            for (int k = 0; k < 4; ++k) {
                v[k] = (truths >> k) & 1;
                if (k > 0) chain += (joins >> (k - 1)) & 1 ? " | " : " & ";
                chain += v[k] ? "x = 1" : "x = 2";
            }
            bool want = v[3];
            for (int k = 2; k >= 0; --k) want = (joins >> k) & 1 ? (v[k] || want) : (v[k] && want);
            EXPECT_EQ(cond(chain), want ? -1 : 0) << chain;
        }
    }
}

TEST_F(Conditions, LongChainsDoNotRecurse) {
    int32_t x = declareVar("x", TYPE_NUM);
    numVar(x) = 1;
    std::string chain = "x = 1";
    for (int i = 0; i < 20000; ++i) chain += " & x = 1";
    EXPECT_EQ(cond(chain), -1);
    EXPECT_EQ(cond(chain + " & x = 2"), 0);
}

TEST_F(Elements, SubscriptsAreWholeExpressions) {
    int32_t i = declareVar("i", TYPE_NUM);
    int32_t a = declareArray("a", TYPE_NUM);
    int32_t p = declareArray("p", TYPE_PTR);
    numVar(i) = 2;
    array(a).nums[3] = 30;
    array(a).nums[2] = 20;
    array(p).ptrs[3] = 16777217;
    EXPECT_EQ(num("a[i+1]"), 30.0f);
    EXPECT_EQ(num("a[i]+a[(i+1)]"), 50.0f);
    EXPECT_EQ(num("a[[i+1]]*2"), 60.0f);
    EXPECT_EQ(num("a[a[i]-17]"), 30.0f);
    EXPECT_EQ(numText("p[3]"), "16777216");
}

// "a[x]" with a one-token subscript is read in one step; it must give what
// the general reading gives, and end where it ends.
TEST_F(Elements, OneTokenSubscripts) {
    int32_t i = declareVar("i", TYPE_NUM);
    int32_t a = declareArray("a", TYPE_NUM, 8);  // 4096 elements
    for (int k = 0; k < 8; ++k) array(a).nums[k] = static_cast<float>(k * 10);
    numVar(i) = 2.5f;  // rounds to even: element 2
    EXPECT_EQ(num("a[i]"), 20.0f);
    EXPECT_EQ(num("a[3]*2"), 60.0f);
    EXPECT_EQ(num("1+a[7]"), 71.0f);
    numVar(i) = -1;
    EXPECT_EQ(num("a[i]"), 0.0f);
    EXPECT_EQ(num("a[4096]"), 0.0f);  // past the storage
    // A function after the "]" continues the factor: its value replaces the
    // element's.
    EXPECT_EQ(num("a[1]ABS 2"), 2.0f);
    EXPECT_EQ(num("a[1] : 5"), 10.0f);
    load("a[1] : 5");
    EXPECT_EQ(textAt(numericEnd()), ":");
    // At the nesting limit the subscript is refused as any other.
    EXPECT_THROW(num(std::string(1000, '(') + "a[1]" + std::string(1000, ')')), RunAbort);
}

TEST_F(Elements, OutsideTheStorageReadsZeroAndIgnoresStores) {
    int32_t a = declareArray("a", TYPE_NUM);  // 4096 elements
    int32_t b = declareArray("b", TYPE_NUM);
    EXPECT_EQ(num("a[-1]+a[4096]+a[10000000000]"), 0.0f);
    EXPECT_EQ(num("a[4095] = 7 : a[4096] = 8 : b[-1] = 9"), 0.0f);
    for (float v : array(b).nums) ASSERT_EQ(v, 0.0f);
    array(a).nums[4095] = 7.0f;
    EXPECT_EQ(num("a[4095]+a[4096]+a[-2147483648]"), 7.0f);
}

TEST_F(Elements, SeventeenthArrayHasStorage) {
    int32_t last = 0;
    for (int k = 0; k < 20; ++k) last = declareArray("a" + std::to_string(k), TYPE_NUM);
    array(last).nums[5] = 9.0f;
    EXPECT_EQ(num("a19[5]"), 9.0f);
}

}  // namespace
}  // namespace tessel::testing
