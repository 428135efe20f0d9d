// Executor state: the program counter and everything the statement loop,
// control flow, the window procedure and the input-box statements keep.
#pragma once

#include <cstdint>

namespace tessel {

struct ExecState {
    int32_t pc = 0;        // index of the token being executed
    bool running = false;  // script code is running (the main run or an event block)
};

}  // namespace tessel
