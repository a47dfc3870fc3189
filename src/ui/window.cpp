#include "ui/window.h"

#include "ui/application.h"

#include "platform/system_error.h"

TWindow::~TWindow() {
    // Before the font the controls use goes.
    if (hwnd_) ::DestroyWindow(hwnd_);
}

int TWindow::Scale(int pixels) const { return ::MulDiv(pixels, dpi_, 96); }

void TWindow::CreateFrame(const char* className, const char* caption, DWORD style, DWORD exStyle, int clientWidth,
                          int clientHeight, HWND owner, HMENU menu) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!::GetClassInfoExA(instance, className, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(1));
        wc.lpszClassName = className;
        if (!::RegisterClassExA(&wc)) platform::RaiseLastError(std::string("Cannot register the window class ") + className);
    }

    dpi_ = ::GetDeviceCaps(platform::WindowDc(nullptr).get(), LOGPIXELSY);
    font_.reset(::CreateFontA(-Scale(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif"));

    RECT r{0, 0, Scale(clientWidth), Scale(clientHeight)};
    ::AdjustWindowRectEx(&r, style, menu != nullptr, exStyle);
    if (!::CreateWindowExA(exStyle, className, caption, style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                           r.bottom - r.top, owner, menu, instance, this))
        platform::RaiseLastError(std::string("Cannot create the window ") + className);
}

HWND TWindow::AddControl(const char* className, const char* text, DWORD style, int x, int y, int w, int h, int id,
                         DWORD exStyle) {
    HWND control = ::CreateWindowExA(exStyle, className, text, style | WS_CHILD | WS_VISIBLE, Scale(x), Scale(y),
                                     Scale(w), Scale(h), hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return control;
}

void TWindow::KeepFocusAcrossActivation(WPARAM wp, HWND first) {
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(hwnd_, focus)) focus_ = focus;
        return;
    }
    if (focus_ && ::IsWindow(focus_) && ::IsWindowEnabled(focus_)) {
        ::SetFocus(focus_);
        return;
    }
    focus_ = first ? first : ::GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    FocusAndSelect(focus_);
}

void FocusAndSelect(HWND control) {
    ::SetFocus(control);
    if (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) ::SendMessageA(control, EM_SETSEL, 0, -1);
}

LRESULT TWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcA(hwnd_, msg, wp, lp); }

LRESULT CALLBACK TWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return ::DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return ::DefWindowProcA(hwnd, msg, wp, lp);
    }
    LRESULT result = 0;
    if (!Guarded([&] { result = self->HandleMessage(msg, wp, lp); })) return 0;
    return result;
}

void CenterWindow(HWND hwnd, HWND over) {
    RECT area, r;
    if (over)
        ::GetWindowRect(over, &area);
    else
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    ::GetWindowRect(hwnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int x = area.left + ((area.right - area.left) - w) / 2;
    const int y = area.top + ((area.bottom - area.top) - h) / 2;
    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string WindowText(HWND hwnd) {
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextA(hwnd, &text[0], static_cast<int>(text.size()))));
    return text;
}
