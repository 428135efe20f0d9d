// The Windows backend's windows: the main window at the top-left corner of
// the screen with an 800x600 client area, and the message box window, a
// popup owned by it that disables it while shown (clicks on the main window
// are then swallowed by the system, while it keeps repainting).
#include <windowsx.h>

#include <cstring>

#include "platform/win32/win32_window.h"

namespace tessel {

namespace {

constexpr wchar_t kWindowClass[] = L"tessel";
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kBoxStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kBoxExStyle = WS_EX_DLGMODALFRAME;

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->handle(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool registerClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::wstring fromCodePage(UINT codePage, std::string_view text) {
    if (text.empty()) return L"";
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// The outer size of a window of `style` whose client area is width x height.
SIZE outerSize(DWORD style, DWORD exStyle, int width, int height) {
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

std::string systemMessage(DWORD code) {
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                   sizeof text, nullptr);
    std::string s(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
    return s.empty() ? "error " + std::to_string(code) : s;
}

}  // namespace

// ---------------------------------------------------------------------------
// Frames

bool Dib::assign(PixelView from) {
    const int width = from.width, height = from.height;
    if (width != width_ || height != height_ || !bits_) {
        release();
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap_) return false;
        dc_ = CreateCompatibleDC(nullptr);
        previous_ = SelectObject(dc_, bitmap_);
        bits_ = static_cast<uint32_t*>(bits);
        width_ = width;
        height_ = height;
    }
    GdiFlush();
    std::memcpy(bits_, from.pixels, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    return true;
}

void Dib::blit(HDC dc) const {
    if (dc_) BitBlt(dc, 0, 0, width_, height_, dc_, 0, 0, SRCCOPY);
}

void Dib::release() {
    if (dc_) {
        SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    if (bitmap_) DeleteObject(bitmap_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = 0;
}

// ---------------------------------------------------------------------------
// The main window

Win32Window::~Win32Window() {
    if (box_) DestroyWindow(box_);
    if (main_) DestroyWindow(main_);
}

bool Win32Window::create(std::string* error) {
    if (!registerClass()) {
        if (error) *error = systemMessage(GetLastError());
        return false;
    }
    main_ = CreateWindowExW(0, kWindowClass, L"", kMainStyle, 0, 0, 100, 100, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
    if (!main_ && error) *error = "no window can be created: " + systemMessage(GetLastError());
    return main_ != nullptr;
}

bool Win32Window::open(std::string_view title, int width, int height) {
    if (!main_) return false;
    SetWindowTextW(main_, fromCodePage(CP_UTF8, title).c_str());
    SIZE outer = outerSize(kMainStyle, 0, width, height);
    SetWindowPos(main_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(main_, SW_SHOW);
    SetForegroundWindow(main_);
    return true;
}

void Win32Window::present(PixelView frame) {
    if (!main_ || !frame_.assign(frame)) return;
    // Painted through WM_PAINT at once (drawing through GetDC may reach the
    // screen only at the next message under some window systems).
    presenting_ = true;
    RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    presenting_ = false;
}

void Win32Window::paint(HWND hwnd, const Dib& dib) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    dib.blit(dc);
    EndPaint(hwnd, &ps);
}

void Win32Window::pollEvents(NativeInput& input, int timeoutMs) {
    input_ = &input;
    MSG msg;
    if (timeoutMs > 0 && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(timeoutMs), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    input_ = nullptr;
}

LRESULT Win32Window::handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == main_) return handleMain(msg, wParam, lParam);
    if (hwnd == box_) return handleBox(msg, wParam, lParam);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT Win32Window::handleMain(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Input only counts while the core reads it (pollEvents); a message the
    // system sends at another time is answered without it.
    NativeInput* in = input_;
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    switch (msg) {
        case WM_PAINT:
            paint(main_, frame_);
            // Only a loss of the content is news to the core, not a frame
            // it is presenting.
            if (in && !presenting_) in->expose();
            return 0;
        case WM_ERASEBKGND: return 1;  // the frame covers the whole client area
        case WM_CLOSE:
            if (in) in->closeRequest();
            return 0;
        case WM_MOUSEMOVE:
            if (in) in->mouseMove(x, y);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            if (in) in->mouseButton(x, y, msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP,
                                    msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN);
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
            if (in) in->key(static_cast<uint32_t>(wParam), msg == WM_KEYDOWN);
            return 0;
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            // Alt and F10 reach the script too; Alt+F4 still closes.
            if (in) in->key(static_cast<uint32_t>(wParam), msg == WM_SYSKEYDOWN);
            break;
        case WM_CHAR:
            typeChar(static_cast<wchar_t>(wParam));
            return 0;
        default: break;
    }
    return DefWindowProcW(main_, msg, wParam, lParam);
}

// Typed characters go to the core as UTF-8 text; control characters (Return,
// Escape, Backspace, Ctrl+letter) are keys only.
void Win32Window::typeChar(wchar_t c) {
    if (!input_) return;
    wchar_t units[2] = {c, 0};
    int count = 1;
    if (c >= 0xD800 && c <= 0xDBFF) {
        highSurrogate_ = c;
        return;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
        if (!highSurrogate_) return;
        units[0] = highSurrogate_;
        units[1] = c;
        count = 2;
    }
    highSurrogate_ = 0;
    if (count == 1 && (c < 0x20 || c == 0x7F)) return;
    char utf8[8];
    int n = WideCharToMultiByte(CP_UTF8, 0, units, count, utf8, sizeof utf8, nullptr, nullptr);
    if (n > 0) input_->typeText(std::string_view(utf8, static_cast<size_t>(n)));
}

// ---------------------------------------------------------------------------
// The message box window

bool Win32Window::ensureBoxWindow() {
    if (box_) return true;
    box_ = CreateWindowExW(kBoxExStyle, kWindowClass, L"", kBoxStyle, 0, 0, 240, 120, main_, nullptr,
                           GetModuleHandleW(nullptr), this);
    return box_ != nullptr;
}

bool Win32Window::showBox(std::string_view caption, PixelView box) {
    if (!ensureBoxWindow() || !boxFrame_.assign(box)) return false;
    const int width = box.width, height = box.height;
    std::wstring wideCaption = fromCodePage(1252, caption);
    bool fresh = !boxShown_ || wideCaption != boxCaption_ || width != boxWidth_ || height != boxHeight_;
    if (fresh) {
        boxCaption_ = std::move(wideCaption);
        boxWidth_ = width;
        boxHeight_ = height;
        SetWindowTextW(box_, boxCaption_.c_str());
        // Centred on the screen, as a system message box is.
        SIZE outer = outerSize(kBoxStyle, kBoxExStyle, width, height);
        int x = (GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2;
        SetWindowPos(box_, HWND_TOP, x, y, outer.cx, outer.cy, 0);
        if (main_) EnableWindow(main_, FALSE);
        ShowWindow(box_, SW_SHOW);
        SetForegroundWindow(box_);
        SetFocus(box_);
        boxShown_ = true;
    }
    RedrawWindow(box_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return true;
}

void Win32Window::hideBox() {
    if (!box_) return;
    // The owner is enabled first, so the system hands it the activation.
    if (main_) EnableWindow(main_, TRUE);
    ShowWindow(box_, SW_HIDE);
    boxShown_ = false;
    if (!main_) return;
    SetForegroundWindow(main_);
    SetFocus(main_);
}

LRESULT Win32Window::handleBox(UINT msg, WPARAM wParam, LPARAM lParam) {
    NativeInput* in = input_;
    switch (msg) {
        case WM_PAINT: paint(box_, boxFrame_); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_CLOSE:
            if (in) in->boxClose();
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            if (in) in->boxButton(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), msg == WM_LBUTTONDOWN);
            return 0;
        case WM_KEYDOWN:
            if (in) in->boxKey(static_cast<uint32_t>(wParam));
            return 0;
        default: break;
    }
    return DefWindowProcW(box_, msg, wParam, lParam);
}

std::unique_ptr<NativeWindow> makeWin32Window(std::string* error) {
    auto window = std::make_unique<Win32Window>();
    if (!window->create(error)) return nullptr;
    return window;
}

}  // namespace tessel
