// The window of a debugged live run, as the run sees it: what the run takes
// from its window (each clock reading, each poll's input) is recorded as it
// enters, so that the run started again to step back is given the same, in
// the same order and without waiting, and takes the same course up to where
// the record ends; from there the window and the real clock take over. The
// desktop's window and the page's canvas are wrapped alike.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pixels/pixel_buffer.h"
#include "platform/clock.h"
#include "platform/native.h"

namespace tessel {

// What a live run took from its window, kept small: a run reads the clock
// every few thousand statements, mostly getting the same millisecond, and
// most polls hand over nothing. The run asks in the same order when it is
// given the same answers, so each kind is kept in its own order.
struct InputRecord {
    struct Input {
        enum Kind : uint8_t {
            Move,
            Button,
            Key,
            Text,
            Close,
            Expose,
            BoxButton,
            BoxKey,
            BoxClose
        } kind = Move;
        int32_t x = 0, y = 0;
        uint32_t code = 0;
        bool right = false, down = false;
        std::string text;
    };
    // Clock readings, as runs of equal readings.
    struct Reading {
        uint64_t ms = 0;
        uint64_t times = 0;
    };
    std::vector<Reading> readings;
    uint64_t readingCount = 0;
    // The polls that handed input over, by their place among all polls.
    struct Poll {
        uint64_t ordinal = 0;
        std::vector<Input> inputs;
    };
    std::vector<Poll> polls;
    uint64_t pollCount = 0;
    // Real time the run's clock does not count: its stops, and what coming
    // back to an earlier stop took.
    uint64_t offsetMs = 0;
};

class ReplayedWindow final : public NativeWindow, private NativeInput {
   public:
    // Shows a frame at once (a stop's picture).
    using Show = std::function<void(const uint32_t* pixels, int width, int height)>;

    // `record` null: a run played from events, passed through as it is.
    // `show` null: a frame is shown by presenting it to `inner`.
    ReplayedWindow(std::unique_ptr<NativeWindow> inner, InputRecord* record, Show show = nullptr);

    // The run stands at a stop: the window shows the picture of its moment
    // (`screen`, what the run has drawn by then, shown or not yet), and from
    // here until goOn() its clock stands still.
    void standStill(PixelView screen);
    void goOn();
    // While the run stands (or is being brought back): reads the window's
    // events, keeping its input for the run's first live poll and repainting
    // what was lost. False once the person has asked to close the window.
    bool tend();

    bool open(std::string_view title, int width, int height) override;
    void present(PixelView frame) override;
    void pollEvents(NativeInput& input, int timeoutMs) override;
    // A reading of the run's clock: from the record while one is replayed,
    // otherwise real time (less the time the run stood), recorded.
    uint64_t clockMs();
    // The run waits with nothing to do until `t` (a live run only).
    void advanceTo(uint64_t t);
    bool showBox(std::string_view caption, PixelView box) override;
    void hideBox() override;

   private:
    // Input that came while the run stood or was brought back.
    class Held final : public NativeInput {
       public:
        explicit Held(ReplayedWindow& window) : window_(window) {}
        void mouseMove(int x, int y) override;
        void mouseButton(int x, int y, bool right, bool down) override;
        void key(uint32_t vk, bool down) override;
        void typeText(std::string_view bytes) override;
        void closeRequest() override;
        void expose() override { window_.paint(); }
        void boxButton(int x, int y, bool down) override;
        void boxKey(uint32_t vk) override;
        void boxClose() override;

       private:
        ReplayedWindow& window_;
    };

    bool replaying() const { return replay_; }
    void paint();
    // The record has been played to its end (or the run asked more of one
    // kind than it holds): the rest is dropped and the window takes over.
    void goLive();
    void endIfPlayed();
    void replayStep();
    void take(InputRecord::Input in);

    // NativeInput: what a live poll hands over, recorded and passed on.
    void mouseMove(int x, int y) override;
    void mouseButton(int x, int y, bool right, bool down) override;
    void key(uint32_t vk, bool down) override;
    void typeText(std::string_view bytes) override;
    void closeRequest() override;
    void expose() override;
    void boxButton(int x, int y, bool down) override;
    void boxKey(uint32_t vk) override;
    void boxClose() override;
    static void deliver(NativeInput& to, const InputRecord::Input& in);

    std::unique_ptr<NativeWindow> inner_;
    Show show_;
    RealClock real_;  // the window's time
    InputRecord* record_;
    Held held_{*this};
    std::vector<InputRecord::Input> heldInputs_;  // for the first live poll
    bool closeAsked_ = false;        // the person closed the window while the run stood
    bool standing_ = false;          // the run stands at a stop
    uint64_t stoodAt_ = 0;           // real time the stop began
    bool replay_ = false;            // answers come from the record
    uint64_t clockAt_ = 0;           // clock readings given
    size_t run_ = 0;                 // the run of readings the next one comes from
    uint64_t usedInRun_ = 0;         // readings of that run given
    uint64_t pollAt_ = 0;            // polls answered
    size_t nextPoll_ = 0;            // the next recorded poll with input
    NativeInput* target_ = nullptr;  // where a live poll's input goes
    uint64_t lastClock_ = 0;         // the last clock reading given
    bool clockReplayed_ = false;     // lastClock_ came from the record
    uint64_t lastTended_ = 0;        // real time a replay last read the window's events
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> frame_;  // the newest frame
    bool boxOpen_ = false;         // a box is up (the window is shown it when live)
    std::string boxCaption_;
    std::vector<uint32_t> boxPixels_;
    int boxWidth_ = 0, boxHeight_ = 0;
};

// The clock of a live debugged run: every reading (GETTICK, a timer's test,
// the pace of frames and polls) is one of the window's recorded readings,
// so a run started again takes the same course.
class ReplayedClock final : public Clock {
   public:
    explicit ReplayedClock(ReplayedWindow& window) : window_(window) {}
    uint64_t now() override { return window_.clockMs(); }
    bool mayHaveReached(uint64_t deadline) override { return now() >= deadline; }
    uint64_t coarse() override { return now(); }
    bool isVirtual() const override { return false; }
    void advanceTo(uint64_t t) override { window_.advanceTo(t); }

   private:
    ReplayedWindow& window_;
};

// What a debug session's live window runs took in, and the window of the
// run under way: the host that makes the runs and the session that stops
// them share it.
struct LiveRuns {
    InputRecord record;
    ReplayedWindow* window = nullptr;  // null: no live window run under way
    // While a run stands its window is tended this often (-1: the host
    // keeps it painted and answering by itself).
    int tendMs = -1;
    // The session's runs are over (however they ended): a window kept for
    // them may close (null: nothing to do).
    std::function<void()> ended;
};

}  // namespace tessel
