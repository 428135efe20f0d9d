// The browser backend: the main window is the page's canvas, native input
// comes from the page's event handlers, and the message box window is the
// page's modal dialog showing the pixels the window core painted. While a
// script runs, the backend hands control back to the page now and then (the
// build suspends and resumes the whole call stack), so the tab keeps
// painting, taking input and can stop the run.
#pragma once

#include <memory>

#include "platform/native.h"

namespace tessel {

// Thrown out of pollEvents once the page has asked the run to stop (once
// only: later calls return quietly while the stack unwinds).
struct StopRequested {};

// A scripted window (an events file drives an unattended run) ignores the
// page's input, as the headless stand-in has none, while its frames still
// reach the canvas. Otherwise the page's input drives it.
std::unique_ptr<NativeWindow> makeBrowserWindow(bool scripted);

}  // namespace tessel
