// What the lint's rules share: the checked program, where its tokens stand
// in the source, and the findings collected so far.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checker/symbols.h"
#include "lexer/token_store.h"
#include "base/finding.h"
#include "lexer/tokenizer.h"

namespace tessel {

struct LintFinding {
    SourcePlace at;    // where in the source the finding points
    std::string rule;  // rule name, as an ignore comment names it
    std::string text;  // what the program will do and what to write instead
};

// One statement as the lint sees it: tokens [first, end), where `end` is the
// ':' or end-of-line token that closes it (an ELSE closes one too).
struct Statement {
    int32_t first;
    int32_t end;
    int32_t size() const { return end - first; }
};

struct LintContext {
    std::string_view source;            // the script's bytes
    const TokenStore& tokens;           // after checking: keywords carry their codes
    const CheckerState& symbols;        // the checker's tables
    std::vector<Statement> statements;  // in source order
    std::vector<LintFinding> findings;  // what the rules found
    std::string folder = {};            // where a run would look for files ("": the working folder)

    int32_t cls(int64_t i) const { return tokens.classAt(i); }
    std::string text(int64_t i) const { return std::string(tokens.textAt(i)); }

    void warn(int32_t token, std::string_view rule, std::string text) {
        findings.push_back({tokens.placeAt(token), std::string(rule), std::move(text)});
    }

    // The source text from the start of token `a` to the end of token `b`,
    // as written (an empty text when b comes before a).
    std::string spelling(int32_t a, int32_t b) const { return std::string(tokens.spelling(a, b)); }

    // Type of the scalar variable a name token stands for (TYPE_NONE when it
    // stands for none, or is followed by '[').
    int32_t scalarType(int32_t token) const;
    // Type of the array a name token followed by '[' stands for, or TYPE_NONE.
    int32_t elementType(int32_t token) const;
    // Index of the ']' closing the '[' at `open`, or 0 before `limit`.
    int32_t closingBracket(int32_t open, int32_t limit) const;
};

// Splits the program into statements.
std::vector<Statement> splitStatements(const TokenStore& tokens);

// The rules, each over the whole program.
void lintLoops(LintContext& ctx);        // FOR ... NEXT
void lintPrint(LintContext& ctx);        // PRINT items
void lintAssignments(LintContext& ctx);  // no-effect names, mixed types, dangling operators
void lintDeclarations(LintContext& ctx); // reserved words in declaration lists
void lintColours(LintContext& ctx);      // WCOLOR, FCOLOR, BCOLOR arguments
void lintImages(LintContext& ctx);       // LOADIMG type and flags
void lintMouse(LintContext& ctx);        // MOUSEX/MOUSEY without a mouse-move block
void lintPresenting(LintContext& ctx);   // drawing that is never shown
void lintReach(LintContext& ctx);        // statements that can never run
void lintMissingArguments(LintContext& ctx);  // argument reading that runs past the statement

}  // namespace tessel
