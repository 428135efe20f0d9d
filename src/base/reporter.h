// Where diagnostics go. The interpreter routes them to the one diagnostic
// path (a message box, and the terminal; or the terminal alone in --check
// mode); the lint, tests and the fuzz targets collect or drop them. Every
// (caption, text) pair in tessel is passed in that order: caption first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessel {

// Where a diagnostic points in the script: 1-based line and byte column, the
// byte offset of its first byte and the bytes it covers. Line 0: it concerns
// no place in the script.
struct SourcePlace {
    int32_t line = 0;
    int32_t column = 0;
    uint32_t offset = 0;
    uint32_t length = 0;

    bool known() const { return line > 0; }
};

// What a diagnostic says besides its box: the place it concerns (the token
// that failed, the block left open, the byte the tokenizer stopped at) and a
// hint on what to write instead ("" for none). Neither ever reaches the box:
// a box's text stays what the language says, line numbers and all.
struct DiagnosticPlace {
    SourcePlace at;
    std::string hint;
};

// The caption of the lexing phase's count report. The page asks the module
// for it (tessel_count_caption), to tell that box from the diagnostics.
inline constexpr char kCountCaption[] = "Kiv";

class Reporter {
   public:
    virtual ~Reporter() = default;
    // A diagnostic box and its place.
    virtual void diagnostic(std::string_view caption, std::string_view text, const DiagnosticPlace& where) = 0;
    // The lexing phase's count report (kCountCaption), the one box that does
    // not go through the diagnostic path.
    virtual void countReport(std::string_view text) = 0;
};

}  // namespace tessel
