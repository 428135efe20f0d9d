// The command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessel {

struct Options {
    std::string script;      // the source file
    bool headless = false;   // no window: boxes go to stderr and are confirmed at once
    bool check = false;      // tokenize and check only
    bool lint = false;       // check, then report what runs but rarely means what it says
    bool json = false;       // --format=json: --check and --lint write one JSON object a finding
    bool quiet = false;      // no token-count box
    bool utf8 = false;       // the script is UTF-8: read it as Windows-1252
    bool lsp = false;        // serve the Language Server Protocol on stdin/stdout (no script)
    bool dap = false;        // serve the Debug Adapter Protocol on stdin/stdout (no script)
    bool trace = false;      // each statement's place to stderr before it runs
    std::string boxLog;      // JSON line per message box
    std::string printLog;    // JSON line per PRINT
    std::string findingLog;  // JSON line per diagnostic of a run, with its place (the page's list)
    std::string screenshot;  // PNG of the window when the run ends
    std::string events;      // window events to feed to the run
    std::string record;      // write what a person did as an events file
    std::optional<uint32_t> seed;  // RAND's seed (default: the tick count at start)
};

// Exit0: help or version was written; WriteFailed: they could not be
// (exit status 1); Usage: exit status 2.
enum class ParseResult { Run, Exit0, WriteFailed, Usage };

// Parses argv into `opts`. Prints help, version or usage errors itself;
// the result says what the caller should do.
ParseResult parseOptions(int argc, char** argv, Options& opts);

}  // namespace tessel
