// The differential harness: runs one program, with its events, options and
// seed, through the whole interpreter (front end, host, window core, virtual
// clock) twice: once with the executor and once with the token walker in
// its place, and tells where the two runs part. Shared by the differential
// test and its fuzz target, so it uses no test library.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessel {
class Engine;
}

namespace tessel::diff {

// One program and what drives it.
struct Script {
    std::string name;               // for messages
    std::string source;             // the script's bytes
    std::filesystem::path dir;      // the folder it runs in (LOADIMG reads from there)
    std::vector<std::string> args;  // further options (--seed N, --check, ...)
    std::string events;             // the text of an events file (may be empty)
};

// Everything a run shows.
struct Outcome {
    int status = -1;         // exit status
    std::string boxes;       // the box log: one JSON line per message box
    std::string prints;      // the print log: one JSON line per PRINT
    std::string screenshot;  // the final screenshot (PNG), when the run got that far
    std::string errors;      // what it wrote to standard error
    uint32_t clock = 0;      // virtual milliseconds when it ended
};

// Statements a run may take (in rounds of 4096), so that every program ends.
inline constexpr uint64_t kDefaultWorkBudget = 64;

// Runs `script` with `engine` in the executor's place (null: the executor).
Outcome run(const Script& script, Engine* engine, uint64_t workBudget = kDefaultWorkBudget);

// Runs `script` through the executor and through the token walker; "" when
// the two runs show the same, otherwise what differs.
std::string compareEngines(const Script& script, uint64_t workBudget = kDefaultWorkBudget);

// A golden case as a script: its source, folder and the options and events
// its comments give (' args:, ' event:, ' events:).
Script fromGoldenSource(const std::string& name, const std::string& source,
                        const std::filesystem::path& dir);

}  // namespace tessel::diff
