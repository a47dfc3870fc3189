#pragma once
// Starting and stopping the bridges: the procedures behind "&Start bridges" and "St&op bridges".
// They report what happened; the caller shows it.
#include "tools/outcome.h"

#include <functional>
#include <string>
#include <vector>

constexpr char NoBridgesText[] = "No bridges defined! Please define at least one.";
constexpr char UnableToStartText[] = "Unable to start bridges! Please check your settings and try again";
constexpr char UnableToStopText[] = "Unable to stop bridges! The hub could not be ended";

// What a start lets its caller see while it runs.
struct TStartSteps {
    std::function<void(const std::string&)> ShowArguments;  // in debug mode, just before the launch
    std::function<void()> Launched;  // the hub runs; called before its line is recorded
};

// The one start of the bridges, for the list rows (their slots in displayed order): checks the
// rows and the hub's program, and only when they can start ends a running hub, launches the
// new one, checks that it still runs a moment later, and records its argument string.
TOutcome StartBridges(const std::vector<int>& slots, const TStartSteps& steps);

// Ends every running hub; fails when one still runs after a few seconds.
TOutcome StopBridges();

// The list's order of two captions: the platform's locale-aware text comparison, negative
// when a stands before b. The hub takes the bridges in this order.
int CompareCaptions(const std::string& a, const std::string& b);

// Clears the bridge table, loads the stored bridges into it as the window does, and gives
// their slots in list order. A registry error is raised as from the window's load.
std::vector<int> LoadStoredBridges();
