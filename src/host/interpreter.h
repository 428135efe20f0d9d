// One interpreter: every table of every subsystem, owned in one place so a
// process (a test) can run many interpreters side by side.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "checker/symbols.h"
#include "exec/exec_state.h"
#include "expr/expr_state.h"
#include "gfx/gfx_state.h"
#include "host/options.h"
#include "host/reporter.h"
#include "lexer/token_store.h"
#include "lexer/tokenizer.h"
#include "platform/platform.h"

namespace tessel {

// Thrown after a run-time type error's diagnostic: abandons every pending
// statement and expression; the host's message loop takes over.
struct RunAbort {};

// Thrown when the program ends from inside a message handler (the window
// was closed). Carries the exit status.
struct ProgramExit {
    int status;
};

struct HostState {
    std::string source;       // the whole source file, byte for byte
    int lexResult = 0;        // 1 when the lexing phase succeeded
    int checkResult = 0;      // 1 when the checker accepted the program
    bool failed = false;      // a lexing/checking failure or a run abort: exit status 1
    std::FILE* boxLog = nullptr;
    std::FILE* printLog = nullptr;
};

class Interpreter final : public Reporter {
   public:
    Interpreter(Platform& platform, Options opts);
    ~Interpreter() override;
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // Runs the whole program: start-up, the phases and the message loop.
    // Returns the process exit status.
    int run();

    // The one diagnostic path. An empty caption becomes "<MsgBox>".
    void diagnostic(std::string_view text, std::string_view caption, int line) override;
    void countReport(std::string_view text) override;

    // Records a PRINT in the print log (when one was asked for).
    void logPrint(int x, int y, std::string_view text);

    Platform& platform;
    Options opts;
    HostState host;
    TokenStore tokens;
    LexState lex;
    CheckerState checker;
    ExprState expr;
    ExecState exec;
    GfxState gfx;

   private:
    bool readSource();
    void runPhases();
    void checkAndRun();
    void outOfMemory();
    void messageLoop();
    void showBox(std::string_view caption, std::string_view text, int line);
    void finish();
};

// JSON string body for a byte string: bytes 0x00-0x1F and 0x7F-0xFF become
// \u00XX, quote and backslash are escaped, so the result is ASCII.
std::string jsonEscape(std::string_view bytes);


}  // namespace tessel
