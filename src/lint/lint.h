// The lint: a pass over a checked program that points at constructs which
// run but rarely do what their writer meant. It reads the token store and
// the checker's tables and never changes them; a script linted runs and
// checks exactly as before.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/finding.h"
#include "checker/symbols.h"
#include "lexer/token_store.h"

namespace tessel {

// Lints `source` (Windows-1252 bytes, as the lexer reads them), naming it
// `script` in the report appended to `out`: one entry per warning,
//   SCRIPT:LINE:COL: warning: TEXT [rule]
// followed by the source line and a caret under the column; or, when the
// script does not lex or check, that one error in the same form
// (SCRIPT:LINE:COL: error: CAPTION: TEXT, with a hint where one is known).
// With `json`, each finding is one JSON object a line instead
// (base/finding.h). Returns the exit status: 0 when nothing was found, 1
// otherwise.
int lintScript(std::string_view script, std::string source, std::string& out, bool json = false);

// What lintScript finds, as values: the program as lexed and checked, and
// its findings in the order the report writes them.
struct LintResult {
    TokenStore tokens;              // keeps the source's bytes
    CheckerState symbols;           // the checker's tables (complete when `checked`)
    bool checked = false;           // the script lexed and checked without error
    std::vector<Finding> findings;  // the one error, or the warnings left after ignore comments
};
// `folder` is where a run would look for the files the script names (for a
// script in an editor, its own folder); "" is the working folder.
void lintProgram(std::string source, LintResult& out, std::string folder = {});

}  // namespace tessel
