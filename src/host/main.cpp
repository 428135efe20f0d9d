// tessel: runs one script file in a window (or headless).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/interpreter.h"
#include "host/options.h"
#include "platform/events_file.h"

int main(int argc, char** argv) {
    using namespace tessel;
    Options opts;
    switch (parseOptions(argc, argv, opts)) {
        case ParseResult::Exit0: return 0;
        case ParseResult::Usage: return 2;
        case ParseResult::Run: break;
    }
    PlatformConfig cfg{opts.events, opts.record};
    std::string error;
    // A bad events file is a usage error, whichever backend would read it.
    std::vector<ScriptedEvent> events;
    if (!opts.check && !opts.lint && !opts.events.empty() && !loadEventsFile(opts.events, events, &error)) {
        std::fprintf(stderr, "tessel: %s\n", error.c_str());
        return 2;
    }
    std::unique_ptr<Platform> platform;
    if (!opts.headless && !opts.check && !opts.lint) {
        platform = makeSdlPlatform(cfg, &error);
        if (!platform) {
            std::fprintf(stderr, "tessel: cannot open a window (%s); running headless\n",
                         error.c_str());
            opts.headless = true;
        }
    }
    if (!platform) {
        cfg.keepFrames = !opts.screenshot.empty();
        platform = makeHeadlessPlatform(cfg, &error);
        if (!platform) {
            std::fprintf(stderr, "tessel: %s\n", error.c_str());
            return 2;
        }
    }
    Interpreter interp(*platform, opts);
    return interp.run();
}
