// A debugger's expressions and conditions, read by the compile layer's
// reader against a program and run on its memory: values, the language's
// own syntax and rounding, and nothing the script sees changed by asking.
#include <gtest/gtest.h>

#include "debug/expression.h"
#include "exec_test_support.h"

namespace tessel {
namespace {

using debug::Expression;
using debug::Value;

const char kProgram[] =
    "VAR x\nVAR y\nSTR s\nPTR p\nVAR a[10]\nSTR names[3]\n"
    "x = 7\ny = 2.5\ns = \"hello\"\np = 42\na[3] = 9\nnames[1] = \"bob\"\n";

struct DebugExpressionTest : ::testing::Test {
    test::Program program{kProgram};
    void SetUp() override { program.run(); }
    // The value's text, or "error: why".
    std::string eval(const std::string& text, bool condition = false) {
        Expression e(program.in.vm, text, condition);
        Value v;
        std::string why;
        if (!e.evaluate(program.in.vm, v, why)) return "error: " + why;
        return debug::valueText(v);
    }
};

TEST_F(DebugExpressionTest, NumbersStringsAndElementsOfTheProgram) {
    EXPECT_EQ(eval("x"), "7");
    EXPECT_EQ(eval("x + y * 2"), "12");
    EXPECT_EQ(eval("a[3] + a[2]"), "9");
    EXPECT_EQ(eval("X"), "7") << "names are found in any case";
    EXPECT_EQ(eval("s + \"!\""), "\"hello!\"");
    EXPECT_EQ(eval("names[1]"), "\"bob\"");
    EXPECT_EQ(eval("LEN(s) + 1"), "6");
    EXPECT_EQ(eval("p + 1"), "43");
}

TEST_F(DebugExpressionTest, ConditionsInTheLanguagesSyntax) {
    EXPECT_EQ(eval("x = 7", true), "-1");
    EXPECT_EQ(eval("x > 7", true), "0");
    EXPECT_EQ(eval("x = 7 & s = \"hello\"", true), "-1");
    // A watch that is a comparison is read as a condition.
    EXPECT_EQ(eval("x < 10"), "-1");
}

TEST_F(DebugExpressionTest, WhatCannotBeReadSaysWhy) {
    EXPECT_NE(eval("nosuch + 1").find("no variable is named nosuch"), std::string::npos);
    EXPECT_NE(eval("x x").find("unexpected x"), std::string::npos);
    EXPECT_EQ(eval("").rfind("error:", 0), 0u);
}

TEST_F(DebugExpressionTest, AskingChangesNothingTheScriptSees) {
    Vm& vm = program.in.vm;
    const ExprState before = vm.expr;
    const std::vector<float> registers = vm.memory.num;
    EXPECT_NE(eval("RND(1) + RAND(100) + x * 1000 + (y + 1) * (y + 2)"), "");
    EXPECT_EQ(vm.expr.rndState, before.rndState);
    EXPECT_EQ(vm.expr.randState, before.randState);
    for (size_t v = 1; v < vm.symbols.vars.size(); ++v) {
        if (vm.symbols.vars[v].type != TYPE_NUM) continue;
        EXPECT_EQ(vm.memory.num[v], registers[v]);
    }
    EXPECT_EQ(vm.memory.num.size(), registers.size());
}

}  // namespace
}  // namespace tessel
