#include <gtest/gtest.h>

#include "host/interpreter.h"
#include "host/options.h"
#include "base/cp1252.h"

namespace tessel {
namespace {

ParseResult parse(std::vector<std::string> args, Options& o) {
    std::vector<char*> argv;
    static std::string prog = "tessel";
    argv.push_back(prog.data());
    for (std::string& a : args) argv.push_back(a.data());
    return parseOptions(static_cast<int>(argv.size()), argv.data(), o);
}

TEST(Options, ScriptAndFlags) {
    Options o;
    EXPECT_EQ(parse({"--headless", "--box-log", "b.jsonl", "demo.tsl"}, o), ParseResult::Run);
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.boxLog, "b.jsonl");
    EXPECT_EQ(o.script, "demo.tsl");
}

TEST(Options, UsageErrors) {
    Options a, b, c, d;
    EXPECT_EQ(parse({}, a), ParseResult::Usage);
    EXPECT_EQ(parse({"--bogus", "x.tsl"}, b), ParseResult::Usage);
    EXPECT_EQ(parse({"x.tsl", "y.tsl"}, c), ParseResult::Usage);
    EXPECT_EQ(parse({"x.tsl", "--events"}, d), ParseResult::Usage);
}

TEST(Options, ScriptNamesStartingWithADashAfterDoubleDash) {
    Options o;
    EXPECT_EQ(parse({"--", "-odd.tsl"}, o), ParseResult::Run);
    EXPECT_EQ(o.script, "-odd.tsl");
}

TEST(Options, FormatGoesWithCheckOrLint) {
    Options a, b, c, d, e;
    EXPECT_EQ(parse({"--check", "--format=json", "x.tsl"}, a), ParseResult::Run);
    EXPECT_TRUE(a.json);
    EXPECT_EQ(parse({"--lint", "--format", "json", "x.tsl"}, b), ParseResult::Run);
    EXPECT_TRUE(b.json);
    EXPECT_EQ(parse({"--lint", "--format=text", "x.tsl"}, c), ParseResult::Run);
    EXPECT_FALSE(c.json);
    EXPECT_EQ(parse({"--format=json", "x.tsl"}, d), ParseResult::Usage);  // a run writes no findings
    EXPECT_EQ(parse({"--check", "--format=xml", "x.tsl"}, e), ParseResult::Usage);
}

TEST(Options, TheDebugAdapterTakesItsScriptFromTheEditor) {
    Options a, b, c, d;
    EXPECT_EQ(parse({"--dap"}, a), ParseResult::Run);
    EXPECT_TRUE(a.dap);
    EXPECT_EQ(parse({"--dap", "--stdio"}, b), ParseResult::Run);
    EXPECT_EQ(parse({"--dap", "x.tsl"}, c), ParseResult::Usage);
    EXPECT_EQ(parse({"--dap", "--lsp"}, d), ParseResult::Usage);
}

TEST(TextHelpers, JsonEscapeKeepsTheFileAscii) {
    EXPECT_EQ(jsonEscape("a\"b\\c"), "a\\\"b\\\\c");
    EXPECT_EQ(jsonEscape(std::string("\r\n\x7f\xe9\x00", 5)), "\\u000d\\u000a\\u007f\\u00e9\\u0000");
}

// What reaches the terminal from a script or a file name can show control
// bytes but never send them: an escape sequence could recolour the terminal,
// move its cursor or set its title.
TEST(TextHelpers, TerminalFormsEscapeControlBytes) {
    EXPECT_EQ(windows1252ToTerminal("a\x1b[31m\x07\x7f"), "a\\x1b[31m\\x07\\x7f");
    EXPECT_EQ(windows1252ToTerminal(std::string("x\0y", 3)), "x\\x00y");
    // Tabs and line breaks stay; a carriage return alone, which would
    // overwrite the line, does not.
    EXPECT_EQ(windows1252ToTerminal("a\tb\r\nc\nd\re"), "a\tb\r\nc\nd\\x0de");
    EXPECT_EQ(windows1252ToTerminal("caf\xe9 \x80"), "caf\xc3\xa9 \xe2\x82\xac");  // readable as before
    // A file name is kept byte for byte, but for controls, C1 ones in UTF-8 too.
    EXPECT_EQ(bytesToTerminal("caf\xc3\xa9\x1b]0;x\x07"), "caf\xc3\xa9\\x1b]0;x\\x07");
    EXPECT_EQ(bytesToTerminal("a\xc2\x9b" "2J"), "a\\xc2\\x9b2J");
}

TEST(TextHelpers, Cp1252ToUtf8) {
    EXPECT_EQ(windows1252ToUtf8("\xe9"), "\xc3\xa9");          // e acute
    EXPECT_EQ(windows1252ToUtf8("\x80"), "\xe2\x82\xac");      // euro sign
    EXPECT_EQ(windows1252ToUtf8("plain"), "plain");
}

}  // namespace
}  // namespace tessel
