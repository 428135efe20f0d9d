// Fuzz target: a whole program run headless. The input is a script,
// optionally followed by a line "#events" and an events file; the run has a
// work budget, so endless loops end too. Boxes go to stderr (run the fuzzer
// with -close_fd_mask=2 to keep it quiet).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "host/interpreter.h"
#include "platform/events_file.h"
#include "platform/native.h"
#include "platform/window_core.h"

namespace {

constexpr std::string_view kEventsMarker = "\n#events\n";

// A file of this process's own, rewritten for every input.
std::string scratchFile(const char* what) {
    return "/tmp/tessel-fuzz-" + std::to_string(getpid()) + "-" + what;
}

bool writeFile(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessel;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view script = input, events;
    if (size_t at = input.find(kEventsMarker); at != std::string_view::npos) {
        script = input.substr(0, at + 1);
        events = input.substr(at + kEventsMarker.size());
    }
    static const std::string scriptPath = scratchFile("script.tsl");
    if (!writeFile(scriptPath, script)) return 0;
    PlatformConfig cfg;
    if (!events.empty() && !parseEvents(events, "events", cfg.events, nullptr)) cfg.events.clear();
    cfg.keepFrames = false;
    WindowCore platform(makeHeadlessWindow(), std::move(cfg));
    Options opts;
    opts.script = scriptPath;
    opts.headless = true;
    Interpreter in(platform, opts);
    in.vm.exec.workBudget = 64;                     // 64 x 4096 statements
    in.vm.symbols.arrayStorageBudget = 64 << 20;    // keeps each run small
    in.run();
    return 0;
}
