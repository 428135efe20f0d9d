// The lint's rules, each with a script that triggers it and a near miss that
// must stay silent, and the forms of its report.
#include "lint/lint.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

namespace tessel {
namespace {

std::string report(const std::string& src, int* status = nullptr) {
    std::string out;
    int st = lintScript("t.tsl", src, out);
    if (status) *status = st;
    return out;
}

// The rule names of every warning, in order.
std::vector<std::string> rules(const std::string& src) {
    std::string out = report(src);
    std::vector<std::string> names;
    static const std::regex warning(R"(: warning: .* \[([a-z0-9-]+)\]\n)");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), warning);
         it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}

// A script that shows what it draws, so only the rule under test speaks.
std::string shown(const std::string& body) {
    return body + "SWAP\n";
}

using Rules = std::vector<std::string>;

TEST(Lint, ReportFormPointsAtTheColumnWithACaret) {
    int status = 0;
    std::string out = report("VAR x\n  x += 1\n", &status);
    EXPECT_EQ(out,
              "t.tsl:2:3: warning: x += 1 does nothing; write x = x + 1 [no-effect]\n"
              "      x += 1\n"
              "      ^\n");
    EXPECT_EQ(status, 1);
}

TEST(Lint, CleanScriptReportsNothingAndExitsZero) {
    int status = 1;
    EXPECT_EQ(report(shown("VAR x\nx = x + 1\nPRINT 10, 10, x\n"), &status), "");
    EXPECT_EQ(status, 0);
}

TEST(Lint, ForRunsOnlyItsFirstAssignment) {
    std::string out = report("VAR i\nFOR i = 1 TO 10\nNEXT\n");
    EXPECT_NE(
        out.find("FOR has no loop meaning here: only i = 1 runs; write a WHILE loop with a counter "
                 "[for-next]"),
        std::string::npos);
    EXPECT_EQ(rules("VAR i\ni = 1\nWHILE i < 10\ni = i + 1\nWEND\n"), Rules{});
}

TEST(Lint, PrintShowsOnlyTheFirstTokenOfAnItem) {
    std::string out = report(shown("PRINT 10, 10, \"a\" + \"b\"\n"));
    EXPECT_NE(out.find("\"a\" + \"b\" shows a;"), std::string::npos) << out;
    EXPECT_EQ(rules(shown("VAR x\nPRINT 10, 10, x + 1\n")), Rules{"print-items"});
    // Near misses: a parenthesised expression and an element are shown whole.
    EXPECT_EQ(rules(shown("VAR x, a[4]\nPRINT 10 + x, 10, (x + 1) * 2\nPRINT 1, 2, a[x + 1]\n")),
              Rules{});
}

TEST(Lint, PrintShowsOneItemAndNothingForAFunction) {
    EXPECT_EQ(rules(shown("VAR x\nSTR s\nPRINT 10, 10, s, x\n")), Rules{"print-items"});
    std::string out = report(shown("VAR x\nPRINT 10, 10, STRS(x)\n"));
    EXPECT_NE(out.find("PRINT shows nothing for STRS(x)"), std::string::npos) << out;
    EXPECT_NE(out.find("STR variable"), std::string::npos);
    // Commas inside parentheses belong to one item.
    EXPECT_EQ(rules(shown("VAR x\nPRINT RAND(10), 10, (x)\n")), Rules{});
}

TEST(Lint, CompoundAssignmentDoesNothing) {
    EXPECT_EQ(rules("VAR x\nx += 1\nx++\nx\n"), (Rules{"no-effect", "no-effect", "no-effect"}));
    EXPECT_NE(report("VAR x\nx++\n").find("x++ does nothing; write x = x + 1"), std::string::npos);
    // A call and an element assignment start with a name too.
    EXPECT_EQ(rules("VAR a[3]\nFUNC f()\nENDFN\nf()\na[1] = 2\n"), Rules{});
}

TEST(Lint, DanglingOperatorIsPassedOver) {
    std::string out = report("VAR x\nx = 1 +\n");
    EXPECT_NE(out.find("x = 1 + stores 1"), std::string::npos) << out;
    EXPECT_NE(out.find("t.tsl:2:7:"), std::string::npos);
    EXPECT_EQ(rules("VAR x\nx = 1 + -2\nx = 2 * -x : x = x ^ 2\n"), Rules{});
}

TEST(Lint, NumberConcatenatedIntoAText) {
    std::string out = report("VAR x\nSTR s\ns = \"n=\" + x\n");
    EXPECT_NE(out.find("gives only \"n=\""), std::string::npos) << out;
    EXPECT_NE(out.find("write STRS(x)"), std::string::npos);
    EXPECT_EQ(rules("VAR x[3]\nSTR s\ns = x[1]\n"), Rules{"number-in-string"});
    // Near misses: the number is inside STRS, or the variable is a text.
    EXPECT_EQ(rules("VAR x\nSTR s, t\ns = \"n=\" + STRS(x) + t\ns = t + \"!\"\n"), Rules{});
}

TEST(Lint, TextAssignedToANumber) {
    EXPECT_NE(report("VAR n\nn = \"hello\"\n").find("n = \"hello\" gives 0"), std::string::npos);
    // The run takes the number a quoted text begins with: no "gives 0" there.
    const std::string spelled = report("VAR n\nn = \"7up\"\n");
    EXPECT_NE(spelled.find("gives the number the text begins with"), std::string::npos) << spelled;
    EXPECT_EQ(spelled.find("gives 0"), std::string::npos) << spelled;
    EXPECT_NE(report("VAR n\nSTR s\nn = s\n").find("VAL(s)"), std::string::npos);
    EXPECT_EQ(rules("VAR n\nSTR s\nn = VAL(s)\nn = LEN s\n"), Rules{});
}

TEST(Lint, ColourArgumentsAreSingleTokens) {
    std::string out = report(shown("VAR x\nFCOLOR 255 - x, 0, 0\n"));
    EXPECT_NE(out.find("sets the colour (255, x, 0)"), std::string::npos) << out;
    EXPECT_EQ(rules(shown("PTR p\nBCOLOR p, 0, 0\n")), Rules{"colour-argument"});
    EXPECT_EQ(rules(shown("VAR r\nFCOLOR r, 0, 255\nWCOLOR 0, r, 0\n")), Rules{});
}

TEST(Lint, ColourComponentsOutsideTheirRangeSpill) {
    std::string out = report(shown("FCOLOR 300, 0, 0\n"));
    EXPECT_NE(out.find("300 is outside 0..255: it spills into green"), std::string::npos) << out;
    EXPECT_EQ(rules(shown("FCOLOR 0, 256, 0\n")), Rules{"colour-range"});
    EXPECT_EQ(rules(shown("FCOLOR 255, 255, 255\n")), Rules{});
}

// A file of `bytes` in the temporary folder; its path.
std::string tempFile(const std::string& name, const std::string& bytes) {
    std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(Lint, LoadImgNeedsTypeZeroAndTheFileFlag) {
    const std::string bmp = tempFile("tessel_lint_a.bmp", "BM and the rest");
    auto load = [&](const std::string& args) { return "PTR h\nLOADIMG h, \"" + bmp + "\", " + args + "\n"; };
    EXPECT_EQ(rules(load("1, 0, 0, 16")), Rules{"loadimg-args"});
    EXPECT_EQ(rules(load("0, 0, 0, 8")), Rules{"loadimg-args"});
    EXPECT_EQ(rules(load("0, 0, 0, 24") + "VAR f\nLOADIMG h, \"" + bmp + "\", 0, 0, 0, f\n"), Rules{});
    std::remove(bmp.c_str());
}

// A literal path is looked up as the run looks it up: from the working folder.
TEST(Lint, LoadImgOfAFileThatIsNotThereOrNoImage) {
    const std::string png = tempFile("tessel_lint_b.png", std::string("\x89PNG\r\n\x1a\n", 8) + "IHDR");
    const std::string text = tempFile("tessel_lint_c.bmp", "not an image");
    std::string out = report("PTR p\nLOADIMG p, \"tessel_no_such_ship.bmp\", 0, 0, 0, 16\n");
    EXPECT_NE(out.find("t.tsl:2:12: warning: LOADIMG loads nothing: there is no file tessel_no_such_ship.bmp"),
              std::string::npos) << out;
    EXPECT_NE(report("PTR p\nLOADIMG p, \"" + text + "\", 0, 0, 0, 16\n").find("is neither a BMP nor a PNG"),
              std::string::npos);
    // A PNG file is fine, and a path in a variable is not looked at.
    EXPECT_EQ(rules("PTR p\nLOADIMG p, \"" + png + "\", 0, 0, 0, 16\nSTR f\nLOADIMG p, f, 0, 0, 0, 16\n"), Rules{});
    std::remove(png.c_str());
    std::remove(text.c_str());
}

// VAR n, len declares n alone: len is the keyword LEN.
TEST(Lint, ReservedWordInADeclarationList) {
    std::string out = report("VAR n, len\nVAR x, step, y\n");
    EXPECT_NE(out.find("t.tsl:1:8: warning: LEN is a reserved word"), std::string::npos) << out;
    EXPECT_NE(out.find("t.tsl:2:8: warning: STEP is a reserved word"), std::string::npos) << out;
    EXPECT_EQ(rules("VAR n, len\n"), Rules{"reserved-name"});
    EXPECT_EQ(rules("VAR n, length, a[3], steps\nSTR s, lens\n"), Rules{});
}

TEST(Lint, NumberLiteralInAStringExpressionStopsTheRun) {
    std::string out = report("STR s\ns = \"score: \" + 5\n");
    EXPECT_NE(out.find("t.tsl:2:17: warning: \"score: \" + 5 stops the run with TYPE ERROR"), std::string::npos)
        << out;
    EXPECT_EQ(rules("STR s\ns = 5\n"), Rules{"number-literal-in-string"});
    EXPECT_EQ(rules("PTR h\nSETTEXT h, \"a\" + 2\n"), Rules{"number-literal-in-string"});
    // A number inside STRS, or in a subscript, is read as a number.
    EXPECT_EQ(rules("STR s, t[3]\ns = \"score: \" + STRS(5) + t[1]\ns = \"5\"\n"), Rules{});
}

TEST(Lint, StatementsAfterTheFirstEventBlockNeverRun) {
    std::string out = report(shown("VAR x\nWINMSG WMTIMER\nx = 1\nENDWM\nx = 2\nx = 3\n"));
    EXPECT_NE(out.find("t.tsl:5:1: warning: this statement never runs: the main program ends at the first WINMSG "
                       "(line 2)"),
              std::string::npos) << out;
    EXPECT_EQ(rules(shown("VAR x\nWINMSG WMTIMER\nx = 1\nENDWM\nx = 2\nx = 3\n")), Rules{"unreachable"});
    // Functions and further blocks after it run; so does what a label leads to.
    EXPECT_EQ(rules("MODE 1\nVAR x\nGOTO a\nWINMSG WMTIMER\nf()\nENDWM\nFUNC f()\nx = 1\nENDFN\n"
                    "LABEL a\nx = 2\nWINMSG WMKEYDOWN\nx = 3\nENDWM\n"),
              Rules{});
}

TEST(Lint, StatementsAfterAGotoNeverRunUpToALabel) {
    std::string out = report(shown("VAR x\nLABEL top\nx = x + 1\nGOTO top\nx = 0\n"));
    EXPECT_NE(out.find("t.tsl:5:1: warning: this statement never runs: the GOTO top before it (line 4)"),
              std::string::npos) << out;
    // A label, or the end of the IF the GOTO stands in, is reached otherwise.
    EXPECT_EQ(rules(shown("VAR x\nLABEL top\nIF x < 3\nx = x + 1\nGOTO top\nELSE\nx = 0\nENDIF\n"
                          "GOTO done\nLABEL done\nx = 5\n")),
              Rules{});
}

TEST(Lint, MouseReadsZeroWithoutAMouseMoveBlock) {
    EXPECT_EQ(rules("VAR x\nWINMSG WMLBUTTONDOWN\nMOUSEX x\nENDWM\n"), Rules{"mouse-without-move"});
    EXPECT_EQ(
        rules(
            "VAR x\nWINMSG WMMOUSEMOVE\nMOUSEX x\nENDWM\nWINMSG WMLBUTTONDOWN\nMOUSEY x\nENDWM\n"),
        Rules{});
}

TEST(Lint, DrawingThatIsNeverShown) {
    EXPECT_EQ(rules("PSET 1, 1\nPRINT 1, 1, 2\n"), Rules{"never-shown"});
    EXPECT_EQ(rules("PSET 1, 1\nSWAP\n"), Rules{});
    EXPECT_EQ(rules("MODE 1\nPSET 1, 1\n"), Rules{});
    EXPECT_EQ(rules("MODE 0\nPSET 1, 1\n"), Rules{"never-shown"});
}

// Each statement whose argument reading runs on past its end when the last
// arguments are missing, with the next line's first tokens taken for them.
TEST(Lint, MissingTrailingArgumentTakesTheNextLinesTokens) {
    const std::pair<const char*, const char*> cases[] = {
        {"FCOLOR 255", "FCOLOR takes 3"},        {"FCOLOR 1, 2", "FCOLOR takes 3"},
        {"PSET 5", "PSET takes 2"},              {"PLOT 5", "PLOT takes 2"},
        {"DRAW 5", "DRAW takes 2"},              {"LINE 1, 2", "LINE takes 4"},
        {"RECT 1, 2, 3", "RECT takes 4"},        {"CIRCLE 5, 5", "CIRCLE takes 3"},
        {"PRINT 1, 2", "PRINT takes 3"},         {"SETFONT 16", "SETFONT takes 4"},
        {"SHOWIMG p, 0, 0, 10", "SHOWIMG takes 5"}, {"SHOWIMGT p, 0, 0, 10", "SHOWIMGT takes 5"},
        {"INPUTBOX p, 1, 2", "INPUTBOX takes 6"}, {"SETTEXT p", "SETTEXT takes 2"},
        {"GETTEXT p", "GETTEXT takes 2"},
    };
    for (auto [statement, says] : cases) {
        std::string src = shown(std::string("PTR p\nVAR x\n") + statement + "\nx = 7\n");
        EXPECT_EQ(rules(src), Rules{"missing-argument"}) << statement;
        EXPECT_NE(report(src).find(std::string(says) +
                                   " arguments; the next line's first tokens are read as the missing ones"),
                  std::string::npos)
            << report(src);
    }
    // The caret stands where the missing arguments belong.
    EXPECT_NE(report(shown("PSET 5\nPSET 1, 2\n")).find("t.tsl:1:7: warning: PSET takes 2"), std::string::npos);
    // On one line with others, the next statement is read; at the end, nothing.
    EXPECT_NE(report(shown("VAR i\nWHILE i < 3 : FCOLOR 255 : i = i + 1 : WEND\n"))
                  .find("the next statement's first tokens are read as the missing ones"),
              std::string::npos);
    EXPECT_NE(report("SWAP\nPSET 5\n").find("nothing follows, and they are read past the end of the script"),
              std::string::npos);
}

TEST(Lint, AllArgumentsGivenIsNoMissingArgument) {
    // Commas inside parentheses and brackets separate no arguments of the
    // statement; an empty last argument stops at the line's end.
    EXPECT_EQ(rules(shown("VAR a[4], x\nPSET (1 + 2), a[1]\nLINE 1, 2, 3, 4 : x = 1\nCIRCLE 5, 5, 5\n"
                          "PRINT 1, 2, x\nFCOLOR 1, 2, 3\nSETFONT 16, 8, 400, \"Mono\"\n")),
              Rules{});
    EXPECT_EQ(rules(shown("PTR p\nSTR s\nSETTEXT p, s\nGETTEXT p, s\nINPUTBOX p, 1, 2, 3, 4, s\n"
                          "SHOWIMG p, 0, 0, 10, 10\nSHOWIMGT p, 0, 0, 10, 10\nPSET 5,\n")),
              Rules{});
    // Too short for a colour's three places: only this rule speaks, not the
    // single-token rule, whose reading ("its last value") would be wrong.
    EXPECT_EQ(rules(shown("VAR x\nFCOLOR x\nx = 1\n")), Rules{"missing-argument"});
}

TEST(Lint, ControlBytesAreEscapedAndTheCaretStaysUnderItsColumn) {
    EXPECT_EQ(report("STR s\ns = \"\x1b\" + \"a\" +\n"),
              "t.tsl:2:15: warning: the + at the end has nothing after it and is passed over: "
              "s = \"\\x1b\" + \"a\" + stores \"\\x1b\" + \"a\"; finish the expression or drop the + "
              "[dangling-operator]\n"
              "    s = \"\\x1b\" + \"a\" +\n"
              "                     ^\n");
}

TEST(Lint, Utf8ScriptNamesTheOption) {
    std::string out = report("STR s\ns = \"caf\xC3\xA9\"\n");
    EXPECT_NE(out.find("t.tsl:2:9: warning: the script looks like UTF-8"), std::string::npos)
        << out;
    EXPECT_NE(out.find("--utf8"), std::string::npos);
    // A lone Windows-1252 letter is no UTF-8 sequence.
    EXPECT_EQ(rules("STR s\ns = \"caf\xE9\"\n"), Rules{});
    // Windows-1252 capitals of which two bytes happen to form a UTF-8 sequence.
    EXPECT_EQ(rules(shown("PRINT 1, 1, \"\xC0\xC9\xD1\xD4\xDB\xDD\x8A\x8E\"\n")), Rules{});
}

TEST(Lint, IgnoreCommentSilencesOneRuleOnItsLineOrTheNext) {
    EXPECT_EQ(rules("VAR x\nx++ ' lint: ignore no-effect\n"), Rules{});
    EXPECT_EQ(rules("VAR x\n' lint: ignore no-effect\nx++\n"), Rules{});
    // Another rule's name, or a comment two lines up, silences nothing.
    EXPECT_EQ(rules("VAR x\nx++ ' lint: ignore for-next\n"), Rules{"no-effect"});
    EXPECT_EQ(rules("VAR x\n' lint: ignore no-effect\n\nx++\n"), Rules{"no-effect"});
}

TEST(Lint, LexerErrorStopsWithTheErrorInTheSameForm) {
    int status = 0;
    std::string out = report("VAR x\nx = 1 @@ \x01\n", &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out.rfind("t.tsl:2:10: error: T:Error: Unknown token!", 0), 0u) << out;
    EXPECT_EQ(out.find("warning"), std::string::npos);
}

// The checker's hints come with its errors (the checker's own tests hold
// the rest); the lint writes them under the caret.
TEST(Lint, CheckerErrorOfAReservedWordGetsAHint) {
    std::string out = report("FUNC draw()\nENDFN\n");
    EXPECT_EQ(out.rfind("t.tsl:1:6: error: ERROR~FUNC: ", 0), 0u) << out;
    EXPECT_NE(out.find("    hint: DRAW is a reserved word"), std::string::npos);
    EXPECT_NE(report("VAR a\nIF a = 1 OR a = 2\nENDIF\n").find("t.tsl:2:10: error:"), std::string::npos);
    EXPECT_NE(report("REM a comment\n").find("hint: REM is no word"), std::string::npos);
}

TEST(Lint, ErrorsThatConcernAPlace) {
    int status = 0;
    EXPECT_EQ(report("", &status), "t.tsl: error: Process Terminated!: EXIT from TOKENIZER\n");
    EXPECT_EQ(status, 1);
    // A block left open is named at its keyword, though the box names no line.
    EXPECT_EQ(report("VAR i\nWHILE i < 3\ni = i + 1\n"),
              "t.tsl:2:1: error: LOOP ERROR: WHILE without WEND , check code!\n    WHILE i < 3\n    ^~~~~\n"
              "    hint: this WHILE has no WEND (blocks are matched by nesting: each WEND closes the latest WHILE "
              "still open); add WEND where its block ends\n");
    // A curly quote: line 2 here, where the box counts the line ends before it.
    std::string curly = report("STR s\ns = \x93hi\x94\n");
    EXPECT_EQ(curly.rfind("t.tsl:2:5: error: T:Error: Unknown token!-[ \u201c ] at LINE: 1\n", 0), 0u) << curly;
    EXPECT_NE(curly.find("hint: a curly quote"), std::string::npos);
}

// One JSON object a finding, with the place 1-based and the end after it.
TEST(Lint, JsonFindings) {
    std::string out;
    EXPECT_EQ(lintScript("dir/t.tsl", "VAR x\n  x += 1\nSWAP\n", out, true), 1);
    EXPECT_EQ(out,
              "{\"file\":\"dir/t.tsl\",\"line\":2,\"column\":3,\"endLine\":2,\"endColumn\":4,"
              "\"severity\":\"warning\",\"caption\":\"\",\"text\":\"x += 1 does nothing; write x = x + 1\","
              "\"rule\":\"no-effect\",\"hint\":\"\"}\n");
    out.clear();
    EXPECT_EQ(lintScript("t.tsl", "STR s\ns = \"\xe9\" +\x01\n", out, true), 1);
    EXPECT_NE(out.find("\"caption\":\"T:Error\",\"text\":\"Unknown token!-[ \\u0001 ] at LINE: 1\""),
              std::string::npos) << out;
    EXPECT_NE(out.find("\"line\":2,\"column\":10,\"endLine\":2,\"endColumn\":11,"), std::string::npos) << out;
}

}  // namespace
}  // namespace tessel
