#include "debug/replayed_window.h"

namespace tessel {

namespace {
// Longest stretch a run being brought back leaves its window unread (ms).
constexpr uint64_t kReplayTendMs = 10;
}  // namespace

ReplayedWindow::ReplayedWindow(std::unique_ptr<NativeWindow> inner, InputRecord* record, Show show)
    : inner_(std::move(inner)), show_(std::move(show)), record_(record), lastTended_(real_.now()) {
    replay_ = record_ && (record_->readingCount > 0 || record_->pollCount > 0);
    // A box the window still shows belongs to the run that was left.
    if (replay_) inner_->hideBox();
}

void ReplayedWindow::paint() {
    if (frame_.empty()) return;
    if (show_)
        show_(frame_.data(), width_, height_);
    else
        inner_->present(PixelView{frame_.data(), width_, height_});
}

void ReplayedWindow::standStill(PixelView screen) {
    standing_ = true;
    stoodAt_ = real_.now();
    if (screen.pixels && screen.width == width_ && screen.height == height_)
        frame_.assign(screen.pixels, screen.pixels + static_cast<size_t>(width_) * height_);
    paint();
}

void ReplayedWindow::goOn() {
    standing_ = false;
    if (record_) record_->offsetMs += real_.now() - stoodAt_;
}

bool ReplayedWindow::tend() {
    inner_->pollEvents(held_, 0);
    return !closeAsked_;
}

bool ReplayedWindow::open(std::string_view title, int width, int height) {
    width_ = width;
    height_ = height;
    return inner_->open(title, width, height);
}

void ReplayedWindow::present(PixelView frame) {
    if (frame.width == width_ && frame.height == height_)
        frame_.assign(frame.pixels, frame.pixels + static_cast<size_t>(frame.width) * frame.height);
    // A run being brought back shows no frame until it stops or goes live.
    if (!replaying()) inner_->present(frame);
}

void ReplayedWindow::goLive() {
    replay_ = false;
    InputRecord& r = *record_;
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

// Between the answers of a replay the window's events are read now and
// then, so it keeps answering (the page's window gets control there, and
// may stop the run).
void ReplayedWindow::replayStep() {
    const uint64_t now = real_.coarse();
    if (now - lastTended_ < kReplayTendMs) return;
    lastTended_ = now;
    tend();
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
    // What came while the run stood or was brought back comes first.
    std::vector<InputRecord::Input> held;
    held.swap(heldInputs_);
    for (InputRecord::Input& in : held) {
        if (in.kind == InputRecord::Input::Close) closeAsked_ = false;
        take(std::move(in));
    }
    inner_->pollEvents(*this, held.empty() ? timeoutMs : 0);
    nextPoll_ = record_->polls.size();
}

uint64_t ReplayedWindow::clockMs() {
    if (!record_) return real_.now();
    // A stop's time does not count (an expression evaluated there reads
    // the time of the stop).
    if (standing_) return lastClock_;
    InputRecord& r = *record_;
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
        r.readings.push_back(InputRecord::Reading{lastClock_, 1});
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

void ReplayedWindow::take(InputRecord::Input in) {
    std::vector<InputRecord::Poll>& polls = record_->polls;
    const uint64_t ordinal = record_->pollCount - 1;
    if (polls.empty() || polls.back().ordinal != ordinal)
        polls.push_back(InputRecord::Poll{ordinal, {}});
    polls.back().inputs.push_back(in);
    deliver(*target_, in);
}

namespace {
InputRecord::Input input(InputRecord::Input::Kind kind, int32_t x = 0, int32_t y = 0,
                         uint32_t code = 0, bool right = false, bool down = false,
                         std::string_view text = {}) {
    InputRecord::Input in;
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

using K = InputRecord::Input;
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

// --- input that comes while the run stands -----------------------------------------

void ReplayedWindow::Held::mouseMove(int x, int y) {
    window_.heldInputs_.push_back(input(K::Move, x, y));
}
void ReplayedWindow::Held::mouseButton(int x, int y, bool right, bool down) {
    window_.heldInputs_.push_back(input(K::Button, x, y, 0, right, down));
}
void ReplayedWindow::Held::key(uint32_t vk, bool down) {
    window_.heldInputs_.push_back(input(K::Key, 0, 0, vk, false, down));
}
void ReplayedWindow::Held::typeText(std::string_view bytes) {
    window_.heldInputs_.push_back(input(K::Text, 0, 0, 0, false, false, bytes));
}
void ReplayedWindow::Held::closeRequest() {
    window_.closeAsked_ = true;
    window_.heldInputs_.push_back(input(K::Close));
}
void ReplayedWindow::Held::boxButton(int x, int y, bool down) {
    window_.heldInputs_.push_back(input(K::BoxButton, x, y, 0, false, down));
}
void ReplayedWindow::Held::boxKey(uint32_t vk) {
    window_.heldInputs_.push_back(input(K::BoxKey, 0, 0, vk));
}
void ReplayedWindow::Held::boxClose() {
    window_.heldInputs_.push_back(input(K::BoxClose));
}

void ReplayedWindow::deliver(NativeInput& to, const InputRecord::Input& in) {
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
