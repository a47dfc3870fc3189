#pragma once
// Starting and stopping the bridges: the procedures behind "&Start bridges" and "St&op bridges".
// They report what happened; the caller shows it.
#include "tools/link_events.h"
#include "tools/outcome.h"
#include "tools/run.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

constexpr char NoBridgesText[] = "No bridges defined! Please define at least one.";
constexpr char UnableToStartText[] = "Unable to start bridges! Please check your settings and try again";
constexpr char UnableToStopText[] = "Unable to stop bridges! The hub could not be ended";
constexpr char HubNotEndedText[] = "Unable to start bridges! The running hub could not be ended";
constexpr char HubProgramText[] = "Unable to start bridges! The hub's program cannot run: ";  // and its path
constexpr char AlreadyRunningText[] = "Bridges are already running";
constexpr char AllOffText[] = "All bridges are switched off";

// What a start lets its caller see while it runs.
struct TStartSteps {
    std::function<void(const std::string&)> ShowArguments;  // in debug mode, just before the launch
    std::function<void()> Launched;  // the hub runs; called before its line is recorded
    // When given: a hub of ours that runs the very line this start would launch is left
    // running, and *AlreadyRunning is set (a watchdog's repeated start changes nothing), unless
    // its record says that a bridge's port is lost.
    bool* AlreadyRunning = nullptr;
    // A restart: the count of starts and stops its caller has taken. When the record holds
    // another (the bridges were stopped or started elsewhere meanwhile), nothing is done and
    // *Superseded is set.
    std::optional<std::uint32_t> Seen = std::nullopt;
    bool* Superseded = nullptr;
};

// The one start of the bridges, for the list rows (their slots in displayed order): leaves out
// the rows whose bridges could not be read (LeftOut names them), checks the others and the hub's program, and only when they can start ends a running hub, launches the
// new one, checks that it still runs a moment later, and records its argument string. A start
// that fails at the hub (its program, its end or its launch, or another copy's start or stop
// that did not finish) is Failed; one refused for its rows is not.
TOutcome StartBridges(const std::vector<int>& slots, const TStartSteps& steps);

// What a start's outcome adds to the links' events: started, refused or failed with why, and
// after a launch, a bridge left out for each stored one that could not be read.
std::vector<TLinkEvent> StartEvents(const TOutcome& started);

// Ends every running hub of this program; fails when one still runs after a few seconds. ended
// tells whether there was one to end.
TOutcome StopBridges(bool* ended = nullptr);
