// A tiny program on the window backend alone, for the real-window tests:
// it draws a square where the left button goes down, has one input box whose
// text Enter reports in a message box, counts timer ticks, and reports every
// message it handles on stdout, one line each.
//
//   window_driver [--record FILE] [--busy]
//
// --busy: after start-up, spin in a loop that only calls keepAlive, as a
// script with an endless loop does; the window must still close.
// Right click: shows a box during which the fifth timer tick throws, as a
// run abort in an event block does; the box must go away and the loop go on.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "platform/sdl_module.h"
#include "platform/window_core.h"

namespace {

using namespace tessel;

struct Closed {};  // thrown by the window procedure on WM_CLOSE
struct Abort {};   // thrown by a timer tick while the throwing box is open

struct Driver {
    std::unique_ptr<WindowCore> platform;
    std::vector<uint32_t> frame = std::vector<uint32_t>(800 * 600, 0xFFFFFFFFu);
    int32_t box = 0;
    int ticks = 0;
    int throwAtTick = 0;  // while the throwing box is open: the tick that throws
    bool inGotIt = false; // the "Got it" box is open; its first tick is reported

    void square(int x, int y, uint32_t color) {
        for (int dy = 0; dy < 20; ++dy)
            for (int dx = 0; dx < 20; ++dx)
                if (x + dx < 800 && y + dy < 600) frame[(y + dy) * 800 + x + dx] = color;
        platform->present(PixelView{frame.data(), 800, 600});
    }

    void handle(const Message& m) {
        int x = static_cast<int>(m.lParam & 0xFFFF), y = static_cast<int>(m.lParam >> 16);
        switch (m.message) {
            case WM_LBUTTONDOWN: square(x, y, 0xFFFF0000u); std::printf("click %d %d\n", x, y); break;
            case WM_RBUTTONDOWN:
                square(x, y, 0xFF0000FFu);
                std::printf("rclick %d %d\n", x, y);
                std::fflush(stdout);
                if (x >= 400) throwingBox();
                break;
            case WM_KEYDOWN: std::printf("keydown %u\n", m.wParam); break;
            case WM_TIMER:
                if (++ticks == throwAtTick) throw Abort{};
                if (inGotIt) {
                    std::printf("tick in box\n");
                    inGotIt = false;
                }
                break;
            case WM_COMMAND: command(m.wParam); break;
            case WM_CLOSE: std::printf("close\n"); std::fflush(stdout); throw Closed{};
            default: break;
        }
        std::fflush(stdout);
    }

    void throwingBox() {
        throwAtTick = ticks + 5;
        platform->messageBox("Throwing", "A timer tick ends this box.");
        std::printf("box returned\n");  // not reached: the tick throws through it
    }

    void command(uint32_t id) {
        std::string text = platform->editText(box);
        std::printf("command %u text=%s\n", id, text.c_str());
        std::fflush(stdout);
        if (id != 1) return;
        int before = ticks;
        inGotIt = true;
        platform->messageBox("Got it", "You typed: " + text);
        inGotIt = false;
        // Timer ticks go on while the box is open.
        std::printf("box closed ticks=%s\n", ticks > before ? "yes" : "no");
    }
};

}  // namespace

int main(int argc, char** argv) {
    PlatformConfig cfg;
    cfg.drive = Drive::Live;
    bool busy = false;
    std::string record;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--record") == 0 && i + 1 < argc) record = argv[++i];
        if (std::strcmp(argv[i], "--busy") == 0) busy = true;
    }
    Driver d;
    std::string error;
    std::unique_ptr<NativeWindow> native = makeSdlWindow(&error);
    if (!native) {
        std::fprintf(stderr, "window_driver: %s\n", error.c_str());
        return 77;
    }
    d.platform = std::make_unique<WindowCore>(std::move(native), std::move(cfg));
    WindowCore& p = *d.platform;
    try {
        p.createMainWindow("Tesselv11_31_8_2023", 800, 600, [&d](const Message& m) { d.handle(m); });
        if (!record.empty()) {
            std::FILE* f = openOutputFile(record);
            if (!f) return 1;
            p.startRecording(f, record, 0);
        }
        d.square(0, 0, 0xFF00FF00u);
        d.box = p.createEdit(200, 300, 200, 24, "");
        p.setTimer(1, 50);
        std::printf("ready\n");
        std::fflush(stdout);
        while (busy) p.keepAlive();
        Message m;
        while (p.getMessage(m)) {
            if (p.isDialogMessage(m)) continue;
            try {
                p.dispatchMessage(m);
            } catch (const Abort&) {
                d.throwAtTick = 0;
                std::printf("aborted\n");
                std::fflush(stdout);
            }
        }
    } catch (const Closed&) {
    }
    return 0;
}
