#pragma once
// The command-line switches -start, -stop and -status: each does its one job without a window,
// says what happened, and gives the program's exit code.
#include <optional>
#include <string>
#include <vector>

// Runs the switch the arguments name (the arguments after the program's own path) and gives
// the exit code: 0 when the switch did what it says, otherwise 1. Nothing when they name none
// of the three: the window is to start.
std::optional<int> RunSwitches(const std::vector<std::string>& args);

// Says why the program ends without doing its job, where a switch would say it (the standard
// output, the console, else the error box), and gives the exit code 1.
int ReportFailure(const std::string& text);
