#pragma once
// The command-line switches -start, -stop and -status: each does its one job without a window,
// says what happened, and gives the program's exit code.
#include <optional>
#include <string>
#include <vector>

// The exit code of a command line that is not accepted (an unknown switch, or two of the three).
constexpr int CommandLineRefused = 64;

// Runs the switch the arguments name (the arguments after the program's own path) and gives
// the exit code: 0 when the switch did what it says, CommandLineRefused for a command line it
// does not take, -status's own codes (tools/bridge_status.h) for -status, otherwise 1. Nothing
// when they name none of the three, or -start with -tray: the program is to start (after that
// start). A refused or
// failed start with -tray that has nowhere to write its message leaves it in *trayNote, for
// the icon to show, instead of the error box.
std::optional<int> RunSwitches(const std::vector<std::string>& args, std::string* trayNote = nullptr);

// Says why the program ends without doing its job, where a switch would say it (the standard
// output, the console, else the error box), and gives the exit code 1.
int ReportFailure(const std::string& text);
