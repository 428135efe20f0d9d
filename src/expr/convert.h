// The number/text conversions shared by every phase: the checker reads array
// sizes with them, the evaluator literals and VAL, PRINT and STRS format with
// them. They need no interpreter state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessel {

// The one number formatting (PRINT, STRS, diagnostics).
std::string numberToText(float value);
// The one number reading (literals, VAL); a prefix is read, the rest ignored.
double textToNumber(std::string_view text);
// Round to nearest, ties to even; NaN, infinities and out-of-range give INT32_MIN.
int32_t toInt32(double value);

}  // namespace tessel
