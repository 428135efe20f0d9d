// Whole programs made from a seed, for the differential test and its fuzz
// target: declarations, assignments with expressions of every shape the
// language reads (signs, groups, elements, functions, string functions,
// concatenations, comparisons joined by "&" and "|", stray tokens after
// them), nested IF/ELSE and WHILE blocks, GOTO into and out of blocks,
// functions called, recursing and returned from, PRINT and drawing, the
// event statements, event blocks with an events file that drives them,
// type errors and run errors. Most programs pass the checker; the same
// seed makes the same program everywhere.
#pragma once

#include <cstdint>
#include <string>

namespace tessel::diff {

struct GeneratedProgram {
    std::string source;  // the script
    std::string events;  // an events file for it (may be empty)
};

GeneratedProgram generateProgram(uint64_t seed);

}  // namespace tessel::diff
