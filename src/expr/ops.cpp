#include "expr/ops.h"

#include "checker/keywords.h"

namespace tessel {

float longTruncatedQuotient(float a, float b) {
    double q = static_cast<double>(a) / static_cast<double>(b);
    if (!std::isfinite(q)) return static_cast<float>(q);
    // Below 2^62 the integer conversion truncates without a library call.
    double t = std::fabs(q) < 0x1p62 ? static_cast<double>(static_cast<int64_t>(q)) : std::trunc(q);
    if (t == 0.0) t = std::copysign(0.0, q);
    // The rounded quotient may reach an integer the exact one falls short of;
    // the exact remainder's sign tells.
    if (t == 0.0) return static_cast<float>(t);
    // Rounding is monotonic and keeps integers: a rounded quotient with a
    // fraction lies strictly between the same two integers as the exact one.
    if (t != q) return static_cast<float>(t);
    if (std::fabs(t) < 0x1p28) {
        // t * b is exact here: 28 + 24 bits fit a double.
        if (std::fabs(t * b) > std::fabs(static_cast<double>(a))) t -= std::copysign(1.0, t);
    } else {
        double r = std::fma(-t, static_cast<double>(b), static_cast<double>(a));
        if (r != 0.0 && std::signbit(r) != std::signbit(a)) t -= std::copysign(1.0, t);
    }
    return static_cast<float>(t);
}

float power(float a, float b) {
    double bd = b;
    long double mag;
    if (a == 0.0f) {
        mag = std::pow(0.0, bd);
    } else {
        long double lg = std::log2(std::fabs(static_cast<long double>(a)));
        mag = std::exp2(static_cast<long double>(bd) * lg);
    }
    bool odd = std::isfinite(bd) && std::fmod(std::trunc(bd), 2.0) != 0.0;
    if (odd && std::signbit(a)) mag = -mag;
    return static_cast<float>(mag);
}

float pureFunction(int32_t code, float x) {
    double d = x;
    switch (code) {
        case KW_SIN: return static_cast<float>(std::sin(d));
        case KW_COS: return static_cast<float>(std::cos(d));
        case KW_TAN: return static_cast<float>(std::tan(d));
        case KW_ATAN: return static_cast<float>(std::atan(d));
        case KW_ABS: return std::fabs(x);
        case KW_SQR: return static_cast<float>(std::sqrt(d));
        case KW_LOG: return static_cast<float>(std::log(d));
        case KW_ROUND: return std::nearbyint(x);
        case KW_INT: return static_cast<float>(toInt32(d));
        case KW_FRAC: return x - std::trunc(x);
        default: return 0.0f;
    }
}

float rndStep(uint32_t& state) {
    uint32_t s = state;
    s = ((s << 7) | (s >> 25)) * 13u;
    state = s;
    double magnitude = std::fabs(static_cast<double>(static_cast<int32_t>(s)));
    return static_cast<float>(magnitude * 0x1p-31);
}

int32_t randStep(uint32_t& state, int32_t n) {
    int32_t lo = n < 0 ? n : 0;
    int32_t hi = n < 0 ? 0 : n;
    uint32_t count = static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo) + 1u;
    state = state * 134775813u + 1u;
    uint64_t offset = (static_cast<uint64_t>(count) * state) >> 32;
    return static_cast<int32_t>(static_cast<int64_t>(lo) + static_cast<int64_t>(offset));
}

std::string_view leftPart(std::string_view s, int32_t n) {
    if (n <= 0) return {};
    return s.substr(0, static_cast<size_t>(n));
}

std::string_view rightPart(std::string_view s, int32_t n) {
    int64_t len = static_cast<int64_t>(s.size());
    if (n == 0) return s;
    if (n > 0) return n >= len ? s : s.substr(static_cast<size_t>(len - n));
    int64_t from = -static_cast<int64_t>(n);  // 1-based position
    return from > len ? std::string_view() : s.substr(static_cast<size_t>(from - 1));
}

std::string_view middlePart(std::string_view s, int32_t start, int32_t count) {
    int64_t len = static_cast<int64_t>(s.size());
    int64_t p = start;
    if (p == 0) p = 1;
    if (p < 0) p = len + 1 + p;
    if (p < 1) p = 1;
    if (p > len || count <= 0) return {};
    return s.substr(static_cast<size_t>(p - 1), static_cast<size_t>(count));
}

}  // namespace tessel
