// The page's side of the browser backend: functions the page script supplies
// (`page` in web/src/runner.js), called from the backend. The page reads
// `PageEventKind` from this header when it is built (web/build.mjs).
#pragma once

#include <cstdint>

namespace tessel {

// Kinds of input the page has taken for the canvas and the box dialog.
enum PageEventKind : int32_t {
    kPageMove = 1,        // a, b: position on the canvas
    kPageButtonDown = 2,  // a, b: position; c: 1 for the right button
    kPageButtonUp = 3,    // as kPageButtonDown
    kPageKeyDown = 4,     // a: virtual-key code
    kPageKeyUp = 5,       // a: virtual-key code
    kPageText = 6,        // the text typed (UTF-8)
    kPageExpose = 7,      // the canvas needs its content again
    kPageBoxButton = 8,   // a, b: position in the box's pixels; c: 1 down, 0 up
    kPageBoxKey = 9,      // a: virtual-key code pressed in the box dialog
    kPageBoxClose = 10,   // the box dialog was closed
    kPageClose = 11,      // the page closes the window (the run has nothing left to do)
};

struct PageEvent {
    int32_t kind = 0;
    int32_t a = 0, b = 0, c = 0;
};

extern "C" {
void page_open_canvas(int width, int height);
// Shows a frame of width x height pixels (0x??RRGGBB) on the canvas.
void page_paint(const uint32_t* pixels, int width, int height);
// Shows (or updates) the modal box dialog titled `captionUtf8` with the
// box's pixels; page_hide_box takes it away.
void page_show_box(const char* captionUtf8, const uint32_t* pixels, int width, int height);
void page_hide_box();
int page_stop_requested();
// Tells the page that the run waits for messages with no box open: its main
// program is over, and only event blocks may run from now on.
void page_waiting();
// Takes the oldest input; false when none waits. Text goes to `text`.
int page_take_input(PageEvent* event, char* text, int textCapacity);
// Suspends the run until the page has run its pending tasks.
void page_yield();
// Suspends the run until input arrives, a stop is asked for, or `ms`
// milliseconds have passed.
void page_wait(int ms);
}

}  // namespace tessel
