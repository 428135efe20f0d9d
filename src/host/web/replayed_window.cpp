#include "host/web/replayed_window.h"

#include <emscripten.h>

#include "platform/browser/browser_window.h"
#include "platform/browser/page.h"

namespace tessel {

namespace {
// Longest stretch a run being brought back keeps the page waiting (ms).
constexpr double kReplayYieldMs = 15;
}  // namespace

ReplayedWindow::ReplayedWindow(std::unique_ptr<NativeWindow> inner, PageRecord* record)
    : inner_(std::move(inner)), record_(record), lastYield_(emscripten_get_now()) {
    replay_ = record_ && (record_->readingCount > 0 || record_->pollCount > 0);
    // A box the page still shows belongs to the run that was left.
    if (replay_) page_hide_box();
}

void ReplayedWindow::paint() {
    if (!frame_.empty()) page_paint(frame_.data(), width_, height_);
}

bool ReplayedWindow::open(std::string_view title, int width, int height) {
    width_ = width;
    height_ = height;
    return inner_->open(title, width, height);
}

void ReplayedWindow::present(PixelView frame) {
    if (frame.width == width_ && frame.height == height_)
        frame_.assign(frame.pixels, frame.pixels + static_cast<size_t>(frame.width) * frame.height);
    inner_->present(frame);
}

void ReplayedWindow::goLive() {
    replay_ = false;
    PageRecord& r = *record_;
    if (usedInRun_ > 0) r.readings[run_++].times = usedInRun_;
    r.readings.resize(run_);
    r.readingCount = clockAt_;
    r.polls.resize(nextPoll_);
    r.pollCount = pollAt_;
    // The clock goes on from the last reading the run was given.
    if (clockReplayed_) {
        const uint64_t now = real_.now();
        r.offsetMs = now > lastClock_ ? now - lastClock_ : 0;
    }
    if (boxOpen_) inner_->showBox(boxCaption_, PixelView{boxPixels_.data(), boxWidth_, boxHeight_});
    paint();
}

void ReplayedWindow::endIfPlayed() {
    if (clockAt_ >= record_->readingCount && pollAt_ >= record_->pollCount) goLive();
}

// Between the answers of a replay the page gets control now and then, and
// may stop the run.
void ReplayedWindow::replayStep() {
    if (emscripten_get_now() - lastYield_ < kReplayYieldMs) return;
    paint();
    page_yield();
    lastYield_ = emscripten_get_now();
    if (page_stop_requested()) throw StopRequested{};
}

void ReplayedWindow::pollEvents(NativeInput& input, int timeoutMs) {
    if (!record_) return inner_->pollEvents(input, timeoutMs);
    if (replay_) {
        if (pollAt_ < record_->pollCount) {
            const uint64_t ordinal = pollAt_++;
            if (nextPoll_ < record_->polls.size() && record_->polls[nextPoll_].ordinal == ordinal) {
                // Delivering may read the clock: those readings come from the record too.
                const size_t at = nextPoll_++;
                for (size_t i = 0; i < record_->polls[at].inputs.size(); ++i)
                    deliver(input, record_->polls[at].inputs[i]);
            }
            replayStep();
            endIfPlayed();
            return;
        }
        goLive();
    }
    ++record_->pollCount;
    pollAt_ = record_->pollCount;
    nextPoll_ = record_->polls.size();
    target_ = &input;
    inner_->pollEvents(*this, timeoutMs);
    nextPoll_ = record_->polls.size();
}

uint64_t ReplayedWindow::clockMs() {
    if (!record_) return real_.now();
    PageRecord& r = *record_;
    if (replay_) {
        if (clockAt_ < r.readingCount) {
            lastClock_ = r.readings[run_].ms;
            if (++usedInRun_ == r.readings[run_].times) {
                ++run_;
                usedInRun_ = 0;
            }
            ++clockAt_;
            clockReplayed_ = true;
            endIfPlayed();
            return lastClock_;
        }
        goLive();
    }
    const uint64_t now = real_.now();
    lastClock_ = now > r.offsetMs ? now - r.offsetMs : 0;
    if (!r.readings.empty() && r.readings.back().ms == lastClock_)
        ++r.readings.back().times;
    else
        r.readings.push_back(PageRecord::Reading{lastClock_, 1});
    clockAt_ = ++r.readingCount;
    run_ = r.readings.size();
    usedInRun_ = 0;
    return lastClock_;
}

void ReplayedWindow::advanceTo(uint64_t t) {
    // A replay's readings already hold the wait.
    if (!record_ || !replay_) real_.advanceTo(record_ ? t + record_->offsetMs : t);
}

bool ReplayedWindow::showBox(std::string_view caption, PixelView box) {
    boxOpen_ = true;
    boxCaption_ = caption;
    boxPixels_.assign(box.pixels, box.pixels + static_cast<size_t>(box.width) * box.height);
    boxWidth_ = box.width;
    boxHeight_ = box.height;
    return replaying() ? true : inner_->showBox(caption, box);
}

void ReplayedWindow::hideBox() {
    boxOpen_ = false;
    if (!replaying()) inner_->hideBox();
}

// --- a live poll's input ----------------------------------------------------------

void ReplayedWindow::take(PageRecord::Input in) {
    std::vector<PageRecord::Poll>& polls = record_->polls;
    const uint64_t ordinal = record_->pollCount - 1;
    if (polls.empty() || polls.back().ordinal != ordinal)
        polls.push_back(PageRecord::Poll{ordinal, {}});
    polls.back().inputs.push_back(in);
    deliver(*target_, in);
}

namespace {
PageRecord::Input input(PageRecord::Input::Kind kind, int32_t x = 0, int32_t y = 0,
                        uint32_t code = 0, bool right = false, bool down = false,
                        std::string_view text = {}) {
    PageRecord::Input in;
    in.kind = kind;
    in.x = x;
    in.y = y;
    in.code = code;
    in.right = right;
    in.down = down;
    in.text = text;
    return in;
}
}  // namespace

using K = PageRecord::Input;
void ReplayedWindow::mouseMove(int x, int y) {
    take(input(K::Move, x, y));
}
void ReplayedWindow::mouseButton(int x, int y, bool right, bool down) {
    take(input(K::Button, x, y, 0, right, down));
}
void ReplayedWindow::key(uint32_t vk, bool down) {
    take(input(K::Key, 0, 0, vk, false, down));
}
void ReplayedWindow::typeText(std::string_view bytes) {
    take(input(K::Text, 0, 0, 0, false, false, bytes));
}
void ReplayedWindow::closeRequest() {
    take(input(K::Close));
}
void ReplayedWindow::expose() {
    take(input(K::Expose));
}
void ReplayedWindow::boxButton(int x, int y, bool down) {
    take(input(K::BoxButton, x, y, 0, false, down));
}
void ReplayedWindow::boxKey(uint32_t vk) {
    take(input(K::BoxKey, 0, 0, vk));
}
void ReplayedWindow::boxClose() {
    take(input(K::BoxClose));
}

void ReplayedWindow::deliver(NativeInput& to, const PageRecord::Input& in) {
    switch (in.kind) {
        case K::Move: to.mouseMove(in.x, in.y); break;
        case K::Button: to.mouseButton(in.x, in.y, in.right, in.down); break;
        case K::Key: to.key(in.code, in.down); break;
        case K::Text: to.typeText(in.text); break;
        case K::Close: to.closeRequest(); break;
        case K::Expose: to.expose(); break;
        case K::BoxButton: to.boxButton(in.x, in.y, in.down); break;
        case K::BoxKey: to.boxKey(in.code); break;
        case K::BoxClose: to.boxClose(); break;
    }
}

}  // namespace tessel
