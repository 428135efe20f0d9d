// `tessel --dap` driven over its standard input and output as an editor
// drives it, on the headless scripts of tests/debug: breakpoints with
// conditions and hit counts, the call stack (functions, an event block hit
// by a scripted click), variables, expressions, stepping in, over, out and
// back, pausing a run, and requests that come at the wrong time.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <thread>

#include "dap_process.h"

namespace tessel {
namespace {

using test::at;
using test::DapProcess;
using test::kDir;

constexpr int64_t kVariables = 1, kDrawing = 3;

TEST(DapSession, StopsAtAConditionalBreakpointAndShowsTheRun) {
    DapProcess dap;
    dap.start("loop_and_call.tsl", {at(16, "i = 2")});
    EXPECT_EQ(dap.event("stopped")["body"]["reason"].asString(), "breakpoint");
    EXPECT_EQ(dap.frames(), std::vector<std::string>({"main program:16"}));
    auto vars = dap.variables(kVariables);
    EXPECT_EQ(vars["i"], "2");
    EXPECT_EQ(vars["x"], "4");
    EXPECT_EQ(vars["s"], "\"hi\"");
    EXPECT_EQ(vars["p"], "0");
    // The array, paged by index.
    auto elements = dap.variables(1001, Json::object({{"start", 1}, {"count", 2}}));
    EXPECT_EQ(elements, (std::map<std::string, std::string>{{"1", "10"}, {"2", "20"}}));
    EXPECT_EQ(dap.variables(kDrawing)["pen"], "0, 0");
    EXPECT_EQ(dap.eval("x * 10 + i"), "42");
    EXPECT_EQ(dap.eval("s + \"!\""), "\"hi!\"");
    EXPECT_EQ(dap.eval("a[i] = 20"), "-1");
    EXPECT_NE(dap.eval("nosuch").find("no variable is named nosuch"), std::string::npos);
    // An array's bare name (a hover over it): its kind and size, its elements under it.
    EXPECT_EQ(dap.eval(" A "), "number array [6]");
    const Json hover = dap.request("evaluate", Json::object({{"expression", "a"}, {"context", "hover"}}))["body"];
    EXPECT_EQ(dap.variables(hover["variablesReference"].asInt(), Json::object({{"start", 2}, {"count", 1}})),
              (std::map<std::string, std::string>{{"2", "20"}}));

    // In, out, over.
    EXPECT_EQ(dap.resume("stepIn"), "step");
    EXPECT_EQ(dap.frames(), std::vector<std::string>({"twice:11", "main program:16"}));
    // Paged as a client asks for them: one level at a time, the total told.
    EXPECT_EQ(dap.frames(Json::object({{"levels", 1}})), std::vector<std::string>({"twice:11"}));
    EXPECT_EQ(dap.lastTotalFrames, 2);
    EXPECT_EQ(dap.frames(Json::object({{"startFrame", 1}, {"levels", 1}})), std::vector<std::string>({"main program:16"}));
    EXPECT_EQ(dap.frames(Json::object({{"startFrame", 5}})), std::vector<std::string>());
    EXPECT_EQ(dap.resume("stepOut"), "step");
    EXPECT_EQ(dap.frames(), std::vector<std::string>({"main program:17"}));
    EXPECT_EQ(dap.variables(kVariables)["x"], "8");
    for (int line : {18, 14, 15, 16}) {
        EXPECT_EQ(dap.resume("next"), "step");
        EXPECT_EQ(dap.line(), line) << "WEND, then the loop's test";
    }
    EXPECT_EQ(dap.resume("next"), "step");
    EXPECT_EQ(dap.line(), 17) << "over the call";

    // The condition holds no more: the run ends.
    dap.body("continue", Json::object({{"threadId", 1}}));
    EXPECT_EQ(dap.event("exited")["body"]["exitCode"].asInt(-1), 0);
    dap.event("terminated");
    EXPECT_NE(dap.outputs.find("32"), std::string::npos) << dap.outputs;
    dap.body("disconnect");
    EXPECT_EQ(dap.wait(), 0);
}

TEST(DapSession, BreakpointsOnALoopsTestAndOnJoinedConditionsAreMetAtEveryPass) {
    // A loop's WHILE line (its end tests it in place otherwise) and a
    // condition of several parts, which the loop tests itself.
    DapProcess dap;
    dap.start("loop_and_call.tsl", {at(14, "i > 3"), at(15, "i > 1 & a[1] = 10")});
    dap.event("stopped");
    std::vector<std::string> stops;
    for (int k = 0; k < 5; ++k) {
        stops.push_back(std::to_string(dap.line()) + " i=" + dap.variables(kVariables)["i"]);
        if (k < 4) dap.resume("continue");
    }
    EXPECT_EQ(stops, std::vector<std::string>({"15 i=2", "15 i=3", "14 i=4", "15 i=4", "14 i=5"}));
    dap.body("continue", Json::object({{"threadId", 1}}));
    EXPECT_EQ(dap.event("exited")["body"]["exitCode"].asInt(-1), 0);
}

TEST(DapSession, BreakpointsAfterOneTheLoopTestsAreMetAtTheirPasses) {
    // Line 5's false condition runs the lines after it from copies, and
    // line 7's runs the loop's end; the breakpoints on the lines after them
    // and on the loop's WHILE must still be met, a false condition on the
    // loop's end too.
    DapProcess dap;
    dap.start("copies.tsl",
              {at(4, "i = 50"), at(5, "i < 0"), at(6, "t = 20"), at(7, {}, "= 3"), at(8, "i < 0")});
    dap.event("stopped");
    std::vector<std::string> stops;
    for (int k = 0; k < 3; ++k) {
        auto vars = dap.variables(kVariables);
        stops.push_back(std::to_string(dap.line()) + " i=" + vars["i"] + " s=" + vars["s"]);
        if (k < 2) dap.resume("continue");
    }
    EXPECT_EQ(stops, std::vector<std::string>({"7 i=2 s=3", "6 i=10 s=55", "4 i=50 s=1225"}));
    dap.body("continue", Json::object({{"threadId", 1}}));
    EXPECT_EQ(dap.event("exited")["body"]["exitCode"].asInt(-1), 0);
    EXPECT_NE(dap.outputs.find("4950"), std::string::npos) << dap.outputs;
}

TEST(DapSession, AHitCountCountedInTheLoopIsKeptByAStepBack) {
    DapProcess dap;
    dap.start("loop_and_call.tsl", {at(17, {}, "> 1")});
    EXPECT_EQ(dap.event("stopped")["body"]["reason"].asString(), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["i"], "1");
    EXPECT_EQ(dap.resume("stepBack"), "step");
    EXPECT_EQ(dap.resume("continue"), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["i"], "1") << "the same hit again";
    EXPECT_EQ(dap.resume("continue"), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["i"], "2");
}

TEST(DapSession, AHitCountOnAWhileCountsEachOfItsTests) {
    DapProcess dap;
    dap.start("loop_and_call.tsl", {at(14, {}, ">= 4")});
    std::vector<std::string> stops;
    for (const char* resume : {"", "continue", "continue", "stepBack", "continue"}) {
        if (*resume) EXPECT_EQ(dap.resume(resume), *resume == 'c' ? "breakpoint" : "step");
        else EXPECT_EQ(dap.event("stopped")["body"]["reason"].asString(), "breakpoint");
        stops.push_back(std::to_string(dap.line()) + " i=" + dap.variables(kVariables)["i"]);
    }
    EXPECT_EQ(stops, std::vector<std::string>({"14 i=3", "14 i=4", "14 i=5", "18 i=5", "14 i=5"}));
    dap.body("continue", Json::object({{"threadId", 1}}));
    EXPECT_EQ(dap.event("exited")["body"]["exitCode"].asInt(-1), 0);
}

TEST(DapSession, SteppingBackThenForwardReachesTheSameState) {
    DapProcess dap;
    dap.start("loop_and_call.tsl", {at(15, {}, "3")});
    EXPECT_EQ(dap.event("stopped")["body"]["reason"].asString(), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["i"], "2") << "the third hit";
    std::vector<std::vector<std::string>> frames;
    std::vector<std::map<std::string, std::string>> states;
    for (int k = 0; k < 4; ++k) {
        frames.push_back(dap.frames());
        states.push_back(dap.variables(kVariables));
        dap.resume("stepIn");
    }
    for (int k = 3; k >= 0; --k) {
        EXPECT_EQ(dap.resume("stepBack"), "step");
        EXPECT_EQ(dap.frames(), frames[static_cast<size_t>(k)]) << "back to step " << k;
        EXPECT_EQ(dap.variables(kVariables), states[static_cast<size_t>(k)]) << "back to step " << k;
    }
    for (int k = 1; k < 4; ++k) {
        dap.resume("stepIn");
        EXPECT_EQ(dap.frames(), frames[static_cast<size_t>(k)]) << "forward to step " << k;
        EXPECT_EQ(dap.variables(kVariables), states[static_cast<size_t>(k)]) << "forward to step " << k;
    }
    // Output already shown is not shown again by the runs that bring the
    // script back.
    dap.body("continue", Json::object({{"threadId", 1}}));
    dap.event("terminated");
    size_t printed = 0;
    for (size_t at = dap.outputs.find("32\n"); at != std::string::npos; at = dap.outputs.find("32\n", at + 1)) ++printed;
    EXPECT_EQ(printed, 1u) << dap.outputs;
}

TEST(DapSession, ASetValueChangesTheRunAndIsKeptOrUndoneByStepsBack) {
    DapProcess dap;
    dap.start("loop_and_call.tsl", {at(16, "i = 2")});
    dap.event("stopped");
    auto set = [&](int64_t ref, const std::string& name, const std::string& value) {
        Json r = dap.request("setVariable", Json::object({{"variablesReference", ref}, {"name", name}, {"value", value}}));
        return r["success"].asBool() ? r["body"]["value"].asString() : "error: " + r["message"].asString();
    };
    EXPECT_EQ(set(kVariables, "x", "x * 25"), "100");
    EXPECT_EQ(set(kVariables, "S", "\"yo\""), "\"yo\"");
    EXPECT_EQ(set(1001, "3", "7 * 3"), "21");
    EXPECT_EQ(set(kVariables, "s", "5").rfind("error: s holds a string", 0), 0u);
    EXPECT_EQ(set(kVariables, "p", "1.5").rfind("error: p is a pointer", 0), 0u);
    EXPECT_EQ(set(1001, "6", "1").rfind("error:", 0), 0u) << "past the declared size";
    EXPECT_EQ(dap.variables(kVariables)["s"], "\"yo\"");

    EXPECT_EQ(dap.resume("next"), "step");
    EXPECT_EQ(dap.variables(kVariables)["x"], "200") << "the run went on with the value set";
    // Back to the stop where it was set: set again there.
    EXPECT_EQ(dap.resume("reverseContinue"), "breakpoint");
    EXPECT_EQ(dap.line(), 16);
    EXPECT_EQ(dap.variables(kVariables)["x"], "100");
    EXPECT_EQ(dap.variables(1001, Json::object({{"start", 3}, {"count", 1}}))["3"], "21");
    // Back before it: undone, and the run from there goes on without it.
    EXPECT_EQ(dap.resume("stepBack"), "step");
    EXPECT_EQ(dap.variables(kVariables)["x"], "4");
    EXPECT_EQ(dap.resume("continue"), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["x"], "4") << "the stop of the edit, met again in a new run";
    dap.body("continue", Json::object({{"threadId", 1}}));
    dap.event("terminated");
    EXPECT_NE(dap.outputs.find("32"), std::string::npos) << dap.outputs;
    EXPECT_EQ(dap.outputs.find("800"), std::string::npos) << dap.outputs;
}

TEST(DapSession, ReverseContinueGoesBackToTheLastBreakpointHit) {
    DapProcess dap;
    dap.start("loop_and_call.tsl", {at(17)});
    dap.event("stopped");
    EXPECT_EQ(dap.resume("continue"), "breakpoint");
    EXPECT_EQ(dap.resume("continue"), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["i"], "2");
    EXPECT_EQ(dap.resume("reverseContinue"), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["i"], "1");
    EXPECT_EQ(dap.resume("reverseContinue"), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["i"], "0");
    // No hit before the first: the run's first statement.
    EXPECT_EQ(dap.resume("reverseContinue"), "entry");
    EXPECT_EQ(dap.line(), 3) << "a declaration is a statement";
    EXPECT_EQ(dap.resume("continue"), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["i"], "0");
}

TEST(DapSession, AnEventBlockIsAFrameNamedAfterItsMessage) {
    DapProcess dap;
    dap.start("click.tsl", {at(7)}, Json::object({{"events", kDir + "click.events"}, {"stopOnEntry", true}}));
    EXPECT_EQ(dap.event("stopped")["body"]["reason"].asString(), "entry");
    EXPECT_EQ(dap.line(), 3);
    EXPECT_EQ(dap.resume("continue"), "breakpoint");
    EXPECT_EQ(dap.frames(), std::vector<std::string>({"WINMSG WMLBUTTONDOWN:7"}));
    EXPECT_EQ(dap.variables(kVariables)["clicks"], "0");
    EXPECT_EQ(dap.resume("continue"), "breakpoint");
    EXPECT_EQ(dap.variables(kVariables)["clicks"], "1");
    const std::string r = dap.variables(kVariables)["r"];
    EXPECT_EQ(dap.resume("next"), "step");
    const std::string drawn = dap.variables(kVariables)["r"];
    // Back over the second click's RAND, and forward again: the same value.
    EXPECT_EQ(dap.resume("stepBack"), "step");
    EXPECT_EQ(dap.variables(kVariables)["r"], r);
    EXPECT_EQ(dap.resume("next"), "step");
    EXPECT_EQ(dap.variables(kVariables)["r"], drawn);
    dap.body("continue", Json::object({{"threadId", 1}}));
    EXPECT_EQ(dap.event("exited")["body"]["exitCode"].asInt(-1), 0);
}

TEST(DapSession, ARunBroughtBackReadsTheImageFilesTheFirstRunRead) {
    namespace fs = std::filesystem;
    char dirName[] = "/tmp/tessel-dap-test-XXXXXX";
    ASSERT_NE(mkdtemp(dirName), nullptr);
    const fs::path dir(dirName);
    fs::copy_file(std::string(TESSEL_TEST_DATA) + "/fixtures/images/v24_topdown.bmp", dir / "pic.bmp");
    {
        std::FILE* f = std::fopen((dir / "pic.tsl").c_str(), "w");
        std::fputs("PTR p\nVAR w\nLOADIMG p, \"pic.bmp\", 0, 0, 0, 16\nw = 1\nw = 2\n", f);
        std::fclose(f);
    }
    DapProcess dap;
    Json launch = Json::object({{"program", (dir / "pic.tsl").string()}, {"headless", true}, {"args", Json::array({"-q"})}});
    dap.body("initialize");
    dap.body("launch", launch);
    dap.body("setBreakpoints", Json::object({{"source", Json::object({{"path", (dir / "pic.tsl").string()}})},
                                             {"breakpoints", Json::array({at(5)})}}));
    dap.body("configurationDone");
    dap.event("stopped");
    EXPECT_EQ(dap.variables(kDrawing)["images loaded"], "1");
    const std::string handle = dap.variables(kVariables)["p"];
    EXPECT_NE(handle, "0");
    // The file goes; the run brought back still reads it as it was.
    fs::remove(dir / "pic.bmp");
    EXPECT_EQ(dap.resume("stepBack"), "step");
    EXPECT_EQ(dap.line(), 4);
    EXPECT_EQ(dap.variables(kDrawing)["images loaded"], "1");
    EXPECT_EQ(dap.variables(kVariables)["p"], handle);
    dap.body("disconnect");
    EXPECT_EQ(dap.wait(), 0);
    fs::remove_all(dir);
}

TEST(DapSession, PauseStopsARunningScriptAndDisconnectEndsIt) {
    DapProcess dap;
    dap.start("endless.tsl", {});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(dap.request("stackTrace", Json::object({{"threadId", 1}}))["success"].asBool(true), false)
        << "a running script has no stack to show";
    dap.body("pause", Json::object({{"threadId", 1}}));
    EXPECT_EQ(dap.event("stopped")["body"]["reason"].asString(), "pause");
    const int line = dap.line();
    EXPECT_TRUE(line >= 3 && line <= 5) << "in the loop: " << line;
    EXPECT_NE(dap.variables(kVariables)["n"], "0");
    dap.body("disconnect");
    EXPECT_EQ(dap.wait(), 0);
}

TEST(DapSession, WrongRequestsGetErrorsNotCrashes) {
    DapProcess dap;
    EXPECT_FALSE(dap.request("continue", Json::object({{"threadId", 1}}))["success"].asBool(true));
    EXPECT_FALSE(dap.request("evaluate", Json::object({{"expression", "1"}}))["success"].asBool(true));
    EXPECT_FALSE(dap.request("launch", Json::object())["success"].asBool(true)) << "no program";
    EXPECT_FALSE(dap.request("goto", Json::object())["success"].asBool(true));
    // What is no request is passed over: no JSON, no command, arguments of
    // the wrong kinds.
    dap.raw("Content-Length: 9\r\n\r\n{\"seq\": [");
    dap.send(Json::object({{"type", "request"}, {"seq", 99}}));
    dap.send(Json::array({1, 2}));
    const Json odd = dap.request("setBreakpoints", Json::object({{"breakpoints", "all"}, {"source", 3}}));
    EXPECT_TRUE(odd["success"].asBool()) << "breakpoints that are no list set none";
    EXPECT_TRUE(odd["body"]["breakpoints"].items().empty());
    EXPECT_FALSE(dap.request("variables", Json::object({{"variablesReference", "x"}}))["success"].asBool(true));
    // A script that cannot be read ends the run with its box, not the session.
    dap.start("no_such_script.tsl", {at(1, "(((")});
    EXPECT_EQ(dap.event("exited")["body"]["exitCode"].asInt(-1), 1);
    EXPECT_NE(dap.outputs.find("Cannot open source file"), std::string::npos) << dap.outputs;
    dap.body("disconnect");
    EXPECT_EQ(dap.wait(), 0);
}

TEST(DapSession, ABreakpointConditionThatDoesNotReadIsReportedAndStops) {
    DapProcess dap;
    dap.start("loop_and_call.tsl", {at(1, "i = = 2"), at(17, "i ="), at(40)});
    // Line 1 is a comment: the breakpoint moves to the first statement after it.
    EXPECT_EQ(dap.event("stopped")["body"]["reason"].asString(), "breakpoint");
    EXPECT_EQ(dap.line(), 3);
    EXPECT_NE(dap.outputs.find("breakpoint condition on line 1"), std::string::npos) << dap.outputs;
    EXPECT_EQ(dap.resume("continue"), "breakpoint");
    EXPECT_EQ(dap.line(), 17);
}

}  // namespace
}  // namespace tessel
