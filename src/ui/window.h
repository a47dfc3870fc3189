#pragma once
// The common frame of the program's windows: one object per window, found by the window
// procedure through GWLP_USERDATA, with every message handled inside the error guard.
#include "platform/handles.h"

#include <windows.h>

#include <string>

class TWindow {
public:
    TWindow() = default;
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;
    virtual ~TWindow();

    HWND Handle() const { return hwnd_; }

protected:
    // Registers the class (once) and creates the window with a client area of the given
    // 96-DPI size, scaled to the system's DPI. Raises the system's reason when either fails.
    void CreateFrame(const char* className, const char* caption, DWORD style, DWORD exStyle, int clientWidth,
                     int clientHeight, HWND owner, HMENU menu = nullptr);

    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

    // A child control at 96-DPI coordinates, in the program's font.
    HWND AddControl(const char* className, const char* text, DWORD style, int x, int y, int w, int h, int id,
                    DWORD exStyle = 0);

    // A 96-DPI length at the system's DPI.
    int Scale(int pixels) const;
    int Dpi() const { return dpi_; }

    // For WM_ACTIVATE: remembers the focused control when the window goes inactive and gives it
    // back when the window is active again, as a dialog does. The first time, or when that
    // control is disabled, first gets the focus (the first tab stop when null), its text selected.
    void KeepFocusAcrossActivation(WPARAM wp, HWND first = nullptr);
    void ForgetFocus() { focus_ = nullptr; }

    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    platform::Font font_;
    HWND focus_ = nullptr;  // the control that had the focus when the window was last active
    int dpi_ = 96;
};

// Centres a window over another one, or over the screen's work area when over is null.
void CenterWindow(HWND hwnd, HWND over);

std::string WindowText(HWND hwnd);

// Gives a control the focus and, when it holds editable text, selects all of it.
void FocusAndSelect(HWND control);
