// FreeType fonts sized to a character cell, with a glyph cache. Built into
// the font module (libtessel_font.so), not the executable.
#include "font/font_module.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_ADVANCES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "base/cp1252.h"
#include "pixels/coverage_blend.h"
#include "font/module/font_match.h"

namespace tessel {

namespace {

// Cell sizes beyond this are clamped: larger text would not fit the window
// and its glyphs would cost more memory than they are worth.
constexpr int64_t kMaxCellPixels = 2048;
// The cell height a height of 0 ("any size") gets.
constexpr int64_t kDefaultCellPixels = 16;
// Glyph bitmaps kept per font; the cache starts afresh beyond this.
constexpr size_t kGlyphCacheBytes = 16u << 20;

// One rendered character: its coverage bitmap and where it sits.
struct Glyph {
    bool ready = false;            // rendered (the entry is valid)
    int left = 0;                  // bitmap offset from the pen position
    int top = 0;                   // bitmap top, pixels above the baseline
    int width = 0;                 // bitmap size
    int rows = 0;
    // width x rows, 0 transparent .. 255 solid, each spread as blendCoverage
    // reads it
    std::vector<uint32_t> coverage;
    // Per row, the columns from the first to past the last covered pixel
    // (equal when the row has none): drawing passes over the rest.
    std::vector<int32_t> inkFirst, inkEnd;
};

// Finds each row's covered columns.
void findInk(Glyph& g) {
    g.inkFirst.assign(size_t(g.rows), 0);
    g.inkEnd.assign(size_t(g.rows), 0);
    for (int row = 0; row < g.rows; ++row) {
        const uint32_t* cov = g.coverage.data() + size_t(row) * size_t(g.width);
        int first = 0, end = g.width;
        while (first < end && cov[first] == 0) ++first;
        while (end > first && cov[end - 1] == 0) --end;
        g.inkFirst[size_t(row)] = first;
        g.inkEnd[size_t(row)] = end;
    }
}

// Vertical metrics in font units: the font's own Windows ascent and descent,
// or its general ones when it has none.
void windowsMetrics(FT_Face face, double& ascent, double& descent) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    } else {
        ascent = face->ascender;
        descent = -face->descender;
    }
    if (ascent + descent <= 0) {
        ascent = face->units_per_EM * 0.8;
        descent = face->units_per_EM * 0.2;
    }
}

// Advance of '0' in font units: the width a character cell is sized by.
double zeroAdvance(FT_Face face) {
    FT_Fixed adv = 0;
    FT_UInt index = FT_Get_Char_Index(face, '0');
    if (index && FT_Get_Advance(face, index, FT_LOAD_NO_SCALE, &adv) == 0 && adv > 0)
        return static_cast<double>(adv);
    return face->units_per_EM / 2.0;
}

int64_t clampCell(int64_t v) { return std::clamp<int64_t>(v, 1, kMaxCellPixels); }

std::array<int16_t, 256> filledAdvances() {
    std::array<int16_t, 256> a;
    a.fill(-1);
    return a;
}

class FreeTypeFont final : public Font {
   public:
    ~FreeTypeFont() override {
        if (face_) FT_Done_Face(face_);
        if (library_) FT_Done_FreeType(library_);
    }

    // Loads the face and sizes it; false when the file is not a usable
    // scalable font.
    bool load(const FontFile& file, int height, int width) {
        if (FT_Init_FreeType(&library_) != 0) return false;
        FT_Error opened =
            file.data.empty()
                ? FT_New_Face(library_, file.path.c_str(), file.index, &face_)
                : FT_New_Memory_Face(library_, reinterpret_cast<const FT_Byte*>(file.data.data()),
                                     static_cast<FT_Long>(file.data.size()), file.index, &face_);
        if (opened != 0) return false;
        if (!FT_IS_SCALABLE(face_) || face_->units_per_EM == 0) return false;
        embolden_ = file.embolden;
        return setCellSize(height, width);
    }

    int cellHeight() const override { return cellHeight_; }
    int ascent() const override { return ascent_; }

    int textWidth(std::string_view bytes) const override {
        int64_t total = 0;
        for (unsigned char c : bytes) {
            total += advance(c);
            if (total >= INT_MAX) return INT_MAX;
        }
        return static_cast<int>(total);
    }

    void draw(Canvas target, int x, int y, std::string_view bytes, uint32_t rgb) const override {
        int64_t penX = x, baseline = int64_t(y) + ascent_;
        // Ink stays in the cell's rows: what a glyph's outline passes them by
        // (a fraction of a pixel from rounding, or a face taller than its own
        // metrics) is left out, so lines a cell apart never touch.
        RowRange rows{std::max<int64_t>(y, 0), std::min<int64_t>(int64_t(y) + cellHeight_, target.height)};
        if (rows.first >= rows.last) return;
        // A glyph's ink lies within a few cells of its pen position: those
        // far left of the buffer are passed over by their advances alone,
        // without rendering them.
        const int64_t reach = 4 * int64_t(cellHeight_) + 4 * kMaxCellPixels;
        for (unsigned char c : bytes) {
            if (penX >= target.width) break;  // advances never go back
            if (penX + reach > 0) {
                const Glyph& g = glyph(c);
                if (penX + g.left + g.width > 0)
                    blend(target, rows, penX + g.left, baseline - g.top, g, rgb);
            }
            penX += advance(c);
        }
    }

   private:
    // Sizes the face so that a positive height is ascent + descent (the
    // cell), a negative one the em; width is the advance of '0'.
    bool setCellSize(int height, int width) {
        double ascent = 0, descent = 0, upem = face_->units_per_EM;
        windowsMetrics(face_, ascent, descent);
        int64_t cell = height == 0 ? kDefaultCellPixels : clampCell(std::llabs(int64_t(height)));
        double ppemY = height >= 0 ? cell * upem / (ascent + descent) : double(cell);
        double ppemX =
            width == 0 ? ppemY : clampCell(std::llabs(int64_t(width))) * upem / zeroAdvance(face_);
        ppemX = std::clamp(ppemX, 1.0, double(kMaxCellPixels) * 4);
        ppemY = std::clamp(ppemY, 1.0, double(kMaxCellPixels) * 4);
        if (FT_Set_Char_Size(face_, std::lround(ppemX * 64), std::lround(ppemY * 64), 72, 72) != 0)
            return false;
        // The baseline lies exactly where the Windows ascent puts it (12.76
        // px below the top of a 16-pixel cell in the stand-in face): glyphs
        // are rendered unhinted and shifted up by the fraction the integer
        // baseline lies below that, so ink that stays within the ascent and
        // descent stays within the cell's rows.
        double exactAscent = ascent * ppemY / upem;
        ascent_ = static_cast<int>(std::ceil(exactAscent));
        raise_ = std::lround((ascent_ - exactAscent) * 64);
        int descentPx = static_cast<int>(std::lround(descent * ppemY / upem));
        cellHeight_ = height >= 0 ? static_cast<int>(cell) : ascent_ + descentPx;
        return true;
    }

    // Pen movement after character c, from the font's metrics alone: a width
    // never renders a glyph. (Emboldening keeps the regular advance.)
    int advance(unsigned char c) const {
        int16_t& a = advances_[c];
        if (a < 0) {
            FT_Fixed adv = 0;
            FT_UInt index = FT_Get_Char_Index(face_, cp1252CodePoint(c));
            if (FT_Get_Advance(face_, index, FT_LOAD_NO_HINTING, &adv) != 0) adv = 0;
            a = static_cast<int16_t>(std::clamp<FT_Fixed>((adv + 0x8000) >> 16, 0, INT16_MAX));
        }
        return a;
    }

    const Glyph& glyph(unsigned char c) const {
        Glyph& g = glyphs_[c];
        if (!g.ready) render(c, g);
        return g;
    }

    // Renders one Windows-1252 character anti-aliased; a character the font
    // lacks shows as the font's missing-glyph shape.
    void render(unsigned char c, Glyph& g) const {
        g = Glyph{};
        g.ready = true;
        FT_UInt index = FT_Get_Char_Index(face_, cp1252CodePoint(c));
        if (FT_Load_Glyph(face_, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return;
        FT_GlyphSlot slot = face_->glyph;
        if (embolden_) FT_GlyphSlot_Embolden(slot);
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) FT_Outline_Translate(&slot->outline, 0, raise_);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return;
        size_t bytes = (size_t(bm.width) + 2) * bm.rows * sizeof(uint32_t);
        if (cachedBytes_ + bytes > kGlyphCacheBytes) forgetGlyphsBut(c);
        cachedBytes_ += bytes;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int>(bm.width);
        g.rows = static_cast<int>(bm.rows);
        g.coverage.resize(size_t(bm.width) * bm.rows);
        for (unsigned row = 0; row < bm.rows; ++row)
            for (unsigned col = 0; col < bm.width; ++col)
                g.coverage[size_t(row) * bm.width + col] =
                    spreadCoverage(bm.buffer[ptrdiff_t(row) * bm.pitch + col]);
        findInk(g);
    }

    void forgetGlyphsBut(unsigned char keep) const {
        for (size_t i = 0; i < glyphs_.size(); ++i)
            if (i != keep) glyphs_[i] = Glyph{};
        cachedBytes_ = 0;
    }

    // Rows of the buffer text may draw into: first <= y < last.
    struct RowRange {
        int64_t first, last;
    };

    // Mixes the text colour into the buffer by the glyph's coverage, row by
    // row over the covered columns.
    static void blend(Canvas target, RowRange rows, int64_t gx, int64_t gy, const Glyph& g, uint32_t rgb) {
        int64_t x0 = std::max<int64_t>(0, -gx), x1 = std::min<int64_t>(g.width, target.width - gx);
        int64_t y0 = std::max<int64_t>(0, rows.first - gy), y1 = std::min<int64_t>(g.rows, rows.last - gy);
        for (int64_t row = y0; row < y1; ++row) {
            int64_t first = std::max<int64_t>(x0, g.inkFirst[size_t(row)]);
            int64_t end = std::min<int64_t>(x1, g.inkEnd[size_t(row)]);
            if (first >= end) continue;
            blendCoverage(target.pixels + (gy + row) * target.width + gx + first,
                          g.coverage.data() + row * g.width + first, end - first, rgb);
        }
    }

    FT_Library library_ = nullptr;  // one library per font: fonts share nothing
    FT_Face face_ = nullptr;
    bool embolden_ = false;         // synthesise bold: the face has no bold of its own
    int ascent_ = 0;                // integer baseline below the cell's top, pixels
    FT_Pos raise_ = 0;              // 26.6 units glyphs are lifted above it
    int cellHeight_ = 0;            // ascent + descent, pixels
    mutable std::array<Glyph, 256> glyphs_;  // by byte, rendered on first use
    mutable std::array<int16_t, 256> advances_ = filledAdvances();  // by byte; -1: not read yet
    mutable size_t cachedBytes_ = 0;         // coverage bytes held by glyphs_
};

// Opens one matched file; null when FreeType cannot use it.
std::unique_ptr<Font> openFile(const FontFile& file, int height, int width) {
    auto font = std::make_unique<FreeTypeFont>();
    if (!font->load(file, height, width)) return nullptr;
    return font;
}

}  // namespace

std::unique_ptr<Font> openFreeTypeFont(std::string_view face, int height, int width, int weight) {
    FontFile file;
    if (findFontFile(face, weight, file))
        if (auto font = openFile(file, height, width)) return font;
    if (findFontFile(kStandInFace, weight, file))
        if (auto font = openFile(file, height, width)) return font;
    return nullptr;
}

}  // namespace tessel
