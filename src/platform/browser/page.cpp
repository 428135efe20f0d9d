// The page functions of page.h: thin bridges to the `Module.page` object
// that web/src/runner.js supplies.
#include "platform/browser/page.h"

#include <emscripten.h>

#include <cstddef>
#include <vector>

namespace tessel {

namespace {

// The canvas's pixels as the page's image data holds them: converting a
// frame here takes a fraction of what a loop in the page's script takes.
std::vector<uint32_t>& canvasPixels() {
    static std::vector<uint32_t> pixels;
    return pixels;
}

}  // namespace

extern "C" {

EM_JS(void, page_open_canvas, (int width, int height), { Module.page.openCanvas(width, height); });

// Puts width x height pixels, bytes R, G, B, A each, on the canvas.
EM_JS(void, page_put_canvas, (const uint8_t* rgba, int width, int height), {
    Module.page.paint(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
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

void page_paint(const uint32_t* pixels, int width, int height) {
    std::vector<uint32_t>& rgba = canvasPixels();
    rgba.resize(static_cast<size_t>(width) * height);
    // 0x??RRGGBB into bytes R, G, B, 0xFF (the memory is little-endian).
    for (size_t i = 0; i < rgba.size(); ++i) {
        const uint32_t v = pixels[i];
        rgba[i] = 0xFF000000u | (v & 0xFFu) << 16 | (v & 0xFF00u) | (v >> 16 & 0xFFu);
    }
    page_put_canvas(reinterpret_cast<const uint8_t*>(rgba.data()), width, height);
}

}  // extern "C"

}  // namespace tessel
