// The number/text conversions shared by every phase: the checker reads array
// sizes with them, the evaluator literals and VAL, PRINT and STRS format with
// them. They need no interpreter state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessel {

// The one number formatting (PRINT, STRS, diagnostics).
std::string numberToText(float value);
// The same text, appended to `out` (no string of its own on the way).
void appendNumberText(std::string& out, float value);
// The same text, written somewhere in `buffer` (kNumberTextMax bytes) or
// a constant: for the caller to copy where it goes.
inline constexpr size_t kNumberTextMax = 48;
std::string_view writeNumberText(float value, char* buffer);
// The one number reading (literals, VAL); a prefix is read, the rest ignored.
double textToNumber(std::string_view text);
// Round to nearest, ties to even; NaN, infinities and out-of-range give INT32_MIN.
// (Inline: every subscript and pointer goes through it.)
inline int32_t toInt32(double value) {
    // Ties to even keep -2147483648.5 in range and push 2147483647.5 out.
    if (!(value >= -2147483648.5 && value < 2147483647.5)) return INT32_MIN;
    // Adding and removing 1.5 * 2^52 rounds to an integer, ties to even.
    constexpr double kRound = 6755399441055744.0;
    return static_cast<int32_t>((value + kRound) - kRound);
}

}  // namespace tessel
