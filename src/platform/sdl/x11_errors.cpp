// Kept apart: the X11 headers define Font, Window, None and Bool as macros
// and types that clash with our own names.
#include <X11/Xlib.h>

namespace tessel {

namespace {

// SDL 2.26 can race its own wake-up event against a window's destruction; the
// resulting BadWindow must not end the process, as Xlib's default handler does.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

}  // namespace

void installX11ErrorHandler() { XSetErrorHandler(ignoreXError); }

}  // namespace tessel
