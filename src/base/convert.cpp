// Number to text, text to number and number to 32-bit integer.
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "base/convert.h"

namespace tessel {

namespace {

constexpr int kPrecision = 6;  // decimals of the number formatting

using u128 = unsigned __int128;

// A power of ten as an extended-precision number: mantissa * 2^exponent with
// the mantissa's top bit set.
struct DecimalPower {
    uint64_t mantissa;
    int exponent;
};

// 10^s for s from -32 to 52: the scales the formatting uses (0 to 6 for fixed
// layout, 11 to 52 and -32 to -12 for exponent layout). These are the values
// the long-double formatting multiplies by, so the text stays what it always
// was: where that pow() is not correctly rounded (1e-20 is one unit in the
// last place below the nearest value, 1e43 one above) the table keeps its
// value, not the nearest one.
constexpr int kMinScale = -32;
constexpr DecimalPower kDecimalPowers[] = {
    {0xCFB11EAD453994BAULL, -170},  // 1e-32
    {0x81CEB32C4B43FCF5ULL, -166},  // 1e-31
    {0xA2425FF75E14FC32ULL, -163},  // 1e-30
    {0xCAD2F7F5359A3B3EULL, -160},  // 1e-29
    {0xFD87B5F28300CA0EULL, -157},  // 1e-28
    {0x9E74D1B791E07E48ULL, -153},  // 1e-27
    {0xC612062576589DDBULL, -150},  // 1e-26
    {0xF79687AED3EEC551ULL, -147},  // 1e-25
    {0x9ABE14CD44753B53ULL, -143},  // 1e-24
    {0xC16D9A0095928A27ULL, -140},  // 1e-23
    {0xF1C90080BAF72CB1ULL, -137},  // 1e-22
    {0x971DA05074DA7BEFULL, -133},  // 1e-21
    {0xBCE5086492111AEAULL, -130},  // 1e-20
    {0xEC1E4A7DB69561A5ULL, -127},  // 1e-19
    {0x9392EE8E921D5D07ULL, -123},  // 1e-18
    {0xB877AA3236A4B449ULL, -120},  // 1e-17
    {0xE69594BEC44DE15BULL, -117},  // 1e-16
    {0x901D7CF73AB0ACD9ULL, -113},  // 1e-15
    {0xB424DC35095CD80FULL, -110},  // 1e-14
    {0xE12E13424BB40E13ULL, -107},  // 1e-13
    {0x8CBCCC096F5088CCULL, -103},  // 1e-12
    {0xAFEBFF0BCB24AAFFULL, -100},  // 1e-11
    {0xDBE6FECEBDEDD5BFULL, -97},  // 1e-10
    {0x89705F4136B4A597ULL, -93},  // 1e-9
    {0xABCC77118461CEFDULL, -90},  // 1e-8
    {0xD6BF94D5E57A42BCULL, -87},  // 1e-7
    {0x8637BD05AF6C69B6ULL, -83},  // 1e-6
    {0xA7C5AC471B478423ULL, -80},  // 1e-5
    {0xD1B71758E219652CULL, -77},  // 1e-4
    {0x83126E978D4FDF3CULL, -73},  // 1e-3
    {0xA3D70A3D70A3D70BULL, -70},  // 1e-2
    {0xCCCCCCCCCCCCCCCDULL, -67},  // 1e-1
    {0x8000000000000000ULL, -63},  // 1e0
    {0xA000000000000000ULL, -60},  // 1e1
    {0xC800000000000000ULL, -57},  // 1e2
    {0xFA00000000000000ULL, -54},  // 1e3
    {0x9C40000000000000ULL, -50},  // 1e4
    {0xC350000000000000ULL, -47},  // 1e5
    {0xF424000000000000ULL, -44},  // 1e6
    {0x9896800000000000ULL, -40},  // 1e7
    {0xBEBC200000000000ULL, -37},  // 1e8
    {0xEE6B280000000000ULL, -34},  // 1e9
    {0x9502F90000000000ULL, -30},  // 1e10
    {0xBA43B74000000000ULL, -27},  // 1e11
    {0xE8D4A51000000000ULL, -24},  // 1e12
    {0x9184E72A00000000ULL, -20},  // 1e13
    {0xB5E620F480000000ULL, -17},  // 1e14
    {0xE35FA931A0000000ULL, -14},  // 1e15
    {0x8E1BC9BF04000000ULL, -10},  // 1e16
    {0xB1A2BC2EC5000000ULL, -7},  // 1e17
    {0xDE0B6B3A76400000ULL, -4},  // 1e18
    {0x8AC7230489E80000ULL, 0},  // 1e19
    {0xAD78EBC5AC620000ULL, 3},  // 1e20
    {0xD8D726B7177A8000ULL, 6},  // 1e21
    {0x878678326EAC9000ULL, 10},  // 1e22
    {0xA968163F0A57B400ULL, 13},  // 1e23
    {0xD3C21BCECCEDA100ULL, 16},  // 1e24
    {0x84595161401484A0ULL, 20},  // 1e25
    {0xA56FA5B99019A5C8ULL, 23},  // 1e26
    {0xCECB8F27F4200F3AULL, 26},  // 1e27
    {0x813F3978F8940984ULL, 30},  // 1e28
    {0xA18F07D736B90BE5ULL, 33},  // 1e29
    {0xC9F2C9CD04674EDFULL, 36},  // 1e30
    {0xFC6F7C4045812296ULL, 39},  // 1e31
    {0x9DC5ADA82B70B59EULL, 43},  // 1e32
    {0xC5371912364CE305ULL, 46},  // 1e33
    {0xF684DF56C3E01BC7ULL, 49},  // 1e34
    {0x9A130B963A6C115CULL, 53},  // 1e35
    {0xC097CE7BC90715B3ULL, 56},  // 1e36
    {0xF0BDC21ABB48DB20ULL, 59},  // 1e37
    {0x96769950B50D88F4ULL, 63},  // 1e38
    {0xBC143FA4E250EB31ULL, 66},  // 1e39
    {0xEB194F8E1AE525FDULL, 69},  // 1e40
    {0x92EFD1B8D0CF37BEULL, 73},  // 1e41
    {0xB7ABC627050305AEULL, 76},  // 1e42
    {0xE596B7B0C643C71AULL, 79},  // 1e43
    {0x8F7E32CE7BEA5C70ULL, 83},  // 1e44
    {0xB35DBF821AE4F38CULL, 86},  // 1e45
    {0xE0352F62A19E306FULL, 89},  // 1e46
    {0x8C213D9DA502DE45ULL, 93},  // 1e47
    {0xAF298D050E4395D7ULL, 96},  // 1e48
    {0xDAF3F04651D47B4CULL, 99},  // 1e49
    {0x88D8762BF324CD10ULL, 103},  // 1e50
    {0xAB0E93B6EFEE0054ULL, 106},  // 1e51
    {0xD5D238A4ABE98068ULL, 109},  // 1e52
};
static_assert(kMinScale + static_cast<int>(std::size(kDecimalPowers)) - 1 == 52, "the table runs to 10^52");

// 10^k for k from -44 to 39, only compared with. A float lying between one of
// these doubles and the exact power would get the wrong exponent; the
// comparison with the reference over all floats (tools/numtext_check) is
// what shows there is none.
constexpr int kMinTen = -44;
constexpr double kTens[] = {
    1e-44, 1e-43, 1e-42, 1e-41, 1e-40, 1e-39, 1e-38, 1e-37, 1e-36, 1e-35, 1e-34, 1e-33,
    1e-32, 1e-31, 1e-30, 1e-29, 1e-28, 1e-27, 1e-26, 1e-25, 1e-24, 1e-23, 1e-22, 1e-21,
    1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9,
    1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,
    1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,
    1e16,  1e17,  1e18,  1e19,  1e20,  1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27,
    1e28,  1e29,  1e30,  1e31,  1e32,  1e33,  1e34,  1e35,  1e36,  1e37,  1e38,  1e39,
};

// A positive finite float as significand * 2^exponent (significand below 2^24).
struct BinaryFloat {
    uint32_t significand;
    int exponent;
};

BinaryFloat splitFloat(float value) {
    // (memcpy, not std::bit_cast: the web build's C++ library lacks it.)
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    int biased = static_cast<int>((bits >> 23) & 0xFF);
    uint32_t fraction = bits & 0x7FFFFF;
    if (biased == 0) return {fraction, -149};  // subnormal
    return {fraction | 0x800000, biased - 150};
}

// floor(log10(x)) of x = significand * 2^exponent.
int decimalExponent(BinaryFloat x, float mag) {
    int topBit = static_cast<int>(std::bit_width(x.significand)) - 1 + x.exponent;
    // floor(topBit * log10(2)); x < 2^(topBit + 1), so the answer is e or e + 1.
    int e = (topBit * 78913) >> 18;
    return static_cast<double>(mag) >= kTens[e + 1 - kMinTen] ? e + 1 : e;
}

int bitLength(u128 v) {
    auto high = static_cast<uint64_t>(v >> 64);
    if (high) return 64 + static_cast<int>(std::bit_width(high));
    return static_cast<int>(std::bit_width(static_cast<uint64_t>(v)));
}

// v / 2^n rounded to nearest, ties to even (0 < n < 128).
u128 shiftRoundEven(u128 v, int n) {
    u128 quotient = v >> n;
    u128 rest = v & ((u128{1} << n) - 1);
    u128 half = u128{1} << (n - 1);
    if (rest > half || (rest == half && (quotient & 1))) ++quotient;
    return quotient;
}

// x * 10^scale rounded to an integer, ties to even, exactly as the long-double
// formatting does it: the product is first rounded to the 64-bit mantissa of
// an extended-precision number (it is exact for the fixed layout's scales),
// and only that rounded product is rounded to an integer.
uint64_t scaleToInteger(BinaryFloat x, int scale) {
    const DecimalPower& power = kDecimalPowers[scale - kMinScale];
    u128 product = u128{x.significand} * power.mantissa;
    int exponent = x.exponent + power.exponent;
    if (int excess = bitLength(product) - 64; excess > 0) {
        product = shiftRoundEven(product, excess);
        exponent += excess;
        if (product >> 64) {  // rounded up to 2^64
            product >>= 1;
            ++exponent;
        }
    }
    if (exponent >= 0) return static_cast<uint64_t>(product << exponent);
    return static_cast<uint64_t>(shiftRoundEven(product, -exponent));
}

// "00" to "99": the digits are written two at a time.
constexpr std::array<char, 200> makeDigitPairs() {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}
constexpr std::array<char, 200> kDigitPairs = makeDigitPairs();

// Writes the two digits of n (below 100) ending just before `end`; returns
// their start.
char* writePair(size_t n, char* end) {
    end -= 2;
    end[0] = kDigitPairs[2 * n];
    end[1] = kDigitPairs[2 * n + 1];
    return end;
}

// Writes the decimal digits of v ending just before `end`; returns their
// start. Two digits a step make the chain of divisions, which is what a
// counter's text costs, half as long.
template <typename Unsigned>
char* writeDigits(Unsigned v, char* end) {
    for (; v >= 100; v /= 100) end = writePair(static_cast<size_t>(v % 100), end);
    if (v >= 10) return writePair(static_cast<size_t>(v), end);
    *--end = static_cast<char>('0' + v);
    return end;
}

// The digits of `scaled` at `out` with a '.' before the last `decimals` of
// them (zero-padded to one integer digit), trailing zeros and a bare '.'
// removed. Returns the end of the text.
char* layoutDigits(uint64_t scaled, int decimals, char* out) {
    char buffer[24];
    char* end = buffer + sizeof buffer;
    char* first = writeDigits(scaled, end);
    while (end - first < decimals + 1) *--first = '0';
    char* point = end - decimals;
    while (first < point) *out++ = *first++;
    if (decimals == 0) return out;
    while (end > point && end[-1] == '0') --end;
    if (end == point) return out;
    *out++ = '.';
    while (point < end) *out++ = *point++;
    return out;
}

// "E+18", "E-06": the exponent with at least two digits.
char* writeExponent(int e, char* out) {
    *out++ = 'E';
    *out++ = e < 0 ? '-' : '+';
    int magnitude = e < 0 ? -e : e;
    if (magnitude < 10) *out++ = '0';
    char buffer[4];
    char* end = buffer + sizeof buffer;
    for (char* p = writeDigits(static_cast<uint32_t>(magnitude), end); p < end;) *out++ = *p++;
    return out;
}

}  // namespace

std::string_view writeNumberText(float value, char* buffer) {
    if (value == 0.0f) return std::signbit(value) ? "-0" : "0";
    if (std::isinf(value)) return value > 0 ? "#INF" : "#-INF";
    if (std::isnan(value)) return "#qNAN";
    float mag = std::fabs(value);
    if (mag < 0x1p24f && mag == std::trunc(mag)) {
        // A whole number below 2^24 (the commonest, a counter's value): in
        // the fixed layout its six decimals are all zeros and go, which
        // leaves its digits, written back from the buffer's end.
        char* end = buffer + kNumberTextMax;
        char* first = writeDigits(static_cast<uint32_t>(mag), end);
        if (value < 0) *--first = '-';
        return std::string_view(first, static_cast<size_t>(end - first));
    }
    BinaryFloat x = splitFloat(mag);
    int e = decimalExponent(x, mag);
    bool fixed = e >= -4 && e <= 17;
    int decimals = !fixed ? kPrecision : e <= 10 ? kPrecision : e <= 16 ? 16 - e : 0;
    int scale = fixed ? decimals : kPrecision - e;
    char* end = buffer;
    if (value < 0) *end++ = '-';
    end = layoutDigits(scaleToInteger(x, scale), decimals, end);
    if (!fixed) end = writeExponent(e, end);
    return std::string_view(buffer, static_cast<size_t>(end - buffer));
}

void appendNumberText(std::string& out, float value) {
    char buffer[kNumberTextMax];
    out.append(writeNumberText(value, buffer));
}

std::string numberToText(float value) {
    std::string text;
    appendNumberText(text, value);
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
