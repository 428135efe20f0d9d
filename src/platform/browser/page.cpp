// The page functions of page.h: thin bridges to the `Module.page` object
// that web/src/runner.js supplies.
#include "platform/browser/page.h"

#include <emscripten.h>

namespace tessel {

extern "C" {

EM_JS(void, page_open_canvas, (int width, int height), { Module.page.openCanvas(width, height); });

EM_JS(void, page_paint, (const uint32_t* pixels, int width, int height), {
    Module.page.paint(HEAPU32.subarray(pixels >> 2, (pixels >> 2) + width * height), width, height);
});

EM_JS(void, page_show_box, (const char* caption, const uint32_t* pixels, int width, int height), {
    Module.page.showBox(UTF8ToString(caption),
                        HEAPU32.subarray(pixels >> 2, (pixels >> 2) + width * height), width, height);
});

EM_JS(void, page_hide_box, (), { Module.page.hideBox(); });

EM_JS(void, page_waiting, (), { Module.page.waiting(); });

EM_JS(int, page_stop_requested, (), { return Module.page.stop ? 1 : 0; });

EM_JS(int, page_take_input, (PageEvent* event, char* text, int capacity), {
    const e = Module.page.input.shift();
    if (!e) return 0;
    HEAP32[(event >> 2) + 0] = e.kind;
    HEAP32[(event >> 2) + 1] = e.a | 0;
    HEAP32[(event >> 2) + 2] = e.b | 0;
    HEAP32[(event >> 2) + 3] = e.c | 0;
    stringToUTF8(e.text || "", text, capacity);
    return 1;
});

EM_JS(void, page_yield, (), {
    return Asyncify.handleSleep(function(wakeUp) { Module.page.yieldTo(wakeUp); });
});

EM_JS(void, page_wait, (int ms), {
    return Asyncify.handleSleep(function(wakeUp) { Module.page.waitFor(ms, wakeUp); });
});

}  // extern "C"

}  // namespace tessel
