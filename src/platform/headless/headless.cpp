// The headless backend: no window. Window events come from an events file
// and are delivered one at a time from the message loop, once the script is
// idle; message boxes go to stderr and are confirmed at once; presented
// frames are kept when a screenshot will be taken, and only then.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/cp1252.h"
#include "platform/events_file.h"
#include "platform/platform.h"
#include "platform/window_core.h"

namespace tessel {

namespace {

class HeadlessPlatform final : public WindowCore {
   public:
    HeadlessPlatform(std::vector<ScriptedEvent> events, bool keepFrames) : events_(std::move(events)) {
        keepFrames_ = keepFrames;
        virtualTime_ = true;
    }

    bool getMessage(Message& m) override {
        for (;;) {
            if (closed()) return false;
            if (takeMessage(m)) return true;
            if (waitUntil_) {
                if (takeTickDuringWait(m)) return true;
                continue;
            }
            if (next_ >= events_.size()) return false;  // as if the window was closed
            startEvent(events_[next_++]);
        }
    }

    // Only what is already queued: scripted events wait for the message loop.
    bool peekMessage(Message& m) override { return takeMessage(m); }

    // Called every few thousand statements: the run's work moves the
    // virtual clock one millisecond, so a loop that waits on GETTICK ends
    // and timers fall due while the main program runs.
    void keepAlive() override { advanceWorkClock(1); }

    void messageBox(std::string_view caption, std::string_view text) override {
        std::string line = windows1252ToUtf8(caption) + ": " + windows1252ToUtf8(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }

   protected:
    void openWindow(std::string_view, int, int) override {}
    void showScreen(const FrameBuffer&) override {}

   private:
    void startEvent(const ScriptedEvent& e) {
        if (e.kind == EventKind::Wait)
            waitUntil_ = now() + static_cast<uint64_t>(e.a);
        else
            applyEvent(e);
    }

    // During a scripted wait the clock jumps to each timer deadline in turn;
    // the program is idle, so the next tick is due exactly one interval later.
    bool takeTickDuringWait(Message& m) {
        std::optional<uint64_t> due = timers_.nextDeadline();
        if (!due || *due > *waitUntil_) {
            advanceClockTo(*waitUntil_);
            waitUntil_.reset();
            return false;
        }
        advanceClockTo(*due);
        std::optional<uint32_t> id = timers_.takeDue(now(), *due);
        if (!id) return false;
        m = Message{kMainWindow, WM_TIMER, *id, 0};
        return true;
    }

    std::vector<ScriptedEvent> events_;  // the events file, in order
    size_t next_ = 0;                    // next event to deliver
    std::optional<uint64_t> waitUntil_;  // end of the scripted wait in progress
};

}  // namespace

std::unique_ptr<Platform> makeHeadlessPlatform(const PlatformConfig& cfg, std::string* error) {
    std::vector<ScriptedEvent> events;
    if (!cfg.events.empty() && !loadEventsFile(cfg.events, events, error)) return nullptr;
    // A scripted screenshot needs the frames as much as one taken at the end.
    bool keepFrames = cfg.keepFrames || std::any_of(events.begin(), events.end(), [](const ScriptedEvent& e) {
                          return e.kind == EventKind::Screenshot;
                      });
    return std::make_unique<HeadlessPlatform>(std::move(events), keepFrames);
}

}  // namespace tessel
