#pragma once
// What -status reports: one line per stored bridge, in list order, with the state of its link.
#include "tools/link_reads.h"

#include <string>
#include <vector>

// -status's exit codes: what a watching task can tell apart.
constexpr int StatusAllConnected = 0;  // every bridge that is on is connected
constexpr int StatusWaiting = 1;       // a bridge is waiting, not answering, refused port control or
                                       // mismatched, or left out as unreadable
constexpr int StatusStopped = 2;       // the bridges are stopped, whatever a slot holds
constexpr int StatusNoBridges = 3;     // no bridges are defined

constexpr char NoBridgesLine[] = "No bridges defined";

struct TBridgeStatus {
    // "COM3<TAB>127.0.0.1:4001<TAB>connected" (or another LinkWord), with the device end's fields
    // after it when the hub keeps a record (StatusFields), a line for each stored
    // bridge that cannot be read, or NoBridgesLine.
    std::vector<std::string> Lines;
    int Code = StatusAllConnected;  // -status's exit code
};

// The server of the bridge in that slot, and as the log and -status write it ("127.0.0.1:4001").
TLinkTarget LinkTargetOf(int slot);
std::string ServerText(const TLinkTarget& target);

// Loads the stored bridges as the window does and reads the state of each link from a look made
// after the call. Host names are given up to a few seconds to resolve, so that a bridge to a
// named server is not called waiting only because its name was not yet looked up; a name not
// found by then leaves only its own bridges waiting. A registry error is raised.
TBridgeStatus StoredBridgeStatus();
