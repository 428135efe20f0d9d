#include "host/options.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "base/cp1252.h"
#include "host/version.h"

namespace tessel {

namespace {

const char kHelp[] =
    "Usage: tessel [options] SCRIPT\n"
    "       tessel --lsp\n"
    "       tessel --dap\n"
    "Run a tessel script in an 800x600 window. Every diagnostic box of a run is\n"
    "also written to stderr at its place, as SCRIPT:LINE:COL: CAPTION: TEXT with\n"
    "the source line, a caret under the column and a hint where one is known.\n"
    "\n"
    "Options:\n"
    "  --headless         no window: each message box is written to stderr as\n"
    "                     \"CAPTION: TEXT\" and confirmed at once\n"
    "  --check            tokenize and check only; print each diagnostic as\n"
    "                     SCRIPT:LINE:COL: CAPTION: TEXT and exit 1 on an error\n"
    "  --lint             check, then warn of what runs but rarely does what was\n"
    "                     meant, as SCRIPT:LINE:COL: warning: TEXT [rule]; a comment\n"
    "                     ' lint: ignore RULE on the line or the line above silences\n"
    "                     RULE there; exit 1 when it warned or the check failed\n"
    "  --format=json      with --check or --lint: one JSON object a finding on\n"
    "                     stdout (file, line, column, endLine, endColumn, severity,\n"
    "                     caption, text, rule, hint); --format=text is the default\n"
    "  --lsp              serve the Language Server Protocol on standard input and\n"
    "                     output for an editor: diagnostics as you type, completion,\n"
    "                     hover, definitions, references, symbols, folding, rename,\n"
    "                     semantic colours and formatting (no script is given)\n"
    "  --dap              serve the Debug Adapter Protocol on standard input and\n"
    "                     output for an editor: breakpoints, stepping (back too),\n"
    "                     the call stack, variables and expressions (the editor\n"
    "                     names the script)\n"
    "  --trace            write each statement's place to stderr as SCRIPT:LINE\n"
    "                     before it runs\n"
    "  -q, --quiet        no token-count box at start\n"
    "  --utf8             the script is UTF-8: its text is read as Windows-1252\n"
    "                     (a byte-order mark is dropped, other characters become ?)\n"
    "  --box-log FILE     write each message box as a JSON line\n"
    "                     {\"caption\":...,\"text\":...}\n"
    "  --print-log FILE   write each PRINT as a JSON line {\"x\":X,\"y\":Y,\"text\":...}\n"
    "  --screenshot FILE  save what the window shows when the run ends, as PNG\n"
    "  --events FILE      feed window events (move, click, type, wait, ...) to the run\n"
    "  --record FILE      write what you do in the window as an events file\n"
    "  --seed N           start RAND's generator from N (0 to 4294967295), so a\n"
    "                     run with timers and RAND can be repeated exactly\n"
    "  --help             show this help\n"
    "  --version          show the version\n"
    "\n"
    "Exit status: 0 after a normal end, 1 when the script failed to lex or check,\n"
    "a run was aborted, the script cannot be read or an output cannot be written,\n"
    "2 for a usage error (an output that names the script, the events file or\n"
    "another output is one), 128 + N when signal N (SIGINT, SIGTERM) stopped the\n"
    "run after the logs and the screenshot were written.\n";

bool takesFile(std::string_view opt, Options& o, std::string** dest) {
    if (opt == "--box-log") *dest = &o.boxLog;
    else if (opt == "--print-log") *dest = &o.printLog;
    else if (opt == "--screenshot") *dest = &o.screenshot;
    else if (opt == "--events") *dest = &o.events;
    else if (opt == "--record") *dest = &o.record;
    else return false;
    return true;
}

bool parseSeed(std::string_view text, Options& o) {
    uint32_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    o.seed = v;
    return true;
}

ParseResult usage(const char* fmt, const char* arg) {
    std::fprintf(stderr, "tessel: ");
    std::fprintf(stderr, fmt, bytesToTerminal(arg).c_str());
    std::fprintf(stderr, "\nTry 'tessel --help' for more information.\n");
    return ParseResult::Usage;
}

// Help and version go to standard output; a failure to write them (a full
// disk, a closed pipe) is reported, not passed over.
ParseResult writeOut(const std::string& text, const char* what) {
    bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) == 0 && ok && !std::ferror(stdout)) return ParseResult::Exit0;
    std::fprintf(stderr, "tessel: cannot write the %s: %s\n", what, std::strerror(errno ? errno : EIO));
    return ParseResult::WriteFailed;
}

}  // namespace

ParseResult parseOptions(int argc, char** argv, Options& opts) {
    bool haveScript = false;
    bool formatGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        std::string* dest = nullptr;
        if (a == "--help" || a == "-h") {
            return writeOut(kHelp, "help");
        } else if (a == "--version") {
            return writeOut(std::string("tessel ") + kVersion + "\n", "version");
        } else if (a == "--headless") {
            opts.headless = true;
        } else if (a == "--check") {
            opts.check = true;
        } else if (a == "--seed") {
            if (i + 1 >= argc) return usage("option '%s' needs a number", argv[i]);
            if (!parseSeed(argv[++i], opts)) return usage("--seed: '%s' is not a number from 0 to 4294967295", argv[i]);
        } else if (a == "--format" || a.rfind("--format=", 0) == 0) {
            std::string_view format = a.size() > 8 ? a.substr(9) : std::string_view();
            if (a == "--format") {
                if (i + 1 >= argc) return usage("option '%s' needs json or text", argv[i]);
                format = argv[++i];
            }
            if (format != "json" && format != "text") return usage("--format: '%s' is neither json nor text", argv[i]);
            opts.json = format == "json";
            formatGiven = true;
        } else if (a == "--lint") {
            opts.lint = true;
        } else if (a == "--lsp") {
            opts.lsp = true;
        } else if (a == "--dap") {
            opts.dap = true;
        } else if (a == "--trace") {
            opts.trace = true;
        } else if (a == "--stdio" && (opts.lsp || opts.dap)) {
            // (Editors' clients add it to say which channel the server uses.)
        } else if (a == "--quiet" || a == "-q") {
            opts.quiet = true;
        } else if (a == "--utf8") {
            opts.utf8 = true;
        } else if (takesFile(a, opts, &dest)) {
            if (i + 1 >= argc) return usage("option '%s' needs a file name", argv[i]);
            *dest = argv[++i];
        } else if (a == "--") {
            if (i + 1 < argc && !haveScript) {
                opts.script = argv[++i];
                haveScript = true;
            }
            if (i + 1 < argc) return usage("unexpected argument '%s'", argv[i + 1]);
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option '%s'", argv[i]);
        } else if (haveScript) {
            return usage("unexpected argument '%s' (only one script is run)", argv[i]);
        } else {
            opts.script = argv[i];
            haveScript = true;
        }
    }
    if (opts.dap) {
        if (haveScript) return usage("%s", "--dap takes its script from the editor's launch request");
        if (opts.lsp || opts.check || opts.lint || formatGiven)
            return usage("%s", "--dap cannot be used with --lsp, --check, --lint or --format");
        return ParseResult::Run;
    }
    if (opts.lsp) {
        if (haveScript) return usage("%s", "--lsp reads its scripts from the editor; it takes no script");
        if (opts.check || opts.lint || formatGiven || opts.headless)
            return usage("%s", "--lsp cannot be used with --check, --lint, --format or --headless");
        return ParseResult::Run;
    }
    if (!haveScript) return usage("%s", "no script given");
    if (opts.lint && opts.check)
        return usage("%s", "--lint checks the script itself; it cannot be used with --check");
    if (formatGiven && !opts.check && !opts.lint)
        return usage("%s", "--format applies to --check and --lint");
    if (opts.headless && !opts.record.empty())
        return usage("%s", "--record needs a window; it cannot be used with --headless");
    return ParseResult::Run;
}

}  // namespace tessel
