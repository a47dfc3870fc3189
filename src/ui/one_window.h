#pragma once
// One program, one window: the first start holds a name on this desktop session; a later start
// brings the first one's window forward and ends before it loads, saves or runs anything (two
// windows would each keep their own copy of the bridges).
#include "platform/handles.h"

class TOneWindow {
public:
    TOneWindow();

    // Whether this is the first start.
    bool First() const { return first_; }

    // For a later start: brings the main window of the program that holds the name to the
    // front, restored, and gives the exit code. Only a window whose process runs this very
    // executable counts; when none shows within two seconds, says so and gives 1, naming the
    // executable of another copy whose main window it found.
    int BringFirstForward() const;

private:
    platform::Handle name_;
    bool first_ = true;
};
