#pragma once
// The program-wide event loop, error box and error handler.
#include "tools/outcome.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

// The text an error box shows: a full stop is appended when the message's last character
// sorts after "." (after a letter or digit, not after a closing quote).
std::string WithFullStop(std::string message);

// Shows a message box of the program's and gives its answer; never a second one while one is
// open (a look of the timer's may fail under a box): it is left out, and the answer is 0.
int ShowBox(HWND owner, const std::string& text, const char* caption, UINT flags);
// Whether a box of the program's is open.
bool BoxOpen();

// The program's one error box: the text with an OK button and the given icon (MB_ICONERROR or
// MB_ICONEXCLAMATION), captioned "Error" unless a caption is given.
void ShowErrorBox(HWND owner, const std::string& text, UINT icon = MB_ICONERROR, const char* caption = "Error");

// Shows what a command did when it was not done, in the error box with the given icon.
void ShowOutcome(HWND owner, const TOutcome& outcome, UINT icon = MB_ICONERROR);

// Debug mode's box with the hub's argument string, shown just before the hub starts.
void ShowHubArguments(const std::string& arguments);

// Shows an exception's message in the application's error box: the application title as the
// caption, the error icon, a full stop where the message lacks one.
void ShowException(const std::exception& e);
void ShowUnexpectedException();

// Runs body, showing whatever it throws in the error box: no exception crosses into the window
// system. Returns false when body threw.
template <class Body>
bool Guarded(Body&& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowUnexpectedException();
    }
    return false;
}

class TApplication {
public:
    // What runs every time the loop becomes idle (the main window's availability rules).
    void SetIdleHandler(std::function<void()> handler) { idle_ = std::move(handler); }

    // Pumps messages until *done becomes true or the quit message arrives; keyboard navigation
    // goes to the active window. Runs the idle handler whenever the queue is empty.
    void RunLoop(const bool* done = nullptr);

    void Idle();

    // How long a shown tool tip stays visible, in milliseconds.
    int HintHidePause = 30000;

private:
    std::function<void()> idle_;
};

extern TApplication Application;
