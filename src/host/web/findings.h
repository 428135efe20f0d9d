// The checker's and the lint's findings as the page's editor marks them:
// one JSON object a line with file, line, column, endLine, endColumn
// (1-based; columns count bytes, the end is past the last byte), severity
// ("error" or "warning"), caption, text, rule and hint. Read from the lint's
// report, which holds both: the first error of a script that does not lex or
// check, otherwise the warnings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// The name the report gives the script (no colon, so a header splits cleanly).
inline constexpr char kFindingsScriptName[] = "script";

struct Finding {
    int line = 0, column = 0;        // 0 for an error that concerns no line
    int endLine = 0, endColumn = 0;  // past the token the finding points at
    std::string severity, caption, text, rule, hint;
};

// The findings of a report lintScript wrote for `source` under the name
// kFindingsScriptName.
std::vector<Finding> parseLintReport(std::string_view report, std::string_view source);

std::string findingsJson(const std::vector<Finding>& findings);

}  // namespace tessel
