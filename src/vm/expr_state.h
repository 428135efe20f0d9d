// The state expressions keep between evaluations: RND's and RAND's
// generators.
#pragma once

#include <cstdint>

namespace tessel {

struct ExprState {
    uint32_t rndState = 0x12345678u;  // RND generator, never reseeded
    uint32_t randState = 0;           // RAND generator, seeded from the clock at start-up
};

}  // namespace tessel
