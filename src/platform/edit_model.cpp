#include "platform/edit_model.h"

#include <algorithm>

#include "font/font.h"
#include "pixels/raster.h"

namespace tessel {

int editCellWidth(const Font* font) { return font ? font->textWidth("0") : kDefaultFontWidth; }

namespace {

constexpr uint32_t kFieldColour = 0xFFFFFFFFu;
constexpr uint32_t kBorderColour = 0xFF7A7A7Au;
constexpr uint32_t kTextColour = 0x000000u;
constexpr uint32_t kCaretColour = 0xFF000000u;
constexpr int kPadding = 2;  // pixels between the border and the text

}  // namespace

bool EditModel::contains(int px, int py) const {
    return visible && px >= x && py >= y && px < x + width && py < y + height;
}

void EditModel::setText(std::string_view t) {
    text = t;
    caret = 0;
    scroll = 0;
}

bool EditModel::handleKey(uint32_t vk) {
    switch (vk) {
        case VK_LEFT: caret = caret > 0 ? caret - 1 : 0; return true;
        case VK_RIGHT: caret = std::min(caret + 1, text.size()); return true;
        case VK_HOME: caret = 0; return true;
        case VK_END: caret = text.size(); return true;
        case VK_BACK:
            if (caret > 0) text.erase(--caret, 1);
            return true;
        case VK_DELETE:
            if (caret < text.size()) text.erase(caret, 1);
            return true;
        default: return false;
    }
}

void EditModel::insert(std::string_view bytes) {
    for (char c : bytes) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) continue;
        text.insert(text.begin() + static_cast<std::ptrdiff_t>(caret), c);
        ++caret;
    }
}

void EditModel::placeCaret(int px, int cellWidth) {
    if (cellWidth <= 0) cellWidth = 8;
    int offset = px - (x + kPadding) + cellWidth / 2;
    size_t cells = offset > 0 ? static_cast<size_t>(offset / cellWidth) : 0;
    caret = std::min(scroll + cells, text.size());
}

void EditModel::keepCaretVisible(int cellWidth) {
    if (cellWidth <= 0) return;
    size_t fit = static_cast<size_t>(std::max(1, (width - 2 * kPadding) / cellWidth));
    scroll = std::min(scroll, text.size());
    if (caret < scroll) scroll = caret;
    if (caret > scroll + fit) scroll = caret - fit;
}

namespace {

int cellHeightOf(const Font* font) { return font ? font->cellHeight() : 16; }
// The top of the text row: centred in the field, at least one pixel down.
int textTop(int y, int height, int cellHeight) { return y + std::max(1, (height - cellHeight) / 2); }

}  // namespace

PixelRect EditModel::bounds(const Font* font) const {
    if (width <= 0 || height <= 0) return PixelRect{};
    int cellWidth = editCellWidth(font), cellHeight = cellHeightOf(font);
    int ty = textTop(y, height, cellHeight);
    // A cell's width of slack on either side covers ink beyond a glyph's advance.
    return PixelRect{x - cellWidth, std::min(y, ty), x + width + cellWidth,
                     std::max(y + height, ty + cellHeight)};
}

void EditModel::draw(Canvas canvas, const Font* font, bool focused, int originX, int originY) {
    if (!visible || width <= 0 || height <= 0) return;
    // Coordinates are clamped to +-2^20 when the control is made: no sum here overflows.
    const int left = x - originX, top = y - originY;
    fillRect(canvas, left, top, left + width, top + height, kBorderColour);
    fillRect(canvas, left + 1, top + 1, left + width - 1, top + height - 1, kFieldColour);
    int cellWidth = editCellWidth(font);
    keepCaretVisible(cellWidth);
    int cellHeight = cellHeightOf(font);
    int ty = textTop(top, height, cellHeight);
    if (font) {
        // Clip the text to the field: draw into the buffer only the characters that fit.
        size_t fit = static_cast<size_t>(std::max(0, (width - 2 * kPadding) / std::max(1, cellWidth)));
        std::string_view shown = std::string_view(text).substr(std::min(scroll, text.size()), fit);
        font->draw(canvas, left + kPadding, ty, shown, kTextColour);
    }
    if (focused) {
        int cx = left + kPadding + static_cast<int>(caret - scroll) * cellWidth;
        if (cx < left + width - 1) fillRect(canvas, cx, ty, cx + 1, ty + cellHeight, kCaretColour);
    }
}

}  // namespace tessel
