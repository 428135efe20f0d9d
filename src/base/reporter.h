// Where diagnostics go. The interpreter routes them to the one diagnostic
// path (a message box, or stderr in --check mode); tests and the fuzz
// targets collect or drop them. Every (caption, text) pair in tessel is
// passed in that order: caption first.
#pragma once

#include <string_view>

namespace tessel {

class Reporter {
   public:
    virtual ~Reporter() = default;
    // A diagnostic box. `line` is the 1-based source line it concerns, or 0
    // when it names none; it is used for terminal output, never in the text.
    virtual void diagnostic(std::string_view caption, std::string_view text, int line) = 0;
    // The lexing phase's count report (caption "Kiv"), the one box that does
    // not go through the diagnostic path.
    virtual void countReport(std::string_view text) = 0;
};

}  // namespace tessel
