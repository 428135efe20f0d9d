// The --events format: one window event a line, for automated runs and for
// replaying what --record wrote.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

enum class EventKind { Wait, Move, Click, RClick, KeyDown, KeyUp, Type, Command, Paint, Screenshot, Close, Seed };

// The largest events file read (and recorded): hours of a person's input.
inline constexpr int64_t kMaxEventsBytes = int64_t{16} << 20;

struct ScriptedEvent {
    EventKind kind = EventKind::Paint;
    int64_t a = 0;     // wait: milliseconds; mouse: x; keys: virtual-key code; command: identifier;
                       // seed: RAND's seed
    int64_t b = 0;     // mouse: y; command: notification code
    std::string text;  // type: the bytes typed; screenshot: the file
    int line = 0;      // line in the events file, for messages
};

inline ScriptedEvent makeEvent(EventKind kind, int64_t a = 0, int64_t b = 0, std::string text = {}) {
    ScriptedEvent e;
    e.kind = kind;
    e.a = a;
    e.b = b;
    e.text = std::move(text);
    return e;
}

// Parses the text of an events file. On a malformed line returns false with
// "NAME:LINE: reason" in `error`, its control bytes escaped for the terminal.
bool parseEvents(std::string_view text, const std::string& name, std::vector<ScriptedEvent>& out,
                 std::string* error);

// Reads and parses an events file: a regular file of at most
// kMaxEventsBytes, or an error naming it and the reason.
bool loadEventsFile(const std::string& path, std::vector<ScriptedEvent>& out, std::string* error);

// One event as a line of the format (without the line end).
std::string formatEvent(const ScriptedEvent& e);

// Takes the seed lines out of `events`: the seed of the last one, if any.
// The seed is no window event: it is applied once, before the run begins.
std::optional<uint32_t> takeSeed(std::vector<ScriptedEvent>& events);

}  // namespace tessel
