// The keyword list: spelling, statement code and whether the checker counts the
// keyword for block matching. Defined once; the enum, the spelling table and the
// counted-block flags below are generated from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessel {

// X(NAME, code, counter, role) -- counter is the block counter the keyword
// bumps, or NONE; role says what the keyword is to the compiler (see
// KeywordRole): this column is the one list of statements. Listed in keyword-table slot order. VAR, STR
// and PTR are re-coded by the declaration pass, not by keyword recognition.
#define TESSEL_KEYWORDS(X)      \
    X(VAR, 0x21, NONE, DECL)          \
    X(STR, 0x20, NONE, DECL)          \
    X(PTR, 0x22, NONE, DECL)          \
    X(IF, 0x23, IF, STMT)             \
    X(ELSE, 0x24, NONE, STMT)         \
    X(ENDIF, 0x25, ENDIF, PASSIVE)       \
    X(WHILE, 0x26, WHILE, STMT)       \
    X(WEND, 0x27, WEND, STMT)         \
    X(FOR, 0x28, NONE, PASSIVE)          \
    X(TO, 0x29, NONE, PASSIVE)           \
    X(STEP, 0x2a, NONE, PASSIVE)         \
    X(NEXT, 0x2b, NONE, PASSIVE)         \
    X(PRINT, 0x2c, NONE, STMT)        \
    X(STRS, 0x2d, NONE, STRFN)         \
    X(VAL, 0x2e, NONE, NUMFN)          \
    X(LABEL, 0x2f, NONE, PASSIVE)        \
    X(GOTO, 0x30, NONE, STMT)         \
    X(WCOLOR, 0x33, NONE, STMT)       \
    X(FCOLOR, 0x37, NONE, STMT)       \
    X(BCOLOR, 0x38, NONE, STMT)       \
    X(PSET, 0x31, NONE, STMT)         \
    X(CIRCLE, 0x39, NONE, STMT)       \
    X(RECT, 0x3a, NONE, STMT)         \
    X(LINE, 0x3b, NONE, STMT)         \
    X(RND, 0x32, NONE, NUMFN)          \
    X(SIN, 0x34, NONE, NUMFN)          \
    X(COS, 0x35, NONE, NUMFN)          \
    X(TAN, 0x36, NONE, NUMFN)          \
    X(SWAP, 0x3c, NONE, STMT)         \
    X(RAND, 0x3d, NONE, NUMFN)         \
    X(ABS, 0x3e, NONE, NUMFN)          \
    X(ATAN, 0x3f, NONE, NUMFN)         \
    X(SQR, 0x40, NONE, NUMFN)          \
    X(LOG, 0x41, NONE, NUMFN)          \
    X(ROUND, 0x42, NONE, NUMFN)        \
    X(INT, 0x43, NONE, NUMFN)          \
    X(FUNC, 0x44, FUNC, STMT)         \
    X(ENDFN, 0x45, ENDFN, STMT)       \
    X(FRAC, 0x46, NONE, NUMFN)         \
    X(WINMSG, 0x47, WINMSG, STMT)     \
    X(ENDWM, 0x48, ENDWM, STMT)       \
    X(MOUSEX, 0x49, NONE, STMT)       \
    X(MOUSEY, 0x4a, NONE, STMT)       \
    X(HWPARAM, 0x4b, NONE, STMT)      \
    X(HLPARAM, 0x4c, NONE, STMT)      \
    X(GETTICK, 0x4d, NONE, STMT)      \
    X(LOADIMG, 0x5b, NONE, STMT)      \
    X(SHOWIMG, 0x5c, NONE, STMT)      \
    X(SHOWIMGT, 0x5d, NONE, STMT)     \
    X(MSTR, 0x64, NONE, STRFN)         \
    X(LSTR, 0x65, NONE, STRFN)         \
    X(RSTR, 0x66, NONE, STRFN)         \
    X(CHRS, 0x67, NONE, STRFN)         \
    X(TIMERON, 0x68, NONE, STMT)      \
    X(TIMEROFF, 0x69, NONE, STMT)     \
    X(PLOT, 0x6a, NONE, STMT)         \
    X(DRAW, 0x6b, NONE, STMT)         \
    X(SETFONT, 0x74, NONE, STMT)      \
    X(INPUTBOX, 0x6e, NONE, STMT)     \
    X(SETTEXT, 0x6f, NONE, STMT)      \
    X(GETTEXT, 0x70, NONE, STMT)      \
    X(SETFOCUS, 0x71, NONE, STMT)     \
    X(MODE, 0x72, NONE, STMT)         \
    X(LEN, 0x73, NONE, NUMFN)

// Statement codes: KW_IF, KW_WHILE, ...
enum : int32_t {
#define X(name, code, counter, role) KW_##name = code,
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

// What a keyword is to the run.
enum class KeywordRole : uint8_t {
    DECL,     // VAR, STR, PTR: a declaration, passed over by the run
    STMT,     // starts a statement: the compiler reads it with readNAME
    NUMFN,    // a numeric function (a factor of numeric expressions)
    STRFN,    // a string function (a factor of string expressions)
    PASSIVE,  // starts nothing: at a statement's start the run services messages
};

struct KeywordInfo {
    std::string_view spelling;  // upper case
    int32_t code;
    BlockCounter counter;
    KeywordRole role;
};

inline constexpr KeywordInfo kKeywords[] = {
#define X(name, code, counter, role) {#name, code, BC_##counter, KeywordRole::role},
    TESSEL_KEYWORDS(X)
#undef X
};

inline constexpr int kKeywordCount = sizeof(kKeywords) / sizeof(kKeywords[0]);
static_assert(kKeywordCount == 64, "the language has 64 keywords");

// The code of a keyword spelled `upper` (already upper-cased), or 0 when it is
// none. VAR, STR and PTR are included; keyword recognition skips them itself.
int32_t keywordCode(std::string_view upper);
// The same for a name in any case (ASCII letters folded).
int32_t keywordCodeAnyCase(std::string_view name);

// The upper-case spelling of the keyword whose statement code is `code`
// ("" for none).
std::string_view keywordText(int32_t code);

// The block counter a statement code bumps, or BC_NONE.
BlockCounter keywordCounter(int32_t code);

// The role of the keyword whose statement code is `code`, or nothing for a
// class value that is no statement code. (Values 32 to 34 are the codes of
// STR, VAR and PTR as well as the lexical classes of "^", "`" and "~".)
std::optional<KeywordRole> keywordRole(int32_t code);

inline bool isNumericFunction(int32_t code) { return keywordRole(code) == KeywordRole::NUMFN; }
inline bool isStringFunction(int32_t code) { return keywordRole(code) == KeywordRole::STRFN; }

// True for the statement codes of VAR, STR and PTR. Their values are also the
// lexical classes of "^", "`" and "~", so a class test for a declaring
// keyword matches those tokens too: at a statement's start they are passed
// over like a declaration, as the language has always done.
inline bool isDeclaringClass(int32_t cls) { return cls == KW_VAR || cls == KW_STR || cls == KW_PTR; }

}  // namespace tessel
