#pragma once
// One bridge at work: its serial port and a TCP client to its server, the bytes copied both
// ways while both are up. Each bridge has threads of its own (see Worker in bridge.cpp), so a
// bridge whose port or server fails, or whose peer is slow, holds up no other. The threads wait
// in blocking calls rather than overlapped ones: each direction reads as plain sequential code,
// and under Wine a blocking serial read waits in the process itself while an overlapped one
// waits through the wineserver, which the data's round trip would pay for. While no byte moves
// and every server is connected, no thread wakes, but that of a bridge with port control, which
// looks at its port's settings four times a second (a bridge's port under Wine is also watched,
// but that watch wakes only when the pairs' links change). The threads run until the process ends: the
// hub is only ever terminated.
#include "hub/bridge_rules.h"
#include "hub/hub_cmdline.h"
#include "hub/hub_log.h"
#include "platform/hub_links.h"

#include <cstddef>

namespace hub {

// Starts the bridge's thread; log and links must last as long as the process. The bridge tells
// links, under its index, the local port of each connection it makes, when it ends, and while
// its port is lost.
void StartBridge(Bridge settings, const Log& log, platform::HubLinksWriter& links, std::size_t index);

}  // namespace hub
