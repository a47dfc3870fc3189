#pragma once
// Starting and stopping the bridges: the procedures behind "&Start bridges" and "St&op bridges".
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Starts the hub for the list rows (captions in displayed order): ends a running hub,
// shows the argument string first in debug mode, launches the new hub and checks that it
// runs. Failures are shown in message boxes owned by owner. Returns the argument string when
// the hub was launched; the caller then marks the bridges running and records the string.
std::optional<std::string> StartHub(HWND owner, const std::vector<std::string>& captions);

// Ends the running hub, if any.
void StopHub();
