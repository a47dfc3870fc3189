#include "config/bridge.h"

#include "config/number.h"

TBridge Bridges[SlotCount];
bool HeldBack[SlotCount];
bool Unreadable[SlotCount];
std::string HeldBackReason[SlotCount];
std::string UnreadField[SlotCount];
std::string UnreadText[SlotCount];
std::string UnreadStoredAs[SlotCount];

int SlotNumber(const TBridge& slot) { return static_cast<int>(&slot - Bridges); }

int FindBridge(std::string_view text) {
    if (text.empty()) return NoSlot;
    for (int n = FirstSlot; n <= LastSlot; ++n)
        if (Bridges[n].COM == text) return n;
    return NoSlot;
}

bool IsUnread(int n) { return HeldBack[n] || Unreadable[n]; }

namespace {

std::string StoredAsText(int n) { return UnreadField[n] + " is stored as " + UnreadStoredAs[n] + ", not as text"; }

std::string ShortReason(int n) {
    if (!Unreadable[n]) return HeldBackReason[n];
    return UnreadStoredAs[n].empty() ? UnreadField[n] + " '" + UnreadText[n] + "'" : StoredAsText(n);
}

}  // namespace

std::string UnreadReason(int n) {
    if (!Unreadable[n]) return HeldBackReason[n];
    return UnreadStoredAs[n].empty() ? ShortReason(n) + " cannot be read" : StoredAsText(n);
}

std::string HeldBackText(int n) { return "Bridge slot " + std::to_string(n) + " cannot be read: " + ShortReason(n); }

std::string LeftOutText(int n) { return "Bridge slot " + std::to_string(n) + " was left out: " + UnreadReason(n); }

void MarkUnreadable(int n, const std::string& field, const std::string& stored) {
    Unreadable[n] = true;
    UnreadField[n] = field;
    UnreadText[n] = stored;
    UnreadStoredAs[n].clear();
}

void MarkStoredAs(int n, const std::string& field, const std::string& storedAs) {
    MarkUnreadable(n, field, "");
    UnreadStoredAs[n] = storedAs;
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
    UnreadStoredAs[n].clear();
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
