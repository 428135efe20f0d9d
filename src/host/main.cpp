// tessel: runs one script file in a window (or headless).
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/interpreter.h"
#include "host/options.h"
#include "platform/events_file.h"
#include "platform/sdl_module.h"

int main(int argc, char** argv) {
    using namespace tessel;
    Options opts;
    switch (parseOptions(argc, argv, opts)) {
        case ParseResult::Exit0: return 0;
        case ParseResult::Usage: return 2;
        case ParseResult::Run: break;
    }
    PlatformConfig cfg;
    cfg.record = opts.record;
    cfg.scripted = !opts.events.empty();
    std::string error;
    // A bad events file is a usage error, whichever backend plays it.
    if (!opts.check && !opts.lint && !opts.events.empty() && !loadEventsFile(opts.events, cfg.events, &error)) {
        std::fprintf(stderr, "tessel: %s\n", error.c_str());
        return 2;
    }
    // A seed line of the events file is applied as --seed is; one given on
    // the command line wins.
    if (std::optional<uint32_t> seed = takeSeed(cfg.events); seed && !opts.seed) opts.seed = seed;
    std::unique_ptr<NativeWindow> native;
    if (!opts.headless && !opts.check && !opts.lint) {
        native = makeSdlWindow(&error);
        if (!native)
            std::fprintf(stderr, "tessel: cannot open a window (%s); running headless\n", error.c_str());
    }
    if (!native) {
        opts.headless = true;
        cfg.keepFrames = !opts.screenshot.empty();
        native = makeHeadlessWindow();
    }
    WindowCore platform(std::move(native), std::move(cfg));
    Interpreter interp(platform, opts);
    return interp.run();
}
