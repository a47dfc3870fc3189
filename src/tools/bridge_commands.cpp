#include "tools/bridge_commands.h"

#include "config/config_store.h"
#include "tools/port_pairs.h"

namespace {

const char NoFreeSlotText[] = "No free bridge slot is left. Bridges that could not be loaded keep their slots.";
const char InstallFailedText[] =
    "Unable to create COM port! The port may be in use.\r\nPlease try with another port number.";
const char ChangeFailedText[] = "Unable to change COM port! The port may be in use.";
const char RemoveFailedText[] = "Unable to remove COM port!";

// A row whose slot is free: nothing to edit or delete.
bool Defined(int slot) { return slot >= FirstSlot && slot <= LastSlot && !IsFreeSlot(slot); }
TOutcome NotDefined(int slot) { return TOutcome::Failure("Bridge slot " + std::to_string(slot) + " is not defined"); }

// Whether the bridge's pair is its own to remove: a stored bridge that could not be read may
// name no pair (0) or another bridge's.
bool PairIsOwn(int slot) {
    const std::uint8_t pair = Bridges[slot].Index;
    if (pair == 0) return false;
    for (int n = FirstSlot; n <= LastSlot; ++n)
        if (n != slot && !IsFreeSlot(n) && Bridges[n].Index == pair) return false;
    return true;
}

// An edit goes through the setup tool when the port name, the baud-rate emulation or the write delay changed.
bool PairMustChange(const TBridge& edited, const std::string& oldCaption, bool oldEmulate, int oldTXDelay) {
    return edited.COM != oldCaption || edited.Emulate != oldEmulate || edited.TXDelay != oldTXDelay;
}

}  // namespace

TOutcome AddBridge(TBridgeView& view) {
    if (FirstFreeSlot() > LastSlot) return TOutcome::Failure(NoFreeSlotText);
    TBridge& scratch = Bridges[ScratchSlot];
    scratch.flag = false;
    if (!view.EditInDialog(scratch, NoSlot)) return TOutcome{};

    const int n = FirstFreeSlot();
    if (!InstallPortPair(n, scratch)) return TOutcome::Failure(InstallFailedText);
    scratch.Index = static_cast<std::uint8_t>(n);
    CopySlot(ScratchSlot, n);
    view.BridgeAdded(n);
    SaveBridge(n);
    return TOutcome{};
}

TOutcome EditBridge(int s, TBridgeView& view) {
    if (!Defined(s)) return NotDefined(s);
    const std::string caption = Bridges[s].COM.str();
    const bool oldEmulate = Bridges[s].Emulate;
    const int oldTXDelay = Bridges[s].TXDelay;
    TBridge& scratch = Bridges[ScratchSlot];
    CopySlot(s, ScratchSlot);
    scratch.flag = true;
    if (!view.EditInDialog(scratch, s)) return TOutcome{};

    // A bridge whose key another program deleted meanwhile may have lost its pair too: the pair
    // is changed to the dialog's, or made again when it is gone.
    if (!ReadStoredBridge(s)) {
        if (scratch.Index == 0) scratch.Index = static_cast<std::uint8_t>(s);
        if (!ChangePortPair(scratch) && !InstallPortPair(scratch.Index, scratch))
            return TOutcome::Failure(InstallFailedText);
    } else if (PairMustChange(scratch, caption, oldEmulate, oldTXDelay) && !ChangePortPair(scratch)) {
        return TOutcome::Failure(ChangeFailedText);
    }
    const TBridge before = Bridges[s];
    const bool mended = Unreadable[s];  // stored whole, so that it reads whole
    CopySlot(ScratchSlot, s);
    view.BridgeChanged(s);
    SaveBridge(s, mended ? nullptr : &before);
    return TOutcome{};
}

std::string SlotTakenMeanwhile(int s) {
    if (s < FirstSlot || s > LastSlot) return {};
    const std::optional<TBridge> stored = ReadStoredBridge(s);
    if (!stored || stored->COM.str() == Bridges[s].COM.str()) return {};
    return "Bridge slot " + std::to_string(s) + " now holds " + stored->COM.str() +
           ", stored by another program meanwhile: this bridge cannot be stored there. Cancel, and add it anew.";
}

TOutcome DeleteBridge(int s, TBridgeView& view) {
    if (!Defined(s)) return NotDefined(s);
    if (!view.ConfirmDelete()) return TOutcome{};
    if (PairIsOwn(s) && !RemovePortPair(Bridges[s].Index)) return TOutcome::Failure(RemoveFailedText);
    ZeroSlot(s);
    view.BridgeRemoved(s);
    SaveBridge(s);
    return TOutcome{};
}
