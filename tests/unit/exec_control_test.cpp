// Control flow of the executor: block skips, calls, stacks and the ends of a
// run. SWAP statements serve as markers: the platform counts presents.
#include "exec_test_support.h"

namespace tessel::test {
namespace {

TEST(ExecControl, FalseIfSkipsToItsOwnEndifPastNestedBlocks) {
    Program p(
        "VAR x\n"
        "IF x = 1\n"
        "IF x = 1\n"
        "SWAP\n"
        "ENDIF\n"
        "SWAP\n"
        "ENDIF\n"
        "SWAP\n");
    p.run();
    EXPECT_EQ(p.presents(), 1);
}

TEST(ExecControl, FalseIfRunsItsOwnElseBranch) {
    Program p(
        "VAR x\n"
        "IF x = 1\n"
        "SWAP\n"
        "IF x = 1\n"
        "ELSE\n"
        "ENDIF\n"
        "ELSE\n"
        "SWAP\n"
        "SWAP\n"
        "ENDIF\n");
    p.run();
    EXPECT_EQ(p.presents(), 2);
}

TEST(ExecControl, ElseAfterATakenBranchSkipsToItsOwnEndif) {
    // The inner IF is false and leaves the condition flag at 0; the outer
    // ELSE still ends the outer branch.
    Program p(
        "VAR x\n"
        "GOTO t\n"
        "IF x = 1\n"
        "LABEL t\n"
        "SWAP\n"
        "IF x = 1\n"
        "ELSE\n"
        "ENDIF\n"
        "ELSE\n"
        "SWAP\n"
        "SWAP\n"
        "ENDIF\n"
        "SWAP\n");
    p.run();
    EXPECT_EQ(p.presents(), 2);
}

TEST(ExecControl, FalseWhileResumesAfterItsOwnWend) {
    Program p(
        "VAR x\n"
        "WHILE x = 1\n"
        "WHILE x = 1\n"
        "WEND\n"
        "SWAP\n"
        "WEND\n"
        "SWAP\n");
    p.run();
    EXPECT_EQ(p.presents(), 1);
    EXPECT_EQ(p.in.vm.exec.loopDepth, 0);
}

TEST(ExecControl, CallsReturnAndTheMainFlowPassesOverDefinitions) {
    Program p(
        "FUNC f ( )\n"
        "SWAP\n"
        "ENDFN\n"
        "f ( )\n"
        "f ( )\n");
    p.run();
    EXPECT_EQ(p.presents(), 2);
    EXPECT_EQ(p.in.vm.exec.callDepth, 0);
    EXPECT_FALSE(p.in.vm.exec.running);
}

TEST(ExecControl, EndlessRecursionIsARunErrorAtTheStackCapacity) {
    Program p(
        "FUNC f ( )\n"
        "f ( )\n"
        "ENDFN\n"
        "f ( )\n");
    EXPECT_THROW(p.run(), RunAbort);
    ASSERT_EQ(p.platform.boxes().size(), 1u);
    EXPECT_EQ(p.platform.boxes()[0], "Run Error!|Too many nested function calls! : f -Line: 2");
    EXPECT_EQ(p.in.vm.exec.callDepth, kStackCapacity);
    EXPECT_FALSE(p.in.vm.exec.running);
}

TEST(ExecControl, ClosingKeywordsWithNothingToReturnToAreRunErrors) {
    // (The checker wants a WHILE for every WEND; this one comes too late.)
    Program wend("VAR x\nWEND\nWHILE x = 1\n");
    EXPECT_THROW(wend.run(), RunAbort);
    ASSERT_EQ(wend.platform.boxes().size(), 1u);
    EXPECT_EQ(wend.platform.boxes()[0], "Run Error!|WEND without a running WHILE! : WEND -Line: 2");

    Program endfn("ENDFN\nFUNC f ( )\n");
    EXPECT_THROW(endfn.run(), RunAbort);
    ASSERT_EQ(endfn.platform.boxes().size(), 1u);
    EXPECT_EQ(endfn.platform.boxes()[0],
              "Run Error!|ENDFN without a running call! : ENDFN -Line: 1");
}

TEST(ExecControl, AScanThatFindsNoTargetEndsTheRun) {
    Program p(
        "VAR x\n"
        "ENDIF\n"
        "IF x = 1\n"
        "SWAP\n");
    p.run();
    EXPECT_EQ(p.presents(), 0);
    EXPECT_FALSE(p.in.vm.exec.running);

    // The function's ENDFN stands before it, passed over by a GOTO.
    Program f("GOTO start\nENDFN\nLABEL start\nSWAP\nFUNC g ( )\nSWAP\n");
    f.run();
    EXPECT_EQ(f.presents(), 1);
}

TEST(ExecControl, TheMainRunEndsAtTheFirstEventBlock) {
    Program p(
        "VAR a , b : SWAP\n"
        "WINMSG WMTIMER\n"
        "SWAP\n"
        "ENDWM\n"
        "SWAP\n");
    p.run();
    EXPECT_EQ(p.presents(), 1);
    EXPECT_FALSE(p.in.vm.exec.running);
}

TEST(ExecControl, AnEmptyProgramReturnsAtOnce) {
    Program p("\n");
    p.run();
    EXPECT_FALSE(p.in.vm.exec.running);
}

// --- with the evaluator -------------------------------------------------------

TEST(ExecControl, WhileLoopsRunTheirBodyAndLeaveTheStackEmpty) {
    Program p(
        "VAR i\n"
        "WHILE i < 3\n"
        "SWAP\n"
        "i = i + 1\n"
        "WEND\n");
    p.run();
    EXPECT_EQ(p.presents(), 3);
    EXPECT_EQ(p.in.vm.exec.loopDepth, 0);
}

TEST(ExecControl, GotoOutOfALoopForeverOverflowsTheLoopStack) {
    Program p(
        "VAR x\n"
        "LABEL top\n"
        "WHILE x = 0\n"
        "GOTO top\n"
        "WEND\n");
    EXPECT_THROW(p.run(), RunAbort);
    ASSERT_EQ(p.platform.boxes().size(), 1u);
    EXPECT_EQ(p.platform.boxes()[0], "Run Error!|Too many nested WHILE loops! : WHILE -Line: 3");
    EXPECT_EQ(p.in.vm.exec.loopDepth, kStackCapacity);
}

TEST(ExecControl, NestedIfElseInATakenBranch) {
    Program p(
        "VAR x , y\n"
        "x = 1\n"
        "IF x = 1\n"
        "IF y = 1\n"
        "PRINT 0 , 0 , \"inner\"\n"
        "ENDIF\n"
        "PRINT 0 , 0 , \"then\"\n"
        "ELSE\n"
        "PRINT 0 , 0 , \"else\"\n"
        "ENDIF\n");
    p.run();
    EXPECT_EQ(p.prints(), (std::vector<std::string>{"then"}));
}

TEST(ExecControl, ElementAssignmentIndexIsAWholeExpression) {
    Program p(
        "VAR a [ 10 ] , i\n"
        "STR s [ 5 ]\n"
        "i = 2\n"
        "a [ 1 + i ] = 5\n"
        "a [ i ] = 7\n"
        "a [ 9999 ] = 1\n"
        "s [ i + 1 ] = \"x\"\n");
    p.run();
    EXPECT_EQ(p.array("a").nums[3], 5.0f);
    EXPECT_EQ(p.array("a").nums[2], 7.0f);
    EXPECT_EQ(p.array("s").strs[3], "x");
}

}  // namespace
}  // namespace tessel::test
