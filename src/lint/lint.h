// The lint: a pass over a checked program that points at constructs which
// run but rarely do what their writer meant. It reads the token store and
// the checker's tables and never changes them; a script linted runs and
// checks exactly as before.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace tessel
