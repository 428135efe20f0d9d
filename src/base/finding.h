// A finding as tools outside the box show it: the located terminal form
// (FILE:LINE:COL: ..., the source line, a caret and a hint) and one JSON
// object a line. The interpreter's terminal output, --check, --lint, the
// page and the editor extension all write findings through these two
// functions.
#pragma once

#include <string>
#include <string_view>

#include "base/reporter.h"

namespace tessel {

enum class Severity { Error, Warning };

struct Finding {
    SourcePlace at;                       // line 0: it concerns no place
    Severity severity = Severity::Error;
    std::string caption;                  // the box's caption ("" for a lint warning)
    std::string text;                     // the box's text or the warning (Windows-1252)
    std::string rule;                     // the lint rule ("" for an error)
    std::string hint;                     // what to write instead ("" for none)
};

// The terminal form of `f` in the script `file` whose bytes are `source`:
//   FILE:LINE:COL: [SEVERITY: ][CAPTION: ]TEXT[ [RULE]]
// then the source line indented, a caret under the column and the hint, or
// FILE: [SEVERITY: ]CAPTION: TEXT alone when it concerns no place. The
// severity is named when `labelled`. Texts become UTF-8 with control bytes
// escaped (windows1252ToTerminal).
std::string findingText(std::string_view file, std::string_view source, const Finding& f, bool labelled);

// One JSON object and a line feed: file, line, column, endLine, endColumn
// (1-based; the end is the column after the last byte; 0 for no place),
// severity, caption, text, rule, hint. Texts are UTF-8.
std::string findingJson(std::string_view file, const Finding& f);

// A UTF-8 text as the body of a JSON string: quote, backslash and control
// characters escaped. With `highBytesEscaped`, every byte above 0x7F becomes
// \u00XX as well (the logs' form for a script's bytes), so the result is ASCII.
std::string jsonString(std::string_view utf8, bool highBytesEscaped = false);

// The source line a place stands on, without its line end.
std::string_view sourceLineAt(std::string_view source, const SourcePlace& at);

}  // namespace tessel
