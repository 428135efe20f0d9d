// A close request sent to a window as a window manager sends it when the
// person clicks the close button (Xvfb has no window manager to do it).
#pragma once

namespace tessel::test {

// Sends WM_DELETE_WINDOW to the X window `window`; false when the display
// cannot be reached or the message cannot be sent.
bool askWindowToClose(unsigned long window);

}  // namespace tessel::test
