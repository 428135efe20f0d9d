// The lint's rules on drawing: colour arguments, image loading, the mouse
// position and presenting what was drawn.
#include <array>
#include <cstdio>
#include <cstring>

#include "base/convert.h"
#include "lint/lint_context.h"

namespace tessel {

namespace {

bool isColourStatement(int32_t code) {
    return code == KW_WCOLOR || code == KW_FCOLOR || code == KW_BCOLOR;
}

// Whether a colour component token gives a value: a number literal or a
// number variable. Anything else leaves the component at its last value.
bool givesComponent(const LintContext& ctx, int32_t i) {
    return ctx.cls(i) == CLS_NUM || ctx.scalarType(i) == TYPE_NUM;
}

// The components a colour statement really reads: the tokens one, three
// and five after its keyword.
std::string componentsRead(const LintContext& ctx, const Statement& st) {
    std::string out = "(";
    for (int k = 0; k < 3; ++k) {
        int32_t i = st.first + 1 + 2 * k;
        if (k > 0) out += ", ";
        out += i < st.end && givesComponent(ctx, i) ? ctx.text(i) : "its last value";
    }
    return out + ")";
}

bool hasSingleTokenShape(const LintContext& ctx, const Statement& st) {
    if (st.size() != 6 || ctx.cls(st.first + 2) != CLS_COMMA || ctx.cls(st.first + 4) != CLS_COMMA)
        return false;
    for (int k = 0; k < 3; ++k)
        if (!givesComponent(ctx, st.first + 1 + 2 * k)) return false;
    return true;
}

// Components are packed as red + 256 * green + 65536 * blue: one above 255
// spills into its neighbour.
void lintComponentRange(LintContext& ctx, const Statement& st) {
    static const char* const kSpill[3] = {"spills into green", "spills into blue",
                                          "spills out of the colour"};
    for (int k = 0; k < 3; ++k) {
        int32_t i = st.first + 1 + 2 * k;
        if (ctx.cls(i) != CLS_NUM || toInt32(textToNumber(ctx.text(i))) <= 255) continue;
        ctx.warn(
            i, "colour-range",
            ctx.text(i) + " is outside 0..255: it " + kSpill[k] + "; write a value from 0 to 255");
    }
}

}  // namespace

void lintColours(LintContext& ctx) {
    for (const Statement& st : ctx.statements) {
        int32_t code = ctx.cls(st.first);
        // (Fewer than three places: lintMissingArguments names the reading
        // that runs on past the statement.)
        if (!isColourStatement(code) || st.size() < 6) continue;
        if (hasSingleTokenShape(ctx, st)) {
            lintComponentRange(ctx, st);
            continue;
        }
        std::string keyword = ctx.text(st.first);
        ctx.warn(st.first + 1, "colour-argument",
                 keyword + " reads three single tokens, each a number or a number variable: " +
                     ctx.spelling(st.first, st.end - 1) + " sets the colour " +
                     componentsRead(ctx, st) +
                     "; work each component out into a VAR variable first");
    }
}

// What is wrong with the image file a LOADIMG names as a literal, read from
// the working folder as the run reads it, or from `folder` when one is given
// ("" when it is a BMP or PNG file).
std::string imageFileProblem(const std::string& path, const std::string& folder) {
    const std::string where = folder.empty() || path.empty() || path[0] == '/' ? path : folder + "/" + path;
    std::FILE* f = path.empty() ? nullptr : std::fopen(where.c_str(), "rb");
    if (!f && !folder.empty())
        return "there is no file " + path + " in the script's folder, where a run started there looks for it";
    if (!f) return "there is no file " + path + " in the working folder, where the run looks for it";
    unsigned char head[8] = {};
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if ((n >= 2 && head[0] == 'B' && head[1] == 'M') || (n == 8 && std::memcmp(head, kPng, 8) == 0)) return {};
    return path + " is neither a BMP nor a PNG file (LOADIMG reads only those, by their first bytes)";
}

// LOADIMG h, file, type, width, height, flags loads a bitmap file only with
// type 0 and the load-from-file flag 16, from a BMP or PNG file that is
// there; otherwise the handle is 0.
void lintImages(LintContext& ctx) {
    for (const Statement& st : ctx.statements) {
        if (ctx.cls(st.first) != KW_LOADIMG) continue;
        const int32_t file = st.first + 3;
        if (ctx.cls(file) == CLS_QSTR) {
            const std::string problem = imageFileProblem(ctx.text(file), ctx.folder);
            if (!problem.empty())
                ctx.warn(file, "loadimg-file",
                         "LOADIMG loads nothing: " + problem +
                             "; the handle becomes 0 and SHOWIMG draws nothing; run tessel from the "
                             "image's folder or name the file from there");
        }
        int32_t type = st.first + 5, flags = st.first + 11;
        if (ctx.cls(type) == CLS_NUM && toInt32(textToNumber(ctx.text(type))) != 0)
            ctx.warn(type, "loadimg-args",
                     "LOADIMG loads nothing with type " + ctx.text(type) +
                         ": the handle becomes 0 without a word; an image file loads with type 0");
        if (ctx.cls(flags) == CLS_NUM && (toInt32(textToNumber(ctx.text(flags))) & 16) == 0)
            ctx.warn(flags, "loadimg-args",
                     "LOADIMG loads nothing without 16 (load from a file) in its flags: the handle "
                     "becomes 0 without a word; write 16");
    }
}

// Only a WMMOUSEMOVE block records the mouse position MOUSEX and MOUSEY read.
void lintMouse(LintContext& ctx) {
    if (ctx.symbols.slots[SLOT_MOUSEMOVE] != 0) return;
    for (const Statement& st : ctx.statements) {
        int32_t code = ctx.cls(st.first);
        if (code != KW_MOUSEX && code != KW_MOUSEY) continue;
        ctx.warn(st.first, "mouse-without-move",
                 ctx.text(st.first) +
                     " always reads 0 here: only a WINMSG WMMOUSEMOVE block records the mouse "
                     "position, and the script has none; read MOUSEX and MOUSEY in such a block");
    }
}

// Drawing goes to the back buffer; the window shows it after SWAP, or on
// every repaint in display mode 1.
void lintPresenting(LintContext& ctx) {
    static constexpr std::array<int32_t, 8> kDrawing = {
        KW_PRINT, KW_PSET, KW_DRAW, KW_LINE, KW_RECT, KW_CIRCLE, KW_SHOWIMG, KW_SHOWIMGT};
    int32_t firstDrawing = 0;
    for (const Statement& st : ctx.statements) {
        int32_t code = ctx.cls(st.first);
        if (code == KW_SWAP) return;
        if (code == KW_MODE &&
            !(ctx.cls(st.first + 1) == CLS_NUM && textToNumber(ctx.text(st.first + 1)) == 0))
            return;
        for (int32_t d : kDrawing)
            if (code == d && firstDrawing == 0) firstDrawing = st.first;
    }
    if (firstDrawing == 0) return;
    ctx.warn(firstDrawing, "never-shown",
             "the script draws but never shows it: drawing goes to a back buffer that only SWAP "
             "(or MODE 1) brings to the window, so the window stays empty; add SWAP after drawing");
}

}  // namespace tessel
