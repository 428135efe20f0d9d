// The page's window as a debugged run sees it: what a live run takes from
// the page (each clock reading, each poll's input) is recorded as it enters,
// so that the run started again to step back is given the same, in the
// same order and without waiting, and takes the same course up to where
// the record ends; from there it takes the page's input again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/native.h"

namespace tessel {

// What a live run took from the page, in the order it asked.
struct PageRecord {
    struct Input {
        enum Kind : uint8_t { Move, Button, Key, Text, Close, Expose, BoxButton, BoxKey, BoxClose } kind = Move;
        int32_t x = 0, y = 0;
        uint32_t code = 0;
        bool right = false, down = false;
        std::string text;
    };
    struct Answer {
        bool poll = false;    // a poll's input, or a clock reading
        uint64_t clock = 0;
        std::vector<Input> inputs;
    };
    std::vector<Answer> answers;
    // Real time the run's clock does not count: its stops, and what coming
    // back to an earlier stop took.
    uint64_t offsetMs = 0;
};

class ReplayedWindow final : public NativeWindow, private NativeInput {
   public:
    // `record` null: a run played from events, passed through as it is.
    ReplayedWindow(std::unique_ptr<NativeWindow> inner, PageRecord* record);

    // Shows the newest frame on the canvas (a stop shows the picture of its
    // moment).
    void paint();

    bool interactive() const override { return inner_->interactive(); }
    bool virtualTime() const override { return inner_->virtualTime(); }
    bool open(std::string_view title, int width, int height) override;
    void present(const uint32_t* pixels, int width, int height) override;
    void pollEvents(NativeInput& input, int timeoutMs) override;
    uint64_t clockMs() override;
    bool showBox(std::string_view caption, const uint32_t* pixels, int width, int height) override;
    void hideBox() override;

   private:
    bool replaying() const { return record_ && next_ < record_->answers.size(); }
    // The record has been played to its end (or the run asked something
    // else than it holds, and the rest is dropped): the page takes over.
    void goLive();
    void replayStep();
    void take(PageRecord::Input in);

    // NativeInput: what the page's poll hands over, recorded and passed on.
    void mouseMove(int x, int y) override;
    void mouseButton(int x, int y, bool right, bool down) override;
    void key(uint32_t vk, bool down) override;
    void typeText(std::string_view bytes) override;
    void closeRequest() override;
    void expose() override;
    void boxButton(int x, int y, bool down) override;
    void boxKey(uint32_t vk) override;
    void boxClose() override;
    static void deliver(NativeInput& to, const PageRecord::Input& in);

    std::unique_ptr<NativeWindow> inner_;
    PageRecord* record_;
    size_t next_ = 0;               // the next answer of the record
    size_t taking_ = 0;             // the answer a live poll fills
    NativeInput* target_ = nullptr; // where a live poll's input goes
    uint64_t lastClock_ = 0;        // the last clock reading given
    bool clockReplayed_ = false;    // lastClock_ came from the record
    double lastYield_ = 0;          // when a replay last gave the page control
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> frame_;   // the newest frame
    bool boxOpen_ = false;          // a box is up (the page is shown it when live)
    std::string boxCaption_;
    std::vector<uint32_t> boxPixels_;
    int boxWidth_ = 0, boxHeight_ = 0;
};

}  // namespace tessel
