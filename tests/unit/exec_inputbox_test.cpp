// Input boxes: creation, the handle operand's checks, reading and writing
// the text, showing and hiding, and SWAP keeping the box above the drawing.
#include "exec_test_support.h"

namespace tessel::test {
namespace {

TEST(ExecInputBox, CreatesABoxAndStoresItsHandle) {
    Program p(
        "PTR h\n"
        "INPUTBOX h , 10 , 10 , 200 , 24 , \"name\"\n"
        "WCOLOR 0 , 0 , 255\n"
        "SWAP\n");
    p.run();
    EXPECT_TRUE(p.platform.core.editVisible(kMainWindow + 1));
    EXPECT_FALSE(p.platform.core.editVisible(kMainWindow + 2));
    EXPECT_EQ(p.var("h").ptr, kMainWindow + 1);
    EXPECT_EQ(p.in.vm.exec.lastInputBox, kMainWindow + 1);
    // The swapped frame shows the box above the blue drawing.
    const std::vector<uint32_t>& shown = p.platform.native->shown;
    ASSERT_EQ(shown.size(), 800u * 600u);
    EXPECT_EQ(shown[300 * 800 + 300] & 0xFFFFFFu, 0x0000FFu);
    EXPECT_NE(shown[20 * 800 + 150] & 0xFFFFFFu, 0x0000FFu);
    EXPECT_TRUE(p.platform.boxes().empty());
}

TEST(ExecInputBox, AHandleThatIsNoPointerIsReportedAndTheBoxStillMade) {
    Program p(
        "VAR n\n"
        "INPUTBOX n , 10 , 10 , 200 , 24 , \"name\"\n");
    p.run();
    ASSERT_EQ(p.platform.boxes().size(), 1u);
    EXPECT_EQ(p.platform.boxes()[0], "Hendler Error!|Hendler unknown! : n");
    EXPECT_TRUE(p.platform.core.editVisible(kMainWindow + 1));
    EXPECT_EQ(p.var("n").num, 0.0f);
}

TEST(ExecInputBox, GetTextReadsTheWholeText) {
    Program p(
        "PTR h\n"
        "STR s\n"
        "INPUTBOX h , 0 , 0 , 100 , 20 , \"\"\n"
        "WINMSG WMCOMMAND\n"
        "GETTEXT h , s\n"
        "ENDWM\n");
    p.run();
    const std::string longText(300, 'q');
    p.platform.core.setEditText(p.var("h").ptr, longText);
    p.send(WM_COMMAND, 1);
    EXPECT_EQ(p.var("s").str, longText);
}

TEST(ExecInputBox, WrongTargetsAreTypeErrorsAndTheRunGoesOn) {
    Program p(
        "PTR h\n"
        "VAR n\n"
        "INPUTBOX h , 0 , 0 , 100 , 20 , \"\"\n"
        "GETTEXT h , n\n"
        "SETTEXT h , n\n"
        "SWAP\n");
    p.run();
    EXPECT_EQ(p.platform.boxes(), (std::vector<std::string>{
                                    "Type Error!|Invalid string! : n",
                                    "Type Error!|Invalid Variable Type! : n"}));
    EXPECT_EQ(p.presents(), 3) << "the box when made; the SWAP, then the box over it";
}

TEST(ExecInputBox, SetFocusShowsAndFocusesOrHides) {
    Program p(
        "PTR a , b\n"
        "INPUTBOX a , 0 , 0 , 100 , 20 , \"\"\n"
        "INPUTBOX b , 0 , 30 , 100 , 20 , \"\"\n"
        "SETFOCUS 0\n"
        "WINMSG WMLBUTTONDOWN\n"
        "SETFOCUS a\n"
        "ENDWM\n");
    p.run();
    WindowCore& core = p.platform.core;
    EXPECT_TRUE(core.editVisible(p.var("a").ptr));
    EXPECT_FALSE(core.editVisible(p.var("b").ptr)) << "a number hides the newest box";
    core.showEdit(p.var("a").ptr, false);
    p.send(WM_LBUTTONDOWN);
    EXPECT_TRUE(core.editVisible(p.var("a").ptr)) << "a handle shows the box it names";
    EXPECT_EQ(core.focus(), p.var("a").ptr);
}

TEST(ExecInputBox, SetTextSendsAStringExpression) {
    Program p(
        "PTR h\n"
        "STR s\n"
        "s = \"hi\"\n"
        "INPUTBOX h , 0 , 0 , 100 , 20 , \"\"\n"
        "SETTEXT h , s + \"!\"\n");
    p.run();
    EXPECT_EQ(p.platform.core.editText(p.var("h").ptr), "hi!");
}

TEST(ExecInputBox, ModeTakesALiteral) {
    Program p("MODE 1\n");
    p.run();
    EXPECT_EQ(p.in.vm.exec.displayMode, 1);
}

}  // namespace
}  // namespace tessel::test
