#include "config/bridge.h"

#include "config/number.h"

TBridge Bridges[SlotCount];
bool HeldBack[SlotCount];
std::string HeldBackReason[SlotCount];

int SlotNumber(const TBridge& slot) { return static_cast<int>(&slot - Bridges); }

int FindBridge(std::string_view text) {
    if (text.empty()) return NoSlot;
    for (int n = FirstSlot; n <= LastSlot; ++n)
        if (Bridges[n].COM == text) return n;
    return NoSlot;
}

std::string HeldBackText(int n) { return "Bridge slot " + std::to_string(n) + " cannot be read: " + HeldBackReason[n]; }

bool IsFreeSlot(int n) { return !HeldBack[n] && Bridges[n].Port == 0 && Bridges[n].COM.empty(); }

int FirstFreeSlot() {
    int n = FirstSlot;
    while (n <= LastSlot && !IsFreeSlot(n)) ++n;
    return n;
}

void ClearBridges() {
    for (int n = FirstSlot; n <= LastSlot; ++n) {
        ZeroSlot(n);
        HeldBack[n] = false;
        HeldBackReason[n].clear();
    }
}

void CopySlot(int from, int to) { Bridges[to] = Bridges[from]; }

void ZeroSlot(int n) { Bridges[n] = TBridge{}; }

TBridgeRow RowOf(const TBridge& bridge) {
    return {bridge.COM.str(), bridge.IP.str(), Decimal(bridge.Port), bridge.Name.str()};
}
