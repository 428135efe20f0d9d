// Must not compile: a window backend sees the backend interface, never the
// window core above it.
#include "platform/native.h"
#include "platform/window_core.h"
