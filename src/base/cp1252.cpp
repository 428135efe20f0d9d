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

}  // namespace

std::string utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        int b = windows1252Byte(decodeUtf8(utf8, i));
        if (b >= 0) out += static_cast<char>(b);
    }
    return out;
}

}  // namespace tessel
