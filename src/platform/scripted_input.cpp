#include "platform/scripted_input.h"

#include <algorithm>
#include <utility>

#include "base/file_io.h"

namespace tessel {

ScriptedEvents::ScriptedEvents(std::vector<ScriptedEvent> events, bool drives)
    : events_(std::move(events)), drives_(drives || !events_.empty()) {}

bool ScriptedEvents::hasScreenshot() const {
    return std::any_of(events_.begin(), events_.end(),
                       [](const ScriptedEvent& e) { return e.kind == EventKind::Screenshot; });
}

bool ScriptedEvents::step(uint64_t now, const ScriptedEvent*& apply) {
    apply = nullptr;
    if (waitUntil_) {
        if (now < *waitUntil_) return false;
        waitUntil_.reset();
        return true;
    }
    if (!pending()) return false;
    const ScriptedEvent& e = events_[next_++];
    if (e.kind == EventKind::Wait)
        waitUntil_ = now + static_cast<uint64_t>(e.a);
    else
        apply = &e;
    return true;
}

Recorder::~Recorder() {
    if (out_) std::fclose(out_);
}

void Recorder::start(std::FILE* out, std::string path, uint32_t seed, uint64_t now) {
    if (out_) std::fclose(out_);
    out_ = out;
    path_ = std::move(path);
    bytes_ = 0;
    last_ = now;
    write(formatEvent(makeEvent(EventKind::Seed, seed)) + "\n");
}

void Recorder::finish() {
    if (out_ && !closeOutputFile(std::exchange(out_, nullptr), path_)) failed_ = true;
}

void Recorder::record(const ScriptedEvent& e, uint64_t now) {
    if (!out_) return;
    std::string lines;
    if (now > last_) lines = "wait " + std::to_string(now - last_) + "\n";
    last_ = now;
    write(lines + formatEvent(e) + "\n");
}

void Recorder::write(const std::string& lines) {
    bytes_ += static_cast<int64_t>(lines.size());
    bool ok = bytes_ <= kMaxEventsBytes;
    if (!ok)
        reportWriteError(path_,
                         "the recording reached " + std::to_string(kMaxEventsBytes >> 20) +
                             " MiB, the most an events file may hold; the rest is not recorded");
    else
        ok = writeOutputFile(out_, path_, lines, true);
    if (ok) return;
    failed_ = true;
    std::fclose(std::exchange(out_, nullptr));
}

}  // namespace tessel
