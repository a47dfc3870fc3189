#pragma once
// What a command above the tool runner did: done, or not done with the text to show the user.
// The caller picks the box; exceptions stay for the unexpected.
#include <string>

struct TOutcome {
    bool Done = true;
    std::string Text;     // why not, when not done
    bool Failed = false;  // not done because something broke, rather than refused as asked

    static TOutcome Failure(std::string text) { return {false, std::move(text)}; }
    static TOutcome Fault(std::string text) { return {false, std::move(text), true}; }
    explicit operator bool() const { return Done; }
};
