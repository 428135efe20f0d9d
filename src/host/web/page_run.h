// A run of a script in the page: a plain run (entry.cpp) and a debugged
// one (debug_entry.cpp) start it the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "exec/vm.h"
#include "gfx/gfx_state.h"
#include "platform/clock.h"
#include "platform/native.h"

namespace tessel {

// Status of a run the page stopped.
inline constexpr int kStoppedByPage = 3;

struct PageRun {
    const char* script = "";
    const char* boxLog = "";  // "" for none
    const char* printLog = "";
    const char* findingLog = "";   // each diagnostic as a JSON finding with its place
    const char* events = "";       // played when `scripted`
    bool scripted = false;         // the events drive the run (virtual time), not the page
    bool quiet = false;            // no token-count box
    std::optional<uint32_t> seed;  // RAND's seed (before the events file's own)
    // Wraps the page's window (null: used as it is).
    std::function<std::unique_ptr<NativeWindow>(std::unique_ptr<NativeWindow>)> wrapWindow;
    // The run's clock, made after the window is wrapped (null: the drive's own).
    std::function<std::unique_ptr<Clock>()> clock;
};

// Runs `run` to its end with `hook` attached (null: none) and its image
// files read through `images` (null: from the file system). The exit
// status, 2 for bad events, kStoppedByPage when the page stopped the run.
int runInPage(const PageRun& run, DebugHook* hook, ImageSource* images);

}  // namespace tessel
