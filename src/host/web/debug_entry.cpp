// The page's debugger: the engine's own debug session (debug/session.cpp)
// served over the page's queue of Debug Adapter Protocol messages. The page
// posts requests into the queue; the session waits for them by suspending
// the run (the page keeps painting and answering meanwhile), and its
// responses and events go straight back to the page.
#include <emscripten.h>
#include <unistd.h>

#include <string>

#include "debug/channel.h"
#include "debug/replayed_window.h"
#include "debug/session.h"
#include "host/web/page_run.h"
#include "platform/browser/page.h"

namespace tessel {

extern "C" {

// (The page's side is JavaScript, which the C++ format would garble.)
// clang-format off
// Suspends the run until the page has a message for the session, the page
// ends the session, or `ms` milliseconds have passed (-1: no limit; 0: only
// a look). The next message's length in UTF-8 bytes, -1 for none, -2 when
// the session is over.
EM_JS(int, page_debug_wait, (int ms), {
    return Asyncify.handleSleep(function(wakeUp) { Module.page.debugWait(ms, wakeUp); });
});

// Takes the next message into `text` (`capacity` bytes with its NUL).
EM_JS(void, page_debug_take, (char* text, int capacity), {
    stringToUTF8(Module.page.debugTake(), text, capacity);
});

// Hands a response or an event to the page.
EM_JS(void, page_debug_post, (const char* json), { Module.page.debugPost(UTF8ToString(json)); });
// clang-format on

}  // extern "C"

namespace {

class PageChannel final : public debug::Channel {
   public:
    Status next(std::string& body, int timeoutMs) override {
        const int length = page_debug_wait(timeoutMs);
        if (length == -1) return Status::Timeout;
        if (length < 0) return Status::End;
        body.assign(static_cast<size_t>(length) + 1, '\0');
        page_debug_take(body.data(), length + 1);
        body.resize(static_cast<size_t>(length));
        return Status::Message;
    }

    bool write(const std::string& body) override {
        page_debug_post(body.c_str());
        return true;
    }
};

}  // namespace

}  // namespace tessel

extern "C" {

// Serves one debug session for the page until it disconnects: the launch
// names the script, its events file (a "headless" launch plays it) and the
// folder it runs in; a live run (not headless) is "replayable": its input
// is recorded, so it can step back too. The runs log boxes, PRINTs and
// findings at the paths given, as tessel_run_located does. Returns 0, or 3
// when the page stopped the run.
EMSCRIPTEN_KEEPALIVE int tessel_debug(const char* boxLog, const char* printLog,
                                      const char* findingLog, int quiet) {
    using namespace tessel;
    const std::string boxes = boxLog, prints = printLog, findings = findingLog;
    PageChannel channel;
    // A stop does not pump the page's window: input waits in the page's
    // queue, and the canvas is painted at once.
    LiveRuns live;
    bool stopped = false;
    auto runner = [&](const debug::LaunchConfig& launch, DebugHook& hook, ImageSource& images) {
        if (!launch.cwd.empty() && ::chdir(launch.cwd.c_str()) != 0) {
            hook.output("stderr", "cannot run in the folder " + launch.cwd);
            return 2;
        }
        PageRun run{launch.program.c_str(),
                    boxes.c_str(),
                    prints.c_str(),
                    findings.c_str(),
                    launch.events.c_str(),
                    launch.headless,
                    quiet != 0,
                    launch.seed,
                    {},
                    {}};
        // A live run's input is recorded as it enters; a run played from
        // events has its own.
        run.wrapWindow = [&](std::unique_ptr<NativeWindow> page) -> std::unique_ptr<NativeWindow> {
            auto window = std::make_unique<ReplayedWindow>(
                std::move(page), launch.headless ? nullptr : &live.record, page_paint);
            live.window = window.get();
            return window;
        };
        if (!launch.headless)
            run.clock = [&]() -> std::unique_ptr<Clock> {
                return std::make_unique<ReplayedClock>(*live.window);
            };
        // (A step back leaves the run by an exception.)
        struct Forget {
            LiveRuns& live;
            ~Forget() { live.window = nullptr; }
        } forget{live};
        const int status = runInPage(run, &hook, &images);
        stopped = stopped || status == kStoppedByPage;
        return status;
    };
    debug::Session session(channel, runner, &live);
    session.serve();
    return stopped ? kStoppedByPage : 0;
}

}  // extern "C"
