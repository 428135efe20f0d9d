// A single-line edit control as the person sees it: its rectangle, text,
// caret and scroll position, its key handling and its drawing over a frame.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pixels/raster.h"

namespace tessel {

class Font;

// Virtual-key codes the edit control and the dialog keys act on.
inline constexpr uint32_t VK_BACK = 8;
inline constexpr uint32_t VK_TAB = 9;
inline constexpr uint32_t VK_RETURN = 13;
inline constexpr uint32_t VK_ESCAPE = 27;
inline constexpr uint32_t VK_SPACE = 32;
inline constexpr uint32_t VK_END = 35;
inline constexpr uint32_t VK_HOME = 36;
inline constexpr uint32_t VK_LEFT = 37;
inline constexpr uint32_t VK_RIGHT = 39;
inline constexpr uint32_t VK_DELETE = 46;

// The width of a character cell of the controls' font (a null font: the
// default face's).
int editCellWidth(const Font* font);

struct EditModel {
    int x = 0, y = 0, width = 0, height = 0;  // rectangle in client coordinates
    std::string text;                         // bytes, shown as Windows-1252
    size_t caret = 0;                         // byte index the next character goes before
    size_t scroll = 0;                        // first byte shown (long texts scroll)
    bool visible = true;                      // hidden controls are not drawn and take no clicks

    bool contains(int px, int py) const;
    // Replaces the whole text; the caret goes to its start, as a new text does.
    void setText(std::string_view t);
    // Caret movement and deletion keys; false for keys the control ignores.
    bool handleKey(uint32_t vk);
    // Inserts typed bytes at the caret; control characters are dropped.
    void insert(std::string_view bytes);
    // Puts the caret at the character nearest to client x (cells of `cellWidth` pixels).
    void placeCaret(int px, int cellWidth);
    // Scrolls the text so the caret lies in the field (cells of `cellWidth`).
    void keepCaretVisible(int cellWidth);
    // Every pixel draw() can touch, whatever the text, caret, focus and
    // visibility: the rectangle, and the text row where a low field lets it
    // stand out.
    PixelRect bounds(const Font* font) const;
    // Draws the control (white field, border, text, caret when focused) into
    // a buffer whose top-left pixel is client pixel (originX, originY). A
    // null font draws no text.
    void draw(Canvas canvas, const Font* font, bool focused, int originX = 0, int originY = 0);
};

}  // namespace tessel
