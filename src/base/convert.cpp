// Number to text, text to number and number to 32-bit integer.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/convert.h"

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

std::string numberToText(float value) {
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

namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// Digits of `radix` from the start of `s`, accumulated with 64-bit wrap-around.
double readRadix(std::string_view s, int radix) {
    uint64_t acc = 0;
    for (char c : s) {
        int d = digitValue(c);
        if (d >= radix) break;
        acc = acc * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
    }
    return static_cast<double>(static_cast<int64_t>(acc));
}

// The radix of a letter after "&" (or after a leading "0"), 0 for none.
int radixOfLetter(char c) {
    switch (c | 0x20) {
        case 'h':
        case 'x':
            return 16;
        case 'o':
            return 8;
        case 'b':
            return 2;
        default:
            return 0;
    }
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if ((s[i] | 0x20) != (prefix[i] | 0x20)) return false;
    return true;
}

// "1FH" / "17O": a run up to the first character below '-' that starts with
// a digit and ends in H or O. Returns the radix, 0 when the form does not apply.
int suffixRadix(std::string_view s, size_t& runLength) {
    size_t n = 0;
    while (n < s.size() && static_cast<unsigned char>(s[n]) >= '-') ++n;
    runLength = n;
    if (n < 2 || s[0] < '0' || s[0] > '9') return 0;
    char last = static_cast<char>(s[n - 1] | 0x20);
    return last == 'h' ? 16 : last == 'o' ? 8 : 0;
}

// Decimal form: [-]digits[.digits][e[-]digits], read as far as it fits.
double readDecimal(std::string_view s) {
    std::string clean;
    size_t i = 0;
    if (i < s.size() && s[i] == '-') clean.push_back(s[i++]);
    bool dot = false, anyDigit = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            clean.push_back(c);
            anyDigit = true;
        } else if (c == '.' && !dot) {
            clean.push_back(c);
            dot = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return !clean.empty() && clean[0] == '-' ? -0.0 : 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negative = i < s.size() && s[i] == '-';
        if (negative) ++i;
        long exponent = 0;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
            if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
        clean += negative ? "e-" : "e";
        clean += std::to_string(exponent);
    }
    return std::strtod(clean.c_str(), nullptr);
}

}  // namespace

double textToNumber(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) <= 32) ++start;
    std::string_view s = text.substr(start);
    if (s.empty() || static_cast<unsigned char>(s[0]) >= 58) return 0.0;
    if ((s[0] == '&' || s[0] == '0') && s.size() >= 2 && isLetter(s[1])) {
        int radix = radixOfLetter(s[1]);
        return radix ? readRadix(s.substr(2), radix) : 0.0;
    }
    size_t run = 0;
    if (int radix = suffixRadix(s, run)) return readRadix(s.substr(0, run - 1), radix);
    if (s[0] == '#') {
        if (startsWithNoCase(s, "#INF")) return HUGE_VAL;
        if (startsWithNoCase(s, "#-INF")) return -HUGE_VAL;
        return std::nan("");
    }
    if ((s[0] >= '0' && s[0] <= '9') || s[0] == '-' || s[0] == '.') return readDecimal(s);
    return 0.0;
}

}  // namespace tessel
