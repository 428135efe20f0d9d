// The keyword list: spelling, statement code and whether the checker counts the
// keyword for block matching. Defined once; the enum, the spelling table and the
// counted-block flags below are generated from it.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessel {

// X(NAME, code, counter) -- counter is the block counter the keyword bumps, or NONE.
// Listed in keyword-table slot order. VAR, STR and PTR are re-coded by the
// declaration pass, not by keyword recognition.
#define TESSEL_KEYWORDS(X)      \
    X(VAR, 0x21, NONE)          \
    X(STR, 0x20, NONE)          \
    X(PTR, 0x22, NONE)          \
    X(IF, 0x23, IF)             \
    X(ELSE, 0x24, NONE)         \
    X(ENDIF, 0x25, ENDIF)       \
    X(WHILE, 0x26, WHILE)       \
    X(WEND, 0x27, WEND)         \
    X(FOR, 0x28, NONE)          \
    X(TO, 0x29, NONE)           \
    X(STEP, 0x2a, NONE)         \
    X(NEXT, 0x2b, NONE)         \
    X(PRINT, 0x2c, NONE)        \
    X(STRS, 0x2d, NONE)         \
    X(VAL, 0x2e, NONE)          \
    X(LABEL, 0x2f, NONE)        \
    X(GOTO, 0x30, NONE)         \
    X(WCOLOR, 0x33, NONE)       \
    X(FCOLOR, 0x37, NONE)       \
    X(BCOLOR, 0x38, NONE)       \
    X(PSET, 0x31, NONE)         \
    X(CIRCLE, 0x39, NONE)       \
    X(RECT, 0x3a, NONE)         \
    X(LINE, 0x3b, NONE)         \
    X(RND, 0x32, NONE)          \
    X(SIN, 0x34, NONE)          \
    X(COS, 0x35, NONE)          \
    X(TAN, 0x36, NONE)          \
    X(SWAP, 0x3c, NONE)         \
    X(RAND, 0x3d, NONE)         \
    X(ABS, 0x3e, NONE)          \
    X(ATAN, 0x3f, NONE)         \
    X(SQR, 0x40, NONE)          \
    X(LOG, 0x41, NONE)          \
    X(ROUND, 0x42, NONE)        \
    X(INT, 0x43, NONE)          \
    X(FUNC, 0x44, FUNC)         \
    X(ENDFN, 0x45, ENDFN)       \
    X(FRAC, 0x46, NONE)         \
    X(WINMSG, 0x47, WINMSG)     \
    X(ENDWM, 0x48, ENDWM)       \
    X(MOUSEX, 0x49, NONE)       \
    X(MOUSEY, 0x4a, NONE)       \
    X(HWPARAM, 0x4b, NONE)      \
    X(HLPARAM, 0x4c, NONE)      \
    X(GETTICK, 0x4d, NONE)      \
    X(LOADIMG, 0x5b, NONE)      \
    X(SHOWIMG, 0x5c, NONE)      \
    X(SHOWIMGT, 0x5d, NONE)     \
    X(MSTR, 0x64, NONE)         \
    X(LSTR, 0x65, NONE)         \
    X(RSTR, 0x66, NONE)         \
    X(CHRS, 0x67, NONE)         \
    X(TIMERON, 0x68, NONE)      \
    X(TIMEROFF, 0x69, NONE)     \
    X(PLOT, 0x6a, NONE)         \
    X(DRAW, 0x6b, NONE)         \
    X(SETFONT, 0x74, NONE)      \
    X(INPUTBOX, 0x6e, NONE)     \
    X(SETTEXT, 0x6f, NONE)      \
    X(GETTEXT, 0x70, NONE)      \
    X(SETFOCUS, 0x71, NONE)     \
    X(MODE, 0x72, NONE)         \
    X(LEN, 0x73, NONE)

// Statement codes: KW_IF, KW_WHILE, ...
enum : int32_t {
#define X(name, code, counter) KW_##name = code,
    TESSEL_KEYWORDS(X)
#undef X
};

// Every statement code is below this bound (the highest is 0x74).
inline constexpr int32_t kStatementCodeLimit = 128;

// Block counters kept by keyword recognition.
enum BlockCounter : int {
    BC_NONE = -1,
    BC_IF = 0,
    BC_ENDIF,
    BC_WHILE,
    BC_WEND,
    BC_FUNC,
    BC_ENDFN,
    BC_WINMSG,
    BC_ENDWM,
    BC_COUNT
};

struct KeywordInfo {
    std::string_view spelling;  // upper case
    int32_t code;
    BlockCounter counter;
};

inline constexpr KeywordInfo kKeywords[] = {
#define X(name, code, counter) {#name, code, BC_##counter},
    TESSEL_KEYWORDS(X)
#undef X
};

inline constexpr int kKeywordCount = sizeof(kKeywords) / sizeof(kKeywords[0]);
static_assert(kKeywordCount == 64, "the language has 64 keywords");

// The code of a keyword spelled `upper` (already upper-cased), or 0 when it is
// none. VAR, STR and PTR are included; keyword recognition skips them itself.
int32_t keywordCode(std::string_view upper);

// The block counter a statement code bumps, or BC_NONE.
BlockCounter keywordCounter(int32_t code);

// Spelling of a statement code, or "" for a code that is no keyword.
std::string_view keywordSpelling(int32_t code);

// True for a class value that is a statement code of some keyword.
bool isKeywordCode(int32_t code);

}  // namespace tessel
