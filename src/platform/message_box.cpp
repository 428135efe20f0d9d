// Message boxes: the core lays out and paints the box (caption, text, an OK
// button) and runs its modal loop, which keeps dispatching the main window's
// messages, so timer ticks, repaints and clicks go on while a box is open.
// The backend only shows the pixels in its box window and reports the
// person's input there.
#include <algorithm>
#include <cstdio>

#include "base/cp1252.h"
#include "pixels/raster.h"
#include "platform/window_core.h"

namespace tessel {

namespace {

constexpr uint32_t kBoxBackground = 0xFFF0F0F0u;
constexpr uint32_t kButtonFace = 0xFFE1E1E1u;
constexpr uint32_t kButtonBorder = 0xFF0078D7u;
constexpr uint32_t kButtonPressed = 0xFFCCE4F7u;
constexpr uint32_t kTextColour = 0x000000u;
constexpr int kMargin = 20;            // pixels around the text
constexpr int kCaptionGap = 10;   // between the caption inside the box and its text
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 26;
constexpr int kMinWidth = 240;
constexpr int kMaxWidth = 900;         // long lines are cut, not wrapped
constexpr size_t kMaxLines = 30;       // very long texts show their start
constexpr size_t kMaxLineBytes = 200;  // ... and so do very long lines

// Splits the text at CR LF, LF or CR.
std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (lines.size() == kMaxLines) break;
            lines.emplace_back();
        } else if (lines.back().size() < kMaxLineBytes) {
            lines.back() += c;
        }
    }
    return lines;
}

}  // namespace

// A message box on screen: what it shows and where its button is.
struct BoxView {
    std::string caption;             // window title (Windows-1252 bytes)
    std::vector<std::string> lines;  // the text, split at line ends
    int width = 0, height = 0;       // size of the box's pixels
    PixelRect button;                     // the OK button
    bool pressed = false;            // the button is held down
    bool confirmed = false;          // OK was given: the box closes
    std::vector<uint32_t> pixels;    // what the box window shows
};

namespace {

void layoutBox(BoxView& view, const Font* font) {
    int cell = font ? font->cellHeight() : kDefaultFontHeight;
    // The caption stands inside the box too, above a rule: without a window
    // manager there is no title bar to show it.
    int textWidth = font ? font->textWidth(view.caption) : kDefaultFontWidth * static_cast<int>(view.caption.size());
    for (const std::string& line : view.lines)
        textWidth = std::max(textWidth, font ? font->textWidth(line)
                                             : kDefaultFontWidth * static_cast<int>(line.size()));
    view.width = std::clamp(textWidth + 2 * kMargin, kMinWidth, kMaxWidth);
    int textHeight = cell * static_cast<int>(view.lines.size());
    view.height = kMargin + cell + kCaptionGap + textHeight + kMargin + kButtonHeight + 12;
    const int left = (view.width - kButtonWidth) / 2, top = view.height - kButtonHeight - 12;
    view.button = PixelRect{left, top, left + kButtonWidth, top + kButtonHeight};
}

void paintBox(BoxView& view, const Font* font) {
    const int w = view.width, h = view.height;
    view.pixels.assign(static_cast<size_t>(w) * h, kBoxBackground);
    Canvas canvas{view.pixels.data(), w, h};
    const PixelRect& b = view.button;
    fillRect(canvas, b.x0, b.y0, b.x1, b.y1, kButtonBorder);
    fillRect(canvas, b.x0 + 1, b.y0 + 1, b.x1 - 1, b.y1 - 1, view.pressed ? kButtonPressed : kButtonFace);
    if (!font) return;
    const int cell = font->cellHeight();
    font->draw(canvas, kMargin, kMargin, view.caption, kTextColour);
    const int rule = kMargin + cell + kCaptionGap / 2;
    fillRect(canvas, kMargin, rule, int64_t{w} - kMargin, rule + 1, kButtonBorder);
    const int textTop = kMargin + cell + kCaptionGap;
    for (size_t i = 0; i < view.lines.size(); ++i)
        font->draw(canvas, kMargin, textTop + static_cast<int>(i) * cell,
                   view.lines[i], kTextColour);
    font->draw(canvas, b.x0 + (b.x1 - b.x0 - font->textWidth("OK")) / 2,
               b.y0 + (b.y1 - b.y0 - cell) / 2, "OK", kTextColour);
}

}  // namespace

// Boxes nest when a message dispatched by a box's loop shows another box;
// the outer one comes back when the inner is confirmed, also when a window
// procedure throws through the loop.
struct BoxRestore {
    WindowCore& core;
    BoxView* outer;
    ~BoxRestore() {
        core.activeBox_ = outer;
        if (outer)
            core.showBox(*outer);
        else
            core.native_->hideBox();
        // Input the person gave the main window while the box was up is dropped.
        core.pump(0);
        core.dropQueuedInput();
    }
};

void WindowCore::messageBox(std::string_view caption, std::string_view text) {
    // Nobody is there to confirm a box in a headless or scripted run: pass
    // over it, as if OK had been pressed.
    if (!live_ || scripted_.drive()) return writeBoxToStderr(caption, text);
    BoxView view;
    view.caption = caption;
    view.lines = splitLines(text);
    layoutBox(view, editFont());
    if (!showBox(view)) return writeBoxToStderr(caption, text);
    BoxRestore restore{*this, activeBox_};
    activeBox_ = &view;
    runBoxLoop(view);
}

bool WindowCore::showBox(BoxView& view) {
    if (showPending_) showScreen();  // the window shows what the box's script drew
    paintBox(view, editFont());
    return native_->showBox(windows1252ToUtf8(view.caption), PixelView{view.pixels.data(), view.width, view.height});
}

void WindowCore::runBoxLoop(BoxView& view) {
    while (!view.confirmed && !closed_) {
        stopIfSignalled();
        pump(waitTimeout());
        // The main window stays enabled: its messages are dispatched here.
        Message m;
        while (!view.confirmed && takeMessage(m)) dispatchMessage(m);
    }
}

void WindowCore::writeBoxToStderr(std::string_view caption, std::string_view text) {
    std::string line = windows1252ToTerminal(caption) + ": " + windows1252ToTerminal(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

// ---------------------------------------------------------------------------
// The person's input in the box window

void WindowCore::boxButton(int x, int y, bool down) {
    BoxView* view = activeBox_;
    if (!view) return;  // late input of a box already closed
    if (down) {
        if (!view->button.contains(x, y)) return;
        view->pressed = true;
    } else {
        if (!view->pressed) return;
        view->pressed = false;
        view->confirmed = view->button.contains(x, y);
    }
    showBox(*view);
}

void WindowCore::boxKey(uint32_t vk) {
    if (activeBox_ && (vk == VK_RETURN || vk == VK_SPACE || vk == VK_ESCAPE)) activeBox_->confirmed = true;
}

void WindowCore::boxClose() {
    if (activeBox_) activeBox_->confirmed = true;
}

}  // namespace tessel
