// Fuzz target: the executor against the token walker on fuzzer-made whole
// programs. The input is a script, optionally followed by a line "#events"
// and an events file; or, when it starts with the byte 1, the eight bytes
// after it are the seed of a generated program and its events. Both
// engines run it headless with a small work budget, and any difference in
// what the runs show (boxes, prints, standard error, the final screenshot,
// exit status, virtual time) aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "diff/generator.h"
#include "diff/harness.h"

namespace {

constexpr std::string_view kEventsMarker = "\n#events\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    tessel::diff::Script script;
    script.name = "fuzz";
    script.source = std::string(input);
    if (size >= 9 && data[0] == 1) {
        uint64_t seed = 0;
        for (size_t i = 1; i < 9; ++i) seed = seed << 8 | data[i];
        tessel::diff::GeneratedProgram g = tessel::diff::generateProgram(seed);
        script.source = g.source;
        script.events = g.events;
    } else if (size_t at = input.find(kEventsMarker); at != std::string_view::npos) {
        script.source = std::string(input.substr(0, at + 1));
        script.events = std::string(input.substr(at + kEventsMarker.size()));
    }
    // A bad events file is a usage error for both; skip it.
    std::string difference = tessel::diff::compareEngines(script, 4);
    if (!difference.empty()) {
        std::fprintf(stderr, "the engines part:\n%s", difference.c_str());
        std::abort();
    }
    return 0;
}
