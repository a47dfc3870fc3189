#include "ui/tray_icon.h"

#include "platform/text.h"
#include "ui/bridge_list.h"

namespace {

constexpr UINT IconId = 1;

template <std::size_t N>
void CopyText(wchar_t (&target)[N], const std::wstring& text) { ::lstrcpynW(target, text.c_str(), static_cast<int>(N)); }

// A note's text as the shell takes it whole: one that would not fit ends in an ellipsis, so that
// nothing is cut unseen.
template <std::size_t N>
void CopyWhole(wchar_t (&target)[N], const std::wstring& text) {
    CopyText(target, text.size() < N ? text : text.substr(0, N - 2) + L'\x2026');
}

// A wide window, so that its text keeps what the code page cannot hold.
HWND MakeNotesWindow() {
    const std::wstring name = platform::Widen(TTrayIcon::NotesClass);
    WNDCLASSW notes{};
    notes.lpfnWndProc = ::DefWindowProcW;
    notes.hInstance = ::GetModuleHandleW(nullptr);
    notes.lpszClassName = name.c_str();
    ::RegisterClassW(&notes);  // fails harmlessly when registered before
    return ::CreateWindowExW(0, name.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, notes.hInstance, nullptr);
}

}  // namespace

TTrayIcon::TTrayIcon(HWND owner) {
    const controls::ImageList dots = MakeStateIcons(::GetSystemMetrics(SM_CXSMICON));
    for (int i = 0; i < LinkStateCount; ++i) icons_[i].reset(ImageList_GetIcon(dots.get(), i, ILD_NORMAL));
    data_.cbSize = sizeof data_;
    data_.hWnd = owner;
    data_.uID = IconId;
    data_.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    data_.uCallbackMessage = WM_TRAYICON;
    data_.hIcon = icons_[0].get();
    CopyText(data_.szTip, L"Pontis Manager");
    notes_ = MakeNotesWindow();
}

TTrayIcon::~TTrayIcon() {
    if (shown_) {
        NOTIFYICONDATAW gone{};
        gone.cbSize = sizeof gone;
        gone.hWnd = data_.hWnd;
        gone.uID = IconId;
        ::Shell_NotifyIconW(NIM_DELETE, &gone);
    }
    if (notes_) ::DestroyWindow(notes_);
}

bool TTrayIcon::Add() {
    // A notification area made anew says so to every window, also while it still has our icon
    // (a "TaskbarCreated" of another program's); adding fails then, and changing it shows it.
    shown_ = ::Shell_NotifyIconW(NIM_ADD, &data_) || ::Shell_NotifyIconW(NIM_MODIFY, &data_);
    return shown_;
}

void TTrayIcon::Show(TLinkState state, const std::wstring& tip) {
    if (state == state_ && tip == data_.szTip) return;
    state_ = state;
    data_.hIcon = icons_[static_cast<int>(state)].get();
    CopyText(data_.szTip, tip);
    if (shown_) ::Shell_NotifyIconW(NIM_MODIFY, &data_);
}

void TTrayIcon::Note(const std::wstring& title, const std::wstring& text, bool warning) {
    NOTIFYICONDATAW data = data_;
    data.uFlags = NIF_INFO;
    CopyWhole(data.szInfoTitle, title);
    CopyWhole(data.szInfo, text);
    data.dwInfoFlags = warning ? NIIF_WARNING : NIIF_INFO;
    if (notes_) ::SetWindowTextW(notes_, (title + L": " + text).c_str());
    if (shown_) ::Shell_NotifyIconW(NIM_MODIFY, &data);
}
