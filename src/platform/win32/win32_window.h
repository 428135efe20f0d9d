// The Windows backend: the main window and the message box window as plain
// Win32 windows, frames shown from a DIB section, native input read from the
// thread's message queue. Keys arrive as the virtual-key codes scripts read
// already; typed text arrives as WM_CHAR.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/native.h"

namespace tessel {

// Opens the backend, with its main window created hidden (open() shows
// it). Null, with the reason in `error`, when no window can be created (no
// display, as under wine without X).
std::unique_ptr<NativeWindow> makeWin32Window(std::string* error);

// A window's pixels: a top-down 32-bit DIB section, whose bytes (B, G, R, x)
// are the frame's 0x00RRGGBB words as they lie in memory.
class Dib {
   public:
    Dib() = default;
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    ~Dib() { release(); }

    // Copies the pixels in, resizing first when the size changed.
    bool assign(PixelView from);
    // Draws the pixels at the client area's top-left corner.
    void blit(HDC dc) const;

   private:
    void release();

    HDC dc_ = nullptr;          // memory DC with the bitmap selected
    HBITMAP bitmap_ = nullptr;  // the DIB section
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

class Win32Window final : public NativeWindow {
   public:
    ~Win32Window() override;

    // Creates the main window, hidden; false with the reason when it cannot.
    bool create(std::string* error);

    bool open(std::string_view title, int width, int height) override;
    void present(PixelView frame) override;
    void pollEvents(NativeInput& input, int timeoutMs) override;
    bool showBox(std::string_view caption, PixelView box) override;
    void hideBox() override;

    // The window procedure's work for the two windows.
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

   private:
    LRESULT handleMain(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handleBox(UINT msg, WPARAM wParam, LPARAM lParam);
    void typeChar(wchar_t c);
    void paint(HWND hwnd, const Dib& dib);
    bool ensureBoxWindow();

    HWND main_ = nullptr;
    HWND box_ = nullptr;
    Dib frame_;     // the main window's last frame
    Dib boxFrame_;  // the box's pixels
    bool presenting_ = false;  // a WM_PAINT now is our own present's
    bool boxShown_ = false;
    std::wstring boxCaption_;
    int boxWidth_ = 0;
    int boxHeight_ = 0;
    wchar_t highSurrogate_ = 0;      // first half of a typed character beyond the BMP
    NativeInput* input_ = nullptr;   // set only while pollEvents runs
};

}  // namespace tessel
