// What the checker records for the run: statement codes, symbol tables,
// binding tables, event slots and array storage.
#include <gtest/gtest.h>

#include "front_test_support.h"

namespace tessel {
namespace {

using testing_support::Front;

TEST(Checker, KeywordsAreRecodedInIdentifierTokensOnly) {
    Front f("STR s\ns = \"print\"\nendif\nEndIf\nIF s = \"x\"\nPRINTER = 1 ^ 2\nVAR printer\n");
    ASSERT_EQ(f.checked, 0);  // one IF, two ENDIF
    EXPECT_EQ(f.tokens.classAt(f.token("print")), CLS_QSTR);
    EXPECT_EQ(f.tokens.classAt(f.token("endif")), KW_ENDIF);
    EXPECT_EQ(f.tokens.classAt(f.token("EndIf")), KW_ENDIF);
    EXPECT_EQ(f.tokens.classAt(f.token("STR")), KW_STR);
    EXPECT_EQ(f.checker.counters[BC_IF], 1);
    EXPECT_EQ(f.checker.counters[BC_ENDIF], 2);
    EXPECT_EQ(f.tokens.classAt(f.token("PRINTER")), CLS_NAME);
    EXPECT_EQ(f.tokens.classAt(f.token("^")), CLS_CARET);
    EXPECT_EQ(CLS_CARET, KW_STR);  // the shared number space
}

TEST(Checker, DeclarationsAndUsesBindAsInTheWorkedExample) {
    Front f("VAR x, a[10]\nSTR s\nx = 1\n");
    ASSERT_EQ(f.checked, 1);
    const CheckerState& c = f.checker;
    EXPECT_EQ(f.tokens.classAt(f.token("VAR")), KW_VAR);
    EXPECT_EQ(f.tokens.classAt(f.token("STR")), KW_STR);
    EXPECT_EQ(c.varAt(f.token("x")), 1);
    EXPECT_EQ(c.arrayAt(f.token("a")), 1);
    EXPECT_EQ(c.varAt(f.token("a")), 0);
    EXPECT_EQ(c.varAt(f.token("s")), 2);
    EXPECT_EQ(c.varAt(f.token("x", 2)), 1);  // the use binds to the declaration
    ASSERT_EQ(c.varCount(), 2);
    EXPECT_EQ(declaredName(f.tokens, c.vars[1].nameToken), "x");
    EXPECT_EQ(c.vars[1].type, TYPE_NUM);
    EXPECT_EQ(c.vars[2].type, TYPE_STR);
    ASSERT_EQ(c.arrayCount(), 1);
    EXPECT_EQ(declaredName(f.tokens, c.arrays[1].nameToken), "a");
    EXPECT_EQ(c.arrays[1].declaredSize, 10);
    EXPECT_EQ(c.arrays[1].elements, kMinArrayElements);
}

TEST(Checker, FirstDeclarationWinsAndNamesFoldCase) {
    Front f("VAR Counter\nSTR COUNTER\nPTR p[3], q[5000]\ncounter = 1\n");
    ASSERT_EQ(f.checked, 1);
    const CheckerState& c = f.checker;
    EXPECT_EQ(c.varCount(), 4);  // counter, counter, p, q
    EXPECT_EQ(c.varAt(f.token("COUNTER")), 1);  // STR COUNTER declares, then binds to the first
    EXPECT_EQ(c.varAt(f.token("counter")), 1);
    EXPECT_EQ(c.vars[2].type, TYPE_STR);
    EXPECT_EQ(c.arrays[1].type, TYPE_PTR);
    EXPECT_EQ(c.arrays[1].elements, kMinArrayElements);
    EXPECT_EQ(c.arrays[2].elements, 5001);
    Front rounded("VAR r[4095.6]\n");
    EXPECT_EQ(rounded.checker.arrays.at(1).declaredSize, 4096);
    EXPECT_EQ(rounded.checker.arrays.at(1).elements, 4097);
}

TEST(Checker, ArraySizesThatAreNoSizeGetTheMinimumStorage) {
    Front f("VAR a[0], b[1.6], c[x], d[-5]\nVAR x\nSTR e[]\n");
    ASSERT_EQ(f.checked, 1) << f.rep.boxes.at(0).text;
    const CheckerState& c = f.checker;
    EXPECT_EQ(c.arrays[2].declaredSize, 2);
    EXPECT_EQ(c.arrays[3].declaredSize, 0);
    for (int a = 1; a <= 5; ++a)
        EXPECT_EQ(c.arrays[a].elements, kMinArrayElements);
}

TEST(Checker, AbsurdArraysAreReportedNotAllocated) {
    Front big("VAR a[1e9]\n");  // the size is the number 1 (the name e9 follows)
    EXPECT_EQ(big.checked, 1);
    Front huge("\nVAR a[999999999999]\n");
    ASSERT_EQ(huge.checked, 0);
    EXPECT_EQ(huge.rep.boxes[0].text, "Array too large! -{ a }-Line: 2");
    EXPECT_EQ(huge.rep.boxes[0].line, 2);
    // Many arrays together are held to one storage budget.
    Front total("STR s[16777216], t[16777216]\n");
    ASSERT_EQ(total.checked, 0);
    EXPECT_EQ(total.checker.arrays.at(1).elements, 16777217);
    EXPECT_EQ(total.rep.boxes[0].text, "Array memory exhausted! -{ t }-Line: 1");
}

TEST(Checker, LabelsFunctionsAndLoopsBindAsInTheWorkedExample) {
    Front f("LABEL top\nGOTO top\nFUNC f()\nENDFN\nf()\n");
    ASSERT_EQ(f.checked, 1);
    const CheckerState& c = f.checker;
    EXPECT_EQ(c.gotoAt(f.token("top", 2)), f.token("top"));
    EXPECT_EQ(c.callAt(f.token("f")), f.token("f"));
    EXPECT_EQ(c.callAt(f.token("f", 2)), f.token("f"));
}

TEST(Checker, GotoAndCallsBindToTheFirstOfDuplicateNames) {
    Front f("GOTO Here\nLABEL here\nLABEL HERE\nFUNC g()\nENDFN\nFUNC G()\nENDFN\nVAR x\ng(x)\n"
            "VAR i\nWHILE i < 3\nWEND\n");
    ASSERT_EQ(f.checked, 1) << f.rep.boxes.at(0).text;
    const CheckerState& c = f.checker;
    EXPECT_EQ(c.gotoAt(f.token("Here")), f.token("here"));
    EXPECT_EQ(c.callAt(f.token("g", 2)), f.token("g"));  // g(x) binds like g()
}

TEST(Checker, EventBlocksFillTheirSlotsAndTheLastOneWins) {
    Front f("WINMSG WMTIMER\nENDWM\nWINMSG wmkeyup\nENDWM\nWINMSG WMTimer\nENDWM\n"
            "WINMSG WMRBUTTONDOWN\nENDWM\n");
    ASSERT_EQ(f.checked, 1);
    const CheckerState& c = f.checker;
    EXPECT_EQ(c.slots[SLOT_TIMER], f.token("WMTimer"));
    EXPECT_EQ(c.slots[SLOT_KEYUP], f.token("wmkeyup"));
    EXPECT_EQ(c.slots[SLOT_RBUTTONDOWN], f.token("WMRBUTTONDOWN"));
    EXPECT_EQ(c.slots[SLOT_MOUSEMOVE], 0);
    // The message name is no variable: it was not looked up.
    EXPECT_EQ(c.varAt(f.token("WMTIMER")), 0);
}

TEST(Checker, PerTokenTablesLeaveRoomForLookAhead) {
    Front f("LOADIMG\n");
    ASSERT_EQ(f.checked, 0);
    EXPECT_GE(f.checker.binding.size(), static_cast<size_t>(f.tokens.count + kTokenPadding + 1));
    EXPECT_EQ(f.rep.boxes[0].text, "Wrong Argument(1)! -{ EOL }-Line: 1");
    Front g("IF a");  // no line end: the lexing phase stops it
    EXPECT_EQ(g.lexed, 0);
}

TEST(Checker, LargeScriptsCheckCompletely) {
    std::string src = "VAR ";
    for (int i = 0; i < 5000; ++i) src += "v" + std::to_string(i) + (i + 1 < 5000 ? ", " : "\n");
    for (int i = 0; i < 20000; ++i) src += "v" + std::to_string(i % 5000) + " = 1\n";
    src += "LABEL last\nGOTO last\n";
    Front f(src);
    ASSERT_EQ(f.checked, 1);
    EXPECT_EQ(f.checker.varCount(), 5000);
    EXPECT_EQ(f.checker.varAt(f.token("v4999", 5)), 5000);  // the last assignment's
    EXPECT_EQ(f.checker.gotoAt(f.token("last", 2)), f.token("last"));
}

TEST(Checker, ErrorsCarryTheSourceLineForCheckOutput) {
    Front f("VAR x\n\nx = 1\nPRINT \"a\"\n");
    ASSERT_EQ(f.checked, 0);
    ASSERT_EQ(f.rep.boxes.size(), 1u);
    EXPECT_EQ(f.rep.boxes[0].line, 4);
    EXPECT_EQ(f.rep.boxes[0].at.column, 7);  // at the token the error quotes
}

// Block matching counts; the place is the block left open, matched by
// nesting, though the box names no line.
TEST(Checker, BlockErrorsPointAtTheBlockLeftOpen) {
    Front stray("VAR a\nIF a = 1\nENDIF\nWEND\n");
    ASSERT_EQ(stray.rep.boxes.size(), 1u);
    EXPECT_EQ(stray.rep.boxes[0].text, "WEND without WHILE , check code!");
    EXPECT_EQ(stray.rep.boxes[0].line, 4);
    EXPECT_NE(stray.rep.boxes[0].hint.find("this WEND has no WHILE"), std::string::npos);
    // The inner IF is closed by the only ENDIF: the outer one is left open.
    Front open("VAR a\nIF a = 1\n  IF a = 2\n  ENDIF\nWHILE a < 1\nWEND\n");
    ASSERT_EQ(open.rep.boxes.size(), 1u);
    EXPECT_EQ(open.rep.boxes[0].line, 2);
    EXPECT_NE(open.rep.boxes[0].hint.find("this IF has no ENDIF"), std::string::npos);
    // An ENDIF before its IF still passes: only the totals are compared.
    Front early("VAR a\nENDIF\nIF a = 1\n");
    EXPECT_EQ(early.checked, 1);
}

// The hints under checker errors a newcomer meets: what to write instead.
TEST(Checker, ShapeErrorsGetAHint) {
    struct Case {
        const char* source;
        const char* text;
        const char* hint;
    } cases[] = {
        {"VAR dx\nIF dx = -1\nENDIF\n", "Wrong Argument(3)! -{ - }-Line: 2", "(-1)"},
        {"VAR i\nWHILE i <= 5\nWEND\n", "Wrong Argument(3)! -{ = }-Line: 2", "write i < 5 | i = 5"},
        {"VAR a\nIF a <> 2\nENDIF\n", "Wrong Argument(3)! -{ > }-Line: 2", "write a ! 2"},
        {"PTR p\nVAR sx[3], i\nSHOWIMG p, sx[i], 0, 32, 32\n", "Comma Separator ? -{ [ }-Line: 3",
         "write SHOWIMGT p, sx[i], 0, 32, 32"},
        {"VAR s, g[3], i\nIF s = 3 | g[i] = 1\nENDIF\n", "Wrong operator(2)! -{ [ }-Line: 2",
         "put it first, IF g[i] = 1 | s = 3"},
        // Where no bracket is taken, a variable is the way.
        {"VAR a\nIF a = 1 & a = -2\nENDIF\n", "Wrong Argument(7)! -{ - }-Line: 2", "put -2 into a variable"},
        {"VAR i\nWHILE i > -1\nWEND\n", "Wrong Argument(3)! -{ - }-Line: 2", "put -1 into a variable"},
        {"STR label\n", "Label witout name! -{ EOL }-Line: 1", "LABEL is a reserved word"},
        {"VAR print\n", "Missing variable after VAR! line: 1", "PRINT is a reserved word"},
        {"VAR a\nIF a = 1 OR a = 2\nENDIF\n", "Variable ID not found! -{ OR }-Line: 2", "OR is no word"},
    };
    for (const Case& c : cases) {
        Front f(c.source);
        ASSERT_EQ(f.rep.boxes.size(), 1u) << c.source;
        EXPECT_EQ(f.rep.boxes[0].text, c.text) << c.source;
        EXPECT_NE(f.rep.boxes[0].hint.find(c.hint), std::string::npos) << c.source << f.rep.boxes[0].hint;
    }
    // The near misses check, and an unknown name of the script's own gets no hint.
    EXPECT_EQ(Front("VAR dx\nIF dx = (-1)\nENDIF\nIF dx = 1 & dx < 2 | dx = 3\nENDIF\n").checked, 1);
    Front plain("y = 1\n");
    EXPECT_EQ(plain.rep.boxes.at(0).hint, "");
}

}  // namespace
}  // namespace tessel
