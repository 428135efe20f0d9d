// Kept apart: the X11 headers define Window, None, Bool and Status as macros.
#include "close_request.h"

#include <X11/Xlib.h>

namespace tessel::test {

bool askWindowToClose(unsigned long window) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    // (No event mask: the message goes to the client that made the window.)
    const bool sent = XSendEvent(display, window, False, NoEventMask, &e) != 0;
    XCloseDisplay(display);  // flushes it
    return sent;
}

}  // namespace tessel::test
