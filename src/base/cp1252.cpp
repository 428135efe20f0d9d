#include "base/cp1252.h"

namespace tessel {

namespace {

// Decodes one UTF-8 sequence at s[i]; advances i. Malformed bytes give U+FFFD.
uint32_t decodeUtf8(std::string_view s, size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i++]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (c >= 0x80 && extra == 0) return 0xFFFD;
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return cp;
}

// The Windows-1252 byte for a code point, or -1 when it has none.
int windows1252Byte(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int b = 0x80; b < 0xA0; ++b)
        if (cp1252CodePoint(static_cast<unsigned char>(b)) == cp && cp != 0xFFFD) return b;
    return -1;
}

void appendEscaped(std::string& out, unsigned char c) {
    static const char hex[] = "0123456789abcdef";
    out += "\\x";
    out += hex[c >> 4];
    out += hex[c & 15];
}

// True for byte i of `bytes` when the terminal forms escape it.
bool escapedAt(std::string_view bytes, size_t i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') return false;
    return shownEscaped(c);
}

}  // namespace

std::string windows1252ToTerminal(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (escapedAt(bytes, i))
            appendEscaped(out, c);
        else
            appendUtf8(out, cp1252CodePoint(c));
    }
    return out;
}

std::string bytesToTerminal(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        // U+0080 to U+009F (C2 80 to C2 9F) are controls too, to a terminal.
        bool c1 = c == 0xC2 && i + 1 < bytes.size() && (static_cast<unsigned char>(bytes[i + 1]) & 0xE0) == 0x80;
        if (c1) {
            appendEscaped(out, c);
            appendEscaped(out, static_cast<unsigned char>(bytes[++i]));
        } else if (escapedAt(bytes, i)) {
            appendEscaped(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        int b = windows1252Byte(decodeUtf8(utf8, i));
        if (b >= 0) out += static_cast<char>(b);
    }
    return out;
}

}  // namespace tessel

namespace tessel {

size_t utf8SequenceLength(std::string_view s, size_t i) {
    auto at = [&](size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0; };
    unsigned char c = at(i);
    size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (len == 0) return 0;
    // The second byte's range rules out overlong forms, surrogates and
    // code points past U+10FFFF.
    unsigned char lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    unsigned char hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (at(i + 1) < lo || at(i + 1) > hi) return 0;
    for (size_t k = 2; k < len; ++k)
        if ((at(i + k) & 0xC0) != 0x80) return 0;
    return len;
}

size_t firstUtf8Sequence(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0xC2 && utf8SequenceLength(bytes, i) != 0) return i;
    return std::string_view::npos;
}

size_t likelyUtf8Start(std::string_view bytes) {
    size_t inSequences = 0, stray = 0;
    for (size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
        } else if (size_t len = utf8SequenceLength(bytes, i)) {
            inSequences += len;
            i += len;
        } else {
            ++stray;
            ++i;
        }
    }
    return inSequences > stray ? firstUtf8Sequence(bytes) : std::string_view::npos;
}

std::string utf8SourceToWindows1252(std::string_view utf8, std::vector<uint32_t>* extraUnits) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") {
        utf8.remove_prefix(3);
        if (extraUnits) extraUnits->push_back(0);
    }
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t len = c < 0x80 ? 1 : utf8SequenceLength(utf8, i);
        if (len == 0) {  // a byte that starts no well-formed sequence
            out += '?';
            ++i;
            continue;
        }
        if (len == 4 && extraUnits) extraUnits->push_back(static_cast<uint32_t>(out.size() + 1));
        int b = len == 1 ? c : windows1252Byte(decodeUtf8(utf8, i));
        if (len == 1) ++i;
        out += b >= 0 ? static_cast<char>(b) : '?';
    }
    return out;
}

}  // namespace tessel
