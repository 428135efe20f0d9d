// Fuzz target: the events-file reader, and the writer's round trip: every
// event it accepts is written back and must read the same. An error, which
// the terminal shows, holds no control byte and stays short whatever the
// line. Seeds: fuzz/events_corpus and the project's events files;
// dictionary: fuzz/events.dict.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/events_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessel;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptedEvent> events;
    std::string error;
    if (!parseEvents(text, "fuzz", events, &error)) {
        if (error.size() > 300) std::abort();
        for (unsigned char c : error)
            if (c < 0x20 || c == 0x7F) std::abort();
        return 0;
    }
    std::string written;
    for (const ScriptedEvent& e : events) written += formatEvent(e) + "\n";
    std::vector<ScriptedEvent> again;
    if (!parseEvents(written, "again", again, &error) || again.size() != events.size()) std::abort();
    for (size_t i = 0; i < events.size(); ++i)
        if (again[i].kind != events[i].kind || again[i].a != events[i].a) std::abort();
    return 0;
}
