#pragma once
// The bridge the stand-in hub should serve for a bridge of the table, as hub::Bridges reads it
// back from the manager's line (the hub's port numbers left at 0). Pure.
#include "config/bridge.h"
#include "config/number.h"
#include "hub/hub_cmdline.h"

inline hub::Bridge HubBridgeOf(const TBridge& b) {
    hub::Bridge want;
    want.path = "\\\\.\\CNCA" + Decimal(b.Index);
    want.baud = b.Baud;
    want.ito = b.RXDelay;
    want.host = b.IP.str();
    want.port = b.Port;
    want.reconnect = 10000;
    want.dtrOnConnect = true;
    want.portControl = b.Rfc2217;
    if (b.Connect < 4) {  // 4 and above: always connected
        const hub::Signal signals[] = {hub::Signal::Dsr, hub::Signal::Cts, hub::Signal::Dcd, hub::Signal::Ring};
        want.connect = signals[b.Connect];
        want.delayDisconnect = b.Delay > 0 ? b.Delay : 0;
    }
    return want;
}
