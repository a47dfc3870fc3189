#pragma once
// Starting and stopping the bridges: the procedures behind "&Start bridges" and "St&op bridges".
// They report what happened; the caller shows it.
#include <optional>
#include <string>
#include <vector>

constexpr char NoBridgesText[] = "No bridges defined! Please define at least one.";
constexpr char UnableToStartText[] = "Unable to start bridges! Please check your settings and try again";

// The first half of a start, for the list rows (captions in displayed order).
struct THubStart {
    std::string refusal;  // why the rows cannot start; empty when they can
    std::string arguments;  // the hub's argument string, when they can
};

// Checks the rows; when they can start, ends a running hub and builds the argument string.
// A refused start leaves a running hub alone.
THubStart PrepareHubStart(const std::vector<std::string>& captions);

// The second half: launches the hub with the argument string and checks that the process
// just launched still runs a moment later. Gives the message to show when it does not.
std::optional<std::string> LaunchHub(const std::string& arguments);

// Ends the running hub, if any; false when one runs on that could not be ended.
bool StopHub();

// The list's order of two captions: the platform's locale-aware text comparison, negative
// when a stands before b. The hub takes the bridges in this order.
int CompareCaptions(const std::string& a, const std::string& b);

// Clears the bridge table, loads the stored bridges into it as the window does, and gives
// their captions in list order. A registry error is raised as from the window's load.
std::vector<std::string> LoadStoredBridges();
