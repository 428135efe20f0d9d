#include <gtest/gtest.h>

#include "platform/events_file.h"

namespace tessel {
namespace {

std::vector<ScriptedEvent> parseOk(std::string_view text) {
    std::vector<ScriptedEvent> out;
    std::string error;
    EXPECT_TRUE(parseEvents(text, "ev", out, &error)) << error;
    return out;
}

std::string parseError(std::string_view text) {
    std::vector<ScriptedEvent> out;
    std::string error;
    EXPECT_FALSE(parseEvents(text, "run.events", out, &error));
    return error;
}

TEST(EventsFile, EveryVerbWithItsOperands) {
    auto ev = parseOk(
        "# a comment\n\nwait 250\nmove 10 20\nclick 1 2\nrclick 3 4\nkeydown 13\r\nkeyup 65\n"
        "type  two words \ncommand 1\ncommand 7 256\npaint\nscreenshot out dir/x.png\nclose\n");
    ASSERT_EQ(ev.size(), 12u);
    EXPECT_EQ(ev[0].kind, EventKind::Wait);
    EXPECT_EQ(ev[0].a, 250);
    EXPECT_EQ(ev[0].line, 3);
    EXPECT_EQ(ev[1].kind, EventKind::Move);
    EXPECT_EQ(ev[1].b, 20);
    EXPECT_EQ(ev[3].kind, EventKind::RClick);
    EXPECT_EQ(ev[4].kind, EventKind::KeyDown);
    EXPECT_EQ(ev[4].a, 13);  // CR LF line ends are fine
    EXPECT_EQ(ev[6].kind, EventKind::Type);
    EXPECT_EQ(ev[6].text, " two words ");  // the rest of the line after one blank
    EXPECT_EQ(ev[7].b, 0);                 // notification code left out
    EXPECT_EQ(ev[8].a, 7);
    EXPECT_EQ(ev[8].b, 256);
    EXPECT_EQ(ev[10].text, "out dir/x.png");
    EXPECT_EQ(ev[11].kind, EventKind::Close);
    EXPECT_EQ(ev[11].line, 14);
}

TEST(EventsFile, MalformedLinesNameFileAndLine) {
    EXPECT_EQ(parseError("wait 1\nbogus 3\n"), "run.events:2: unknown event 'bogus'");
    EXPECT_EQ(parseError("move 10\n"), "run.events:1: move: missing operand");
    EXPECT_EQ(parseError("\n\nclick 1 2 3\n"), "run.events:3: click: too many operands");
    EXPECT_EQ(parseError("keydown 1x\n"), "run.events:1: keydown: '1x' is not a number");
    EXPECT_EQ(parseError("wait -5\n"), "run.events:1: wait: negative time");
    EXPECT_EQ(parseError("screenshot\n"), "run.events:1: screenshot needs a file name");
    EXPECT_EQ(parseError("wait 99999999999999999999\n"),
              "run.events:1: wait: '99999999999999999999' is not a number");
}

// An error quotes the line's words for the terminal: control bytes
// escaped, a long word cut short.
TEST(EventsFile, ErrorsQuoteWordsSafely) {
    EXPECT_EQ(parseError("\x1b[2Jboom\n"), "run.events:1: unknown event '\\x1b[2Jboom'");
    EXPECT_EQ(parseError(std::string("move 1 \x00\n", 10)), "run.events:1: move: '\\x00' is not a number");
    EXPECT_EQ(parseError("click 1 " + std::string(100000, '9') + "\n"),
              "run.events:1: click: '" + std::string(40, '9') + "...' is not a number");
}

TEST(EventsFile, FormattedEventsParseBack) {
    std::vector<ScriptedEvent> in = {
        makeEvent(EventKind::Wait, 40),        makeEvent(EventKind::Move, 5, 6),
        makeEvent(EventKind::Click, 7, 8),     makeEvent(EventKind::KeyUp, 27),
        makeEvent(EventKind::Type, 0, 0, "a b"), makeEvent(EventKind::Command, 2),
        makeEvent(EventKind::Command, 1, 3),   makeEvent(EventKind::Close),
        makeEvent(EventKind::Seed, 4294967295)};
    std::string text;
    for (const ScriptedEvent& e : in) text += formatEvent(e) + "\n";
    auto out = parseOk(text);
    ASSERT_EQ(out.size(), in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(out[i].kind, in[i].kind) << i;
        EXPECT_EQ(out[i].a, in[i].a) << i;
        EXPECT_EQ(out[i].b, in[i].b) << i;
        EXPECT_EQ(out[i].text, in[i].text) << i;
    }
}

// A recording's seed takes any 32-bit value and is taken out of the events
// before they are played; the last seed line counts.
TEST(EventsFile, SeedLinesAreTakenOutBeforeTheRun) {
    auto ev = parseOk("seed 7\nclick 1 2\nseed 4294967295\nwait 5\n");
    std::optional<uint32_t> seed = takeSeed(ev);
    ASSERT_TRUE(seed.has_value());
    EXPECT_EQ(*seed, 4294967295u);
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].kind, EventKind::Click);
    EXPECT_EQ(ev[1].kind, EventKind::Wait);
    auto none = parseOk("click 1 2\n");
    EXPECT_FALSE(takeSeed(none).has_value());
    EXPECT_EQ(parseError("seed 4294967296\n"), "run.events:1: seed: '4294967296' is not a number from 0 to 4294967295");
    EXPECT_EQ(parseError("seed -1\n"), "run.events:1: seed: '-1' is not a number from 0 to 4294967295");
    EXPECT_EQ(parseError("seed\n"), "run.events:1: seed: missing operand");
    EXPECT_EQ(parseError("seed 1 2\n"), "run.events:1: seed: too many operands");
}

TEST(EventsFile, MissingFileIsAnError) {
    std::vector<ScriptedEvent> out;
    std::string error;
    EXPECT_FALSE(loadEventsFile("/nonexistent/x.events", out, &error));
    EXPECT_NE(error.find("/nonexistent/x.events"), std::string::npos);
}

}  // namespace
}  // namespace tessel
