// The browser backend: the main window is the page's canvas, input comes from
// the page's event handlers, message boxes are the page's modal dialogs.
// While a script runs, the interpreter hands control back to the page now
// and then (the build suspends and resumes the whole call stack), so the tab
// keeps painting, taking input and can stop the run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/events_file.h"
#include "platform/platform.h"

namespace tessel {

// Thrown out of any platform call once the page has asked the run to stop.
struct StopRequested {};

// With events, the run is scripted as in a headless run (events go to the
// script once it is idle, waits move the clock, boxes are passed over as
// confirmed), while frames still reach the canvas; without, the page's own
// input drives it and boxes wait for the person.
std::unique_ptr<Platform> makeBrowserPlatform(std::vector<ScriptedEvent> events, bool scripted);

}  // namespace tessel
