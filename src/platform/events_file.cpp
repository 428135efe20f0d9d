#include "platform/events_file.h"

#include <charconv>

#include "base/cp1252.h"
#include "base/file_io.h"

namespace tessel {

namespace {

struct Verb {
    const char* name;
    EventKind kind;
    int minArgs;  // numeric operands required
    int maxArgs;  // numeric operands allowed
};

// Every verb with the numeric operands it takes; type and screenshot take the
// rest of the line instead.
constexpr Verb kVerbs[] = {
    {"wait", EventKind::Wait, 1, 1},         {"move", EventKind::Move, 2, 2},
    {"click", EventKind::Click, 2, 2},       {"rclick", EventKind::RClick, 2, 2},
    {"keydown", EventKind::KeyDown, 1, 1},   {"keyup", EventKind::KeyUp, 1, 1},
    {"type", EventKind::Type, 0, 0},         {"command", EventKind::Command, 1, 2},
    {"paint", EventKind::Paint, 0, 0},       {"screenshot", EventKind::Screenshot, 0, 0},
    {"close", EventKind::Close, 0, 0},       {"seed", EventKind::Seed, 1, 1},
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Splits off the first blank-separated word of `s`.
std::string_view takeWord(std::string_view& s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    size_t n = 0;
    while (n < s.size() && !isBlank(s[n])) ++n;
    std::string_view w = s.substr(0, n);
    s.remove_prefix(n);
    return w;
}

// A word of the line as an error quotes it: control bytes escaped, and a
// long word cut short.
std::string quoted(std::string_view word) {
    constexpr size_t kShown = 40;
    std::string out = "'" + windows1252ToTerminal(word.substr(0, kShown));
    return out + (word.size() > kShown ? "...'" : "'");
}

// Numeric operands: decimal, within a sane range for coordinates, codes and times.
bool parseNumber(std::string_view w, int64_t& v) {
    auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
    return ec == std::errc() && end == w.data() + w.size() && v >= -1000000000 &&
           v <= 1000000000;
}

// A seed is any 32-bit unsigned number, past the range of the other operands.
std::string parseSeed(std::string_view rest, ScriptedEvent& e) {
    std::string_view w = takeWord(rest);
    if (w.empty()) return "seed: missing operand";
    uint32_t v = 0;
    auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
    if (ec != std::errc() || end != w.data() + w.size())
        return "seed: " + quoted(w) + " is not a number from 0 to 4294967295";
    if (!takeWord(rest).empty()) return "seed: too many operands";
    e.a = v;
    return "";
}

const Verb* findVerb(std::string_view w) {
    for (const Verb& v : kVerbs)
        if (w == v.name) return &v;
    return nullptr;
}

// Parses one non-blank, non-comment line; returns "" or the reason it is malformed.
std::string parseLine(std::string_view rest, ScriptedEvent& e) {
    std::string_view word = takeWord(rest);
    const Verb* verb = findVerb(word);
    if (!verb) return "unknown event " + quoted(word);
    e.kind = verb->kind;
    if (e.kind == EventKind::Type) {
        // The text is the rest of the line after one separating blank.
        if (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
        if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
        e.text = std::string(rest);
        return "";
    }
    if (e.kind == EventKind::Screenshot) {
        e.text = std::string(trimmed(rest));
        return e.text.empty() ? "screenshot needs a file name" : "";
    }
    if (e.kind == EventKind::Seed) return parseSeed(rest, e);
    int64_t* slots[2] = {&e.a, &e.b};
    int count = 0;
    for (std::string_view w = takeWord(rest); !w.empty(); w = takeWord(rest)) {
        if (count == verb->maxArgs) return std::string(verb->name) + ": too many operands";
        if (!parseNumber(w, *slots[count]))
            return std::string(verb->name) + ": " + quoted(w) + " is not a number";
        ++count;
    }
    if (count < verb->minArgs) return std::string(verb->name) + ": missing operand";
    if (e.kind == EventKind::Wait && e.a < 0) return "wait: negative time";
    return "";
}

}  // namespace

bool parseEvents(std::string_view text, const std::string& name, std::vector<ScriptedEvent>& out,
                 std::string* error) {
    int lineNo = 0;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++lineNo;
        std::string_view t = trimmed(line);
        if (t.empty() || t.front() == '#') continue;
        ScriptedEvent e;
        e.line = lineNo;
        std::string reason = parseLine(line, e);
        if (!reason.empty()) {
            if (error) *error = bytesToTerminal(name) + ":" + std::to_string(lineNo) + ": " + reason;
            return false;
        }
        out.push_back(std::move(e));
    }
    return true;
}

bool loadEventsFile(const std::string& path, std::vector<ScriptedEvent>& out, std::string* error) {
    std::string text, why;
    if (!readBoundedFile(path, kMaxEventsBytes, text, why)) {
        if (error) *error = "cannot read events file " + bytesToTerminal(path) + ": " + why;
        return false;
    }
    return parseEvents(text, path, out, error);
}

std::string formatEvent(const ScriptedEvent& e) {
    for (const Verb& v : kVerbs) {
        if (v.kind != e.kind) continue;
        std::string s = v.name;
        if (e.kind == EventKind::Type || e.kind == EventKind::Screenshot) return s + " " + e.text;
        if (v.maxArgs >= 1) s += " " + std::to_string(e.a);
        if (v.maxArgs == 2 && (v.minArgs == 2 || e.b != 0)) s += " " + std::to_string(e.b);
        return s;
    }
    return "";
}

std::optional<uint32_t> takeSeed(std::vector<ScriptedEvent>& events) {
    std::optional<uint32_t> seed;
    for (const ScriptedEvent& e : events)
        if (e.kind == EventKind::Seed) seed = static_cast<uint32_t>(e.a);
    std::erase_if(events, [](const ScriptedEvent& e) { return e.kind == EventKind::Seed; });
    return seed;
}

}  // namespace tessel
