#pragma once
// The program-wide event loop and error handler.
#include <windows.h>

#include <exception>
#include <functional>
#include <string>

// The text an error box shows: a full stop is appended when the message's last character
// sorts after "." (after a letter or digit, not after a closing quote).
std::string WithFullStop(std::string message);

// Shows an exception's message in the application's error box.
void ShowException(const std::exception& e);

// Runs body, showing whatever it throws in the error box: no exception crosses into the window
// system. Returns false when body threw.
bool Guarded(const std::function<void()>& body);

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
