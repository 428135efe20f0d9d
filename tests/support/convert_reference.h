// The original long-double number formatting, kept as the reference the fast
// one in convert.cpp is checked against (unit tests, tools/numtext_check).
// Nothing in the interpreter calls it.
#pragma once

#include <string>

namespace tessel {

// Same text as numberToText, by log10/pow on long doubles and a digit loop.
std::string numberToTextReference(float value);

}  // namespace tessel
