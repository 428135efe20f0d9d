// One interpreter: the phases, the logs, the message loop and the machine
// the program runs on, owned in one place so a process (a test) can run
// many interpreters side by side.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "base/finding.h"
#include "base/reporter.h"
#include "gfx/gfx_state.h"
#include "host/options.h"
#include "lexer/tokenizer.h"
#include "platform/window_core.h"
#include "exec/vm.h"

namespace tessel {

// A diagnostic a run wrote at its place, and how often it came.
struct RepeatedDiagnostic {
    Finding finding;
    int count = 0;
};

struct HostState {
    std::string source;       // the whole source file, byte for byte, until the token store takes it
    bool failed = false;      // a lexing/checking failure, a run abort or a write error: exit status 1
    bool frontEnd = false;    // the tokenizer or the checker is at work: each of its boxes is a failure
    int stoppedBy = 0;        // the termination signal that ended the run (0: none)
    std::FILE* boxLog = nullptr;    // --box-log (null: none)
    std::FILE* printLog = nullptr;  // --print-log (null: none)
    std::FILE* findingLog = nullptr;  // Options::findingLog (null: none)
    bool boxLogFailed = false;      // a write to the box log failed (reported once)
    bool printLogFailed = false;    // a write to the print log failed (reported once)
    int findingsWritten = 0;        // --check --format=json: objects written so far
    std::map<std::string, RepeatedDiagnostic> repeats;  // diagnostics written at their place
};

class Interpreter final : public Reporter, public RunLog {
   public:
    Interpreter(WindowCore& platform, Options opts);
    ~Interpreter() override;
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // Runs the whole program: start-up, the phases and the message loop.
    // Returns the process exit status.
    int run();

    // The one diagnostic path. An empty caption becomes "<MsgBox>".
    void diagnostic(std::string_view caption, std::string_view text, const DiagnosticPlace& where) override;
    void countReport(std::string_view text) override;
    // Records a PRINT in the print log (when one was asked for).
    void printed(int x, int y, std::string_view text) override;

    WindowCore& platform;
    Options opts;
    HostState host;
    LexState lex;
    GfxState gfx;
    Vm vm;

   private:
    void openOutputs(bool scriptRead);
    void writeBoxLog(std::string_view record);
    void runFromSource();
    bool readSource(std::string& why);
    int lint();
    void runPhases();
    void checkAndRun();
    void outOfMemory();
    void messageLoop();
    // `isDiagnostic` is false for the count report, which a window run
    // shows but does not write to stderr.
    void showBox(std::string_view caption, std::string_view text, const DiagnosticPlace& where, bool isDiagnostic);
    static Finding findingOf(std::string_view caption, std::string_view text, const DiagnosticPlace& where);
    void writeCheckFinding(std::string_view caption, std::string_view text, const DiagnosticPlace& where);
    void writeLocated(std::string_view caption, std::string_view text, const DiagnosticPlace& where);
    void writeRepeatCounts();
    static void writeTerminal(std::FILE* f, const std::string& out);
    void finish();
};

// JSON string body for a byte string: bytes 0x00-0x1F and 0x7F-0xFF become
// \u00XX, quote and backslash are escaped, so the result is ASCII.
std::string jsonEscape(std::string_view bytes);

}  // namespace tessel
