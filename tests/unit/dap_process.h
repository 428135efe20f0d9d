// `tessel --dap` driven over its standard input and output as an editor
// drives it: requests and their responses, events, and the usual start.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "lsp/json.h"
#include "piped_process.h"

namespace tessel::test {

// The debugger's test scripts.
inline const std::string kDir = std::string(TESSEL_TEST_DATA) + "/debug/";

// A `tessel --dap` process with pipes on its standard input and output.
class DapProcess : public test::PipedProcess {
   public:
    DapProcess() : PipedProcess("--dap") {}

    // Sends a request and waits for its response; events that come first
    // are kept for `event`.
    Json request(const std::string& command, Json args = Json::object()) {
        const int seq = ++seq_;
        send(Json::object({{"seq", seq},
                           {"type", "request"},
                           {"command", command},
                           {"arguments", std::move(args)}}));
        while (auto m = read()) {
            if ((*m)["type"].asString() == "response" && (*m)["request_seq"].asInt() == seq)
                return *m;
            events_.push_back(std::move(*m));
        }
        ADD_FAILURE() << "no response to " << command;
        return Json();
    }
    Json body(const std::string& command, Json args = Json::object()) {
        Json r = request(command, std::move(args));
        EXPECT_TRUE(r["success"].asBool()) << command << ": " << r["message"].asString();
        return r["body"];
    }
    // The next event called `name` (those before it are dropped, outputs
    // kept in `outputs`), if it comes within `timeoutMs` of each message.
    Json event(const std::string& name, int timeoutMs = 10000) {
        for (;;) {
            std::optional<Json> m;
            if (!events_.empty()) {
                m = std::move(events_.front());
                events_.pop_front();
            } else {
                m = read(timeoutMs);
            }
            if (!m) break;
            if ((*m)["event"].asString() == "output") outputs += (*m)["body"]["output"].asString();
            if ((*m)["event"].asString() == name) return *m;
        }
        ADD_FAILURE() << "no " << name << " event";
        return Json();
    }
    // initialize, launch (headless), breakpoints at `lines` of the script
    // with their conditions, configurationDone.
    void start(const std::string& script, const std::vector<Json>& breakpoints,
               Json extra = Json::object()) {
        Json caps = body("initialize", Json::object({{"adapterID", "tessel"}}));
        EXPECT_TRUE(caps["supportsStepBack"].asBool());
        EXPECT_TRUE(caps["supportsConditionalBreakpoints"].asBool());
        event("initialized");
        Json launch = Json::object(
            {{"program", kDir + script}, {"headless", true}, {"args", Json::array({"-q"})}});
        for (const auto& [k, v] : extra.members()) launch.set(k, v);
        body("launch", launch);
        Json bps = Json::array();
        for (const Json& b : breakpoints) bps.push(b);
        body("setBreakpoints", Json::object({{"source", Json::object({{"path", kDir + script}})},
                                             {"breakpoints", bps}}));
        body("configurationDone");
    }

    // After a stop: the frames as "name:line", innermost first (a page of
    // them when `page` names startFrame or levels).
    std::vector<std::string> frames(Json page = Json::object()) {
        std::vector<std::string> out;
        Json args = Json::object({{"threadId", 1}});
        for (const auto& [k, v] : page.members()) args.set(k, v);
        const Json trace = body("stackTrace", args);
        if (!page.members().empty()) lastTotalFrames = trace["totalFrames"].asInt();
        for (const Json& f : trace["stackFrames"].items())
            out.push_back(f["name"].asString() + ":" + std::to_string(f["line"].asInt()));
        return out;
    }
    int64_t lastTotalFrames = 0;  // what the last paged stackTrace said there are
    // The variables under a reference, name -> value.
    std::map<std::string, std::string> variables(int64_t ref, Json extra = Json::object()) {
        Json args = Json::object({{"variablesReference", ref}});
        for (const auto& [k, v] : extra.members()) args.set(k, v);
        std::map<std::string, std::string> out;
        const Json answer = body("variables", args);
        for (const Json& v : answer["variables"].items())
            out[v["name"].asString()] = v["value"].asString();
        return out;
    }
    std::string eval(const std::string& expression) {
        Json r =
            request("evaluate", Json::object({{"expression", expression}, {"context", "watch"}}));
        return r["success"].asBool() ? r["body"]["result"].asString()
                                     : "error: " + r["message"].asString();
    }
    // Resumes with `command` and waits for the next stop; its reason.
    std::string resume(const std::string& command) {
        body(command, Json::object({{"threadId", 1}}));
        return event("stopped")["body"]["reason"].asString();
    }
    int line() {
        const std::string top = frames().front();
        return std::stoi(top.substr(top.rfind(':') + 1));
    }

    std::string outputs;  // the output events' texts so far

   private:
    int seq_ = 0;
    std::deque<Json> events_;
};

inline Json at(int line, const std::string& condition = {}, const std::string& hits = {}) {
    Json b = Json::object({{"line", line}});
    if (!condition.empty()) b.set("condition", condition);
    if (!hits.empty()) b.set("hitCondition", hits);
    return b;
}

}  // namespace tessel::test
