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

namespace {

std::unique_ptr<NativeWindow> makeNativeWindow(std::string* error) {
#ifdef _WIN32
    return makeWin32Window(error);
#else
    return makeSdlWindow(error);
#endif
}

// A run's view of the session's window: opened by the first run only.
class BorrowedWindow final : public NativeWindow {
   public:
    explicit BorrowedWindow(SessionWindow& owner) : owner_(owner) {}
    bool open(std::string_view title, int width, int height) override {
        if (!owner_.opened) owner_.opened = owner_.window->open(title, width, height);
        return owner_.opened;
    }
    void present(PixelView frame) override { owner_.window->present(frame); }
    void pollEvents(NativeInput& input, int timeoutMs) override { owner_.window->pollEvents(input, timeoutMs); }
    bool showBox(std::string_view caption, PixelView box) override { return owner_.window->showBox(caption, box); }
    void hideBox() override { owner_.window->hideBox(); }

   private:
    SessionWindow& owner_;
};

// The session's window, wrapped to record the run's input and clock (null
// when no window can be opened).
std::unique_ptr<ReplayedWindow> recordedWindow(SessionWindow& session, std::string* error) {
    if (!session.window) session.window = makeNativeWindow(error);
    if (!session.window) return nullptr;
    auto window = std::make_unique<ReplayedWindow>(std::make_unique<BorrowedWindow>(session), &session.live->record);
    session.live->window = window.get();
    return window;
}

}  // namespace

int runScript(Options opts, const volatile std::sig_atomic_t* stopSignal, DebugHook* hook, ImageSource* images,
              SessionWindow* sessionWindow) {
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
    // (A run left by a step back passes by on its way out.)
    struct Forget {
        SessionWindow* session;
        ~Forget() {
            if (session) session->live->window = nullptr;
        }
    } forget{sessionWindow};
    if (!opts.headless && runs) {
        if (sessionWindow) {
            if (std::unique_ptr<ReplayedWindow> recorded = recordedWindow(*sessionWindow, &error)) {
                cfg.clock = std::make_unique<ReplayedClock>(*recorded);
                native = std::move(recorded);
            }
        } else {
            native = makeNativeWindow(&error);
        }
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
    // A window run is recorded as it goes, so it can step back too; while
    // it stands its window is read this often, to stay painted and answer.
    LiveRuns live;
    live.tendMs = 30;
    SessionWindow window;
    window.live = &live;
    // The run is over, however it ended (a step back passes by): its window closes.
    live.ended = [&window] {
        window.window.reset();
        window.opened = false;
    };
    auto runner = [&window](const debug::LaunchConfig& launch, DebugHook& hook, ImageSource& images) {
        Options opts;
        std::string why;
        if (!launchOptions(launch, opts, why) || !enterFolder(launch, opts, why)) {
            hook.output("stderr", why);
            return 2;
        }
        // A run is the same run every time (a headless clock is virtual, a
        // window run's clock and input come from the session's record,
        // RAND's seed from the events or the launch, the image files from
        // the session's record): a run brought back to an earlier stop is
        // the run the client saw.
        return runScript(opts, nullptr, &hook, &images, &window);
    };
    return debug::runDebugAdapter(0, protocol, runner, &live);
}

}  // namespace tessel
