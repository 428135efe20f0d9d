// Script texts are bytes; wherever they are shown, bytes above 127 are
// Windows-1252 characters.
#pragma once

#include <cstdint>

namespace tessel {

// Unicode code point of a Windows-1252 byte (U+FFFD for the five unused ones).
inline uint32_t cp1252CodePoint(unsigned char c) {
    static const uint16_t high[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (c < 0x80 || c >= 0xA0) return c;
    return high[c - 0x80] ? high[c - 0x80] : 0xFFFDu;
}

}  // namespace tessel

#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// Appends code point `cp` (below U+10000) to `out` as UTF-8.
inline void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows-1252 bytes as UTF-8, for window titles and the terminal.
inline std::string windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) appendUtf8(out, cp1252CodePoint(c));
    return out;
}

// UTF-8 typed text as Windows-1252 bytes; characters it cannot hold are dropped.
std::string utf8ToWindows1252(std::string_view utf8);

// Whether the terminal forms below show byte c as the four characters \xNN:
// a control byte other than tab and line feed (a carriage return stays only
// before a line feed). A script's bytes can thus never move the cursor,
// recolour the terminal or send it commands.
inline bool shownEscaped(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F; }

// Windows-1252 bytes (a script's text, its diagnostics) as UTF-8 for the
// terminal, with control bytes escaped; printable text reads as it is.
std::string windows1252ToTerminal(std::string_view bytes);

// Bytes of another origin (a file name from the command line) for the
// terminal: kept as they are, but control bytes, and C1 controls in their
// UTF-8 form, are escaped.
std::string bytesToTerminal(std::string_view bytes);

}  // namespace tessel

namespace tessel {

// Length (2 to 4) of the well-formed UTF-8 multi-byte sequence that starts at
// s[i], or 0 when none does (an ASCII byte, a stray or overlong byte, a
// surrogate or a code point past U+10FFFF).
size_t utf8SequenceLength(std::string_view s, size_t i);

// Offset of the first well-formed multi-byte UTF-8 sequence in `bytes`, or
// npos: a script holding one was most likely saved as UTF-8.
size_t firstUtf8Sequence(std::string_view bytes);

// Offset of the first well-formed multi-byte sequence when such sequences
// hold more of the bytes above 0x7F than stray bytes do, or npos. Windows-1252
// text forms a sequence now and then (a capital letter before a symbol, as in
// the bytes DD 8A), but rarely more than it leaves stray.
size_t likelyUtf8Start(std::string_view bytes);

// A UTF-8 script as Windows-1252 bytes: a leading byte-order mark is dropped;
// characters Windows-1252 cannot hold and bytes that are not well-formed
// UTF-8 each become '?'. With `extraUnits`, the offset in the result from
// which each character that an editor counts as two UTF-16 units (those past
// U+FFFF, and the dropped mark, counted from offset 0) adds one to the
// columns of the bytes after it is appended, in order.
std::string utf8SourceToWindows1252(std::string_view utf8, std::vector<uint32_t>* extraUnits = nullptr);

}  // namespace tessel
