#include "host/launch.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/cp1252.h"
#include "debug/session.h"
#include "debug/trace.h"
#include "host/files.h"
#include "host/interpreter.h"
#include "platform/events_file.h"
#include "platform/sdl_module.h"
#ifdef _WIN32  // (the Windows build's own window backend instead of SDL's)
#include "platform/win32/win32_window.h"
#endif

namespace tessel {

int runScript(Options opts, const volatile std::sig_atomic_t* stopSignal, DebugHook* hook, ImageSource* images) {
    const bool runs = !opts.check && !opts.lint;
    PlatformConfig cfg;
    cfg.scripted = !opts.events.empty();
    std::string error;
    // A bad events file is a usage error, whichever backend plays it.
    if (runs && !opts.events.empty() && !loadEventsFile(opts.events, cfg.events, &error)) {
        std::fprintf(stderr, "tessel: %s\n", error.c_str());
        return 2;
    }
    // Nothing has been opened for writing yet, and nothing is when an
    // output would overwrite an input or another output.
    if (std::string why = refusedOutput(opts, cfg.events); !why.empty()) {
        std::fprintf(stderr, "tessel: %s\n", why.c_str());
        return 2;
    }
    // A seed line of the events file is applied as --seed is; one given on
    // the command line wins.
    if (std::optional<uint32_t> seed = takeSeed(cfg.events); seed && !opts.seed) opts.seed = seed;
    if (runs) cfg.stopSignal = stopSignal;
    // A debugger hears its client while a window waits for input too.
    Vm* machine = nullptr;
    if (hook) cfg.idle = [&machine, hook] {
        if (machine) hook->poll(*machine);
    };
    std::unique_ptr<NativeWindow> native;
    if (!opts.headless && runs) {
#ifdef _WIN32
        native = makeWin32Window(&error);
#else
        native = makeSdlWindow(&error);
#endif
        if (!native) {
            std::fprintf(stderr, "tessel: cannot open a window (%s); running headless\n", error.c_str());
            if (!opts.record.empty())
                std::fprintf(stderr, "tessel: without a window nothing is recorded; %s is left as it was\n",
                             bytesToTerminal(opts.record).c_str());
        }
    }
    if (native) {
        cfg.drive = Drive::Live;
    } else {
        opts.headless = true;
        cfg.keepFrames = !opts.screenshot.empty();
        native = makeHeadlessWindow();
    }
    WindowCore platform(std::move(native), std::move(cfg));
    std::optional<debug::Tracer> tracer;
    if (!hook && opts.trace && runs) hook = &tracer.emplace(opts.script);
    Interpreter interp(platform, opts);
    interp.vm.debug = hook;
    interp.gfx.imageSource = images;
    machine = &interp.vm;
    return interp.run();
}

namespace {

// The options of a launch request, read as tessel's command line reads
// them; false (with the reason) when they are not valid.
bool launchOptions(const debug::LaunchConfig& launch, Options& opts, std::string& why) {
    std::vector<std::string> words{"tessel"};
    for (const std::string& a : launch.args) words.push_back(a);
    if (launch.headless) words.push_back("--headless");
    if (!launch.events.empty()) words.insert(words.end(), {"--events", launch.events});
    words.insert(words.end(), {"--", launch.program});
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    if (parseOptions(static_cast<int>(words.size()), argv.data(), opts) != ParseResult::Run) {
        why = "the launch's arguments are not valid (see tessel --help)";
        return false;
    }
    if (opts.check || opts.lint || opts.lsp || opts.dap) {
        why = "a launch runs its script; --check, --lint, --lsp and --dap have no place in its arguments";
        return false;
    }
    opts.seed = launch.seed;
    return true;
}

// A script runs in its own folder (or the launch's cwd), as the editor's
// Run script runs it, so that the files it names are found beside it.
bool enterFolder(const debug::LaunchConfig& launch, const Options& opts, std::string& why) {
    namespace fs = std::filesystem;
    const fs::path folder = launch.cwd.empty() ? fs::path(opts.script).parent_path() : fs::path(launch.cwd);
    std::error_code ec;
    fs::current_path(folder, ec);
    if (ec) why = "cannot run in the folder " + folder.string() + ": " + ec.message();
    return !ec;
}

}  // namespace

int serveDebugAdapter() {
    // The protocol keeps standard output for itself.
    const int protocol = ::dup(1);
    if (protocol < 0 || ::dup2(2, 1) < 0) {
        std::perror("tessel --dap");
        return 1;
    }
    auto runner = [](const debug::LaunchConfig& launch, DebugHook& hook, ImageSource& images) {
        Options opts;
        std::string why;
        if (!launchOptions(launch, opts, why) || !enterFolder(launch, opts, why)) {
            hook.output("stderr", why);
            return 2;
        }
        // A headless run is the same run every time (its clock is virtual,
        // RAND's seed comes from it or from the launch, the image files
        // from the session's record): a run brought back to an earlier
        // stop is the run the client saw.
        return runScript(opts, nullptr, &hook, &images);
    };
    return debug::runDebugAdapter(0, protocol, runner);
}

}  // namespace tessel
