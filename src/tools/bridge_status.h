#pragma once
// What -status reports: one line per stored bridge, in list order, with the state of its link.
#include "tools/link_reads.h"

#include <string>
#include <vector>

struct TBridgeStatus {
    std::vector<std::string> Lines;  // "COM3<TAB>127.0.0.1:4001<TAB>connected" (or waiting, stopped)
    bool AllConnected = true;  // every bridge connected, or there are none
};

// The server of the bridge in that slot, and as the log and -status write it ("127.0.0.1:4001").
TLinkTarget LinkTargetOf(int slot);
std::string ServerText(const TLinkTarget& target);

// Loads the stored bridges as the window does and reads the state of each link. Host names are
// given up to a few seconds to resolve, so that a bridge to a named server is not called
// waiting only because its name was not yet looked up. A registry error is raised.
TBridgeStatus StoredBridgeStatus();
