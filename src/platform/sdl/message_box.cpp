// Message boxes: a second window, created once and shown again for every box
// (destroying it races SDL's wake-up events), with a caption, the text and an
// OK button. Its modal loop keeps dispatching the main window's messages, so
// timer ticks, repaints and clicks go on while a box is open.
#include <algorithm>

#include "pixels/raster.h"
#include "base/cp1252.h"
#include "platform/sdl/sdl_platform.h"

namespace tessel {

namespace {

constexpr uint32_t kBoxBackground = 0xFFF0F0F0u;
constexpr uint32_t kButtonFace = 0xFFE1E1E1u;
constexpr uint32_t kButtonBorder = 0xFF0078D7u;
constexpr uint32_t kButtonPressed = 0xFFCCE4F7u;
constexpr uint32_t kTextColour = 0x000000u;
constexpr uint32_t kRuleColour = 0xFFA0A0A0u;
constexpr int kCaptionGap = 9;      // pixels between the caption line and the text
constexpr int kMargin = 20;         // pixels around the text
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 26;
constexpr int kMaxWidth = 900;      // long lines are cut, not wrapped
constexpr size_t kMaxLines = 30;    // very long texts show their start
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

void fill(std::vector<uint32_t>& px, int w, const SDL_Rect& r, uint32_t c) {
    int h = static_cast<int>(px.size()) / std::max(w, 1);
    fillRect(Canvas{px.data(), w, h}, r.x, r.y, int64_t{r.x} + r.w, int64_t{r.y} + r.h, c);
}

bool inside(const SDL_Rect& r, int x, int y) {
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}

}  // namespace

bool SdlPlatform::ensureBoxWindow() {
    if (box_) return true;
    box_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 240, 120,
                            SDL_WINDOW_HIDDEN | SDL_WINDOW_SKIP_TASKBAR);
    if (!box_) return false;
    boxId_ = SDL_GetWindowID(box_);
    return true;
}

void SdlPlatform::layoutBox(BoxView& view) {
    const Font* font = editFont();
    int cell = font ? font->cellHeight() : 16;
    // The caption heads the box too: without a window manager there is no
    // title bar to show it.
    int textWidth = font ? font->textWidth(view.caption) + 1 : 8 * static_cast<int>(view.caption.size());
    for (const std::string& line : view.lines)
        textWidth = std::max(textWidth, font ? font->textWidth(line) : 8 * static_cast<int>(line.size()));
    view.width = std::clamp(textWidth + 2 * kMargin, 240, kMaxWidth);
    int textHeight = cell * static_cast<int>(view.lines.size() + 1) + kCaptionGap;
    view.height = kMargin + textHeight + kMargin + kButtonHeight + 12;
    view.button = SDL_Rect{(view.width - kButtonWidth) / 2, view.height - kButtonHeight - 12,
                           kButtonWidth, kButtonHeight};
}

void SdlPlatform::drawBox(const BoxView& view) {
    SDL_Surface* target = SDL_GetWindowSurface(box_);
    if (!target) return;
    int w = target->w, h = target->h;
    std::vector<uint32_t> px(static_cast<size_t>(w) * h, kBoxBackground);
    const Font* font = editFont();
    int cell = font ? font->cellHeight() : 16;
    SDL_Rect border = view.button;
    fill(px, w, border, kButtonBorder);
    SDL_Rect face{border.x + 1, border.y + 1, border.w - 2, border.h - 2};
    fill(px, w, face, view.pressed ? kButtonPressed : kButtonFace);
    fill(px, w, SDL_Rect{kMargin, kMargin + cell + kCaptionGap / 2, w - 2 * kMargin, 1}, kRuleColour);
    if (font) {
        // The caption in bold: drawn twice, one pixel apart.
        font->draw(px.data(), w, h, kMargin, kMargin, view.caption, kTextColour);
        font->draw(px.data(), w, h, kMargin + 1, kMargin, view.caption, kTextColour);
        int top = kMargin + cell + kCaptionGap;
        for (size_t i = 0; i < view.lines.size(); ++i)
            font->draw(px.data(), w, h, kMargin, top + static_cast<int>(i) * cell, view.lines[i],
                       kTextColour);
        int okWidth = font->textWidth("OK");
        font->draw(px.data(), w, h, border.x + (border.w - okWidth) / 2,
                   border.y + (border.h - cell) / 2, "OK", kTextColour);
    }
    SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_ARGB8888, px.data(), w * 4, target->format->format,
                      target->pixels, target->pitch);
    SDL_UpdateWindowSurface(box_);
}

void SdlPlatform::showBox(BoxView& view) {
    SDL_SetWindowTitle(box_, windows1252ToUtf8(view.caption).c_str());
    SDL_SetWindowSize(box_, view.width, view.height);
    SDL_SetWindowPosition(box_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    SDL_ShowWindow(box_);
    SDL_SetWindowModalFor(box_, window_);
    SDL_RaiseWindow(box_);
    SDL_SetWindowInputFocus(box_);
    drawBox(view);
}

void SdlPlatform::hideBox() {
    SDL_HideWindow(box_);
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
}

void SdlPlatform::translateBoxEvent(const SDL_Event& e) {
    BoxView* view = activeBox_;
    if (!view) return;  // late events of a box already closed
    switch (e.type) {
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) view->confirmed = true;
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) drawBox(*view);
            break;
        case SDL_KEYDOWN: {
            SDL_Keycode k = e.key.keysym.sym;
            if (k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_SPACE || k == SDLK_ESCAPE)
                view->confirmed = true;
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button == SDL_BUTTON_LEFT && inside(view->button, e.button.x, e.button.y)) {
                view->pressed = true;
                drawBox(*view);
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button == SDL_BUTTON_LEFT && view->pressed) {
                view->pressed = false;
                view->confirmed = inside(view->button, e.button.x, e.button.y);
                drawBox(*view);
            }
            break;
        default: break;
    }
}

void SdlPlatform::runBoxLoop(BoxView& view) {
    while (!view.confirmed && !closed()) {
        pump(waitTimeout());
        // The main window stays enabled: its messages are dispatched here.
        Message m;
        while (!view.confirmed && takeMessage(m)) dispatchMessage(m);
    }
}

void SdlPlatform::messageBox(std::string_view caption, std::string_view text) {
    if (scripted_ || !ensureBoxWindow()) {
        // No box can be shown, or nobody is there to confirm it: pass over
        // it, as if OK had been pressed. (The host has written it to
        // stderr already, as it does for every box of a window run.)
        return;
    }
    BoxView view;
    view.caption = caption;
    view.lines = splitLines(text);
    layoutBox(view);
    // Boxes nest when a message dispatched by this loop shows another box;
    // the outer one comes back when the inner is confirmed, also when a
    // window procedure throws through here.
    struct Restore {
        SdlPlatform& p;
        BoxView* outer;
        ~Restore() {
            p.activeBox_ = outer;
            if (outer)
                p.showBox(*outer);
            else
                p.hideBox();
            // Input the person gave the main window while the box was up is dropped.
            SDL_PumpEvents();
            SDL_FlushEvents(SDL_KEYDOWN, SDL_MOUSEWHEEL);
            p.dropQueuedInput();
        }
    } restore{*this, activeBox_};
    activeBox_ = &view;
    showBox(view);
    runBoxLoop(view);
}

}  // namespace tessel
