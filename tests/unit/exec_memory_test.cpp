// The one budget all stored texts share: variables and elements together.
#include "exec_test_support.h"

namespace tessel::test {
namespace {

constexpr int64_t kSmallBudget = int64_t{1} << 20;  // 1 MB

// s doubles until it holds 64 KiB; each element then takes a copy.
constexpr const char* kFillElements =
    "STR s, a[100]\n"
    "VAR i\n"
    "s = \"0123456789abcdef\"\n"
    "WHILE i < 12\n"
    "s = s + s\n"
    "i = i + 1\n"
    "WEND\n"
    "i = 0\n"
    "WHILE i < 100\n"
    "a[i] = s\n"
    "i = i + 1\n"
    "WEND\n"
    "SWAP\n";

TEST(StringBudget, ElementsAndVariablesShareOneBudget) {
    Program p(kFillElements);
    p.in.vm.memory.stringBudget = kSmallBudget;
    EXPECT_THROW(p.run(), RunAbort);
    ASSERT_EQ(p.platform.boxes().size(), 1u);
    EXPECT_EQ(p.platform.boxes()[0], "Run Error!|String memory exhausted! : all texts together may hold 1 MB -Line: 10");
    // s (64 KiB) and fifteen elements fit; the sixteenth is refused and stays empty.
    EXPECT_EQ(p.var("i").num, 15.0f);
    EXPECT_EQ(p.array("a").strs[14].size(), 65536u);
    EXPECT_TRUE(p.array("a").strs[15].empty());
    EXPECT_EQ(p.in.vm.memory.stringBytes, 16 * 65536);
    EXPECT_EQ(p.presents(), 0);
}

TEST(StringBudget, ReplacedTextsGiveTheirBytesBack) {
    // The same hundred stores into one element never go past the budget.
    std::string src = kFillElements;
    src.replace(src.find("a[i] = s"), 8, "a[7] = s");
    Program p(src);
    p.in.vm.memory.stringBudget = kSmallBudget;
    p.run();
    EXPECT_TRUE(p.platform.boxes().empty());
    EXPECT_EQ(p.in.vm.memory.stringBytes, 2 * 65536);
    EXPECT_EQ(p.presents(), 1);
}

TEST(StringBudget, AppendingInPlaceIsCountedAndUndoneWhenRefused) {
    Program p(
        "STR s\n"
        "VAR k\n"
        "s = \"0123456789abcdef\"\n"
        "WHILE k = 0\n"
        "s = s + s\n"
        "WEND\n");
    p.in.vm.memory.stringBudget = kSmallBudget;
    EXPECT_THROW(p.run(), RunAbort);
    ASSERT_EQ(p.platform.boxes().size(), 1u);
    EXPECT_EQ(p.platform.boxes()[0], "Run Error!|String memory exhausted! : all texts together may hold 1 MB -Line: 5");
    EXPECT_EQ(p.var("s").str.size(), 1048576u);  // the doubling past the budget was taken back
    EXPECT_EQ(p.in.vm.memory.stringBytes, 1048576);
}

}  // namespace
}  // namespace tessel::test
