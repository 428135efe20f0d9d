// The page's side of the browser backend: functions the page script supplies
// (see web/page.js), called from the backend and the exported entry points.
#pragma once

#include <cstdint>

namespace tessel {

// Kinds of input the page has taken for the canvas.
enum PageEventKind : int32_t {
    kPageMove = 1,        // a, b: position
    kPageButtonDown = 2,  // a, b: position; c: 1 for the right button
    kPageButtonUp = 3,    // as kPageButtonDown
    kPageKeyDown = 4,     // a: virtual-key code
    kPageKeyUp = 5,       // a: virtual-key code
    kPageText = 6,        // the text typed (UTF-8)
    kPageExpose = 7,      // the canvas needs its content again
};

struct PageEvent {
    int32_t kind = 0;
    int32_t a = 0, b = 0, c = 0;
};

extern "C" {
void page_open_canvas(int width, int height);
// Shows a frame of width x height pixels (0xAARRGGBB) on the canvas.
void page_paint(const uint32_t* pixels, int width, int height);
// Tells the page about a box. True when the page shows it (modal only): the
// run then waits until page_box_depth falls below the depth it has now.
int page_box_opened(const char* captionUtf8, const char* textUtf8, int modal);
int page_box_depth();
int page_stop_requested();
int page_input_waiting();
// Takes the oldest input; false when none waits. Text goes to `text`.
int page_take_input(PageEvent* event, char* text, int textCapacity);
// Suspends the run until the page has run its pending tasks.
void page_yield();
// Suspends the run until input arrives, the box is confirmed, a stop is
// asked for, or `ms` milliseconds have passed.
void page_wait(int ms);
}

}  // namespace tessel
