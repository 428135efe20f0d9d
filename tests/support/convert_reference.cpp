// The long-double number formatting: about a microsecond a call, kept only as
// the definition the integer version must match byte for byte.
#include "support/convert_reference.h"

#include <cmath>

namespace tessel {

namespace {

constexpr int kPrecision = 6;  // decimals of the number formatting

// Decimal exponent: log10 truncated toward zero, one less when negative.
int decimalExponent(long double mag) {
    long double lg = std::log10(mag);
    int e = static_cast<int>(std::trunc(lg));
    if (lg < 0) --e;
    return e;
}

// Digits of the rounded integer `scaled`, with a '.' before the last
// `decimals` digits and trailing zeros (and a bare '.') removed.
std::string layoutDigits(long double scaled, int decimals) {
    long double r = std::nearbyint(scaled);  // ties to even
    std::string digits;
    while (r >= 1.0L) {
        long double q = std::floor(r / 10.0L);
        digits.push_back(static_cast<char>('0' + static_cast<int>(r - q * 10.0L)));
        r = q;
    }
    while (static_cast<int>(digits.size()) < decimals + 1) digits.push_back('0');
    std::string out(digits.rbegin(), digits.rend());
    if (decimals > 0) {
        out.insert(out.size() - decimals, 1, '.');
        while (out.back() == '0') out.pop_back();
        if (out.back() == '.') out.pop_back();
    }
    return out.empty() ? std::string("0") : out;
}

}  // namespace

std::string numberToTextReference(float value) {
    if (value == 0.0f) return std::signbit(value) ? "-0" : "0";
    if (std::isinf(value)) return value > 0 ? "#INF" : "#-INF";
    if (std::isnan(value)) return "#qNAN";
    long double mag = std::fabs(static_cast<long double>(value));
    int e = decimalExponent(mag);
    bool fixed = e >= -4 && e <= 17;
    int decimals = !fixed ? kPrecision : e <= 10 ? kPrecision : e <= 16 ? 16 - e : 0;
    int scale = fixed ? decimals : kPrecision - e;
    std::string text = value < 0 ? "-" : "";
    text += layoutDigits(mag * std::pow(10.0L, static_cast<long double>(scale)), decimals);
    if (!fixed) {
        int ae = e < 0 ? -e : e;
        text += e < 0 ? "E-" : "E+";
        if (ae < 10) text += '0';
        text += std::to_string(ae);
    }
    return text;
}

}  // namespace tessel
