#include "config/bridge.h"

#include "config/number.h"

TBridge Bridges[SlotCount];
bool HeldBack[SlotCount];
bool Unreadable[SlotCount];
std::string HeldBackReason[SlotCount];
std::string UnreadField[SlotCount];
std::string UnreadText[SlotCount];

int SlotNumber(const TBridge& slot) { return static_cast<int>(&slot - Bridges); }

int FindBridge(std::string_view text) {
    if (text.empty()) return NoSlot;
    for (int n = FirstSlot; n <= LastSlot; ++n)
        if (Bridges[n].COM == text) return n;
    return NoSlot;
}

bool IsUnread(int n) { return HeldBack[n] || Unreadable[n]; }

namespace {

std::string ShortReason(int n) {
    return Unreadable[n] ? UnreadField[n] + " '" + UnreadText[n] + "'" : HeldBackReason[n];
}

}  // namespace

std::string UnreadReason(int n) { return Unreadable[n] ? ShortReason(n) + " cannot be read" : HeldBackReason[n]; }

std::string HeldBackText(int n) { return "Bridge slot " + std::to_string(n) + " cannot be read: " + ShortReason(n); }

std::string LeftOutText(int n) { return "Bridge slot " + std::to_string(n) + " was left out: " + UnreadReason(n); }

void MarkUnreadable(int n, const std::string& field, const std::string& stored) {
    Unreadable[n] = true;
    UnreadField[n] = field;
    UnreadText[n] = stored;
}

bool IsFreeSlot(int n) { return !IsUnread(n) && Bridges[n].Port == 0 && Bridges[n].COM.empty(); }

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

namespace {

void ForgetUnreadable(int n) {
    if (n == ScratchSlot) return;
    Unreadable[n] = false;
    UnreadField[n].clear();
    UnreadText[n].clear();
}

}  // namespace

void CopySlot(int from, int to) {
    Bridges[to] = Bridges[from];
    ForgetUnreadable(to);  // a record copied in is whole
}

void ZeroSlot(int n) {
    Bridges[n] = TBridge{};
    ForgetUnreadable(n);
}
