#pragma once
// Adding, editing and deleting a bridge: the slot, the setup tool's call, the save, and the
// texts of a refusal. The window supplies the dialog, the question and the list through
// TBridgeView, and shows what the command returns.
#include "config/bridge.h"
#include "tools/outcome.h"

#include <string>

class TBridgeView {
public:
    // Shows the bridge dialog on the scratch slot for the bridge in slot (NoSlot for a new one);
    // true when the user confirmed it.
    virtual bool EditInDialog(TBridge& scratch, int slot) = 0;
    // Asks whether the bridge is to be deleted.
    virtual bool ConfirmDelete() = 0;
    // The list follows the table's slot before the table is saved.
    virtual void BridgeAdded(int slot) = 0;
    virtual void BridgeChanged(int slot) = 0;
    virtual void BridgeRemoved(int slot) = 0;

protected:
    ~TBridgeView() = default;
};

// Takes the lowest free slot, installs its pair, stores the bridge there and saves the table.
TOutcome AddBridge(TBridgeView& view);

// Edits the bridge in that slot, changing its pair where the edit concerns it.
TOutcome EditBridge(int slot, TBridgeView& view);

// Why an edit of the bridge in that slot cannot be stored: the slot holds another bridge (another
// COM text) than the one loaded, stored by another program meanwhile; empty when it can.
std::string SlotTakenMeanwhile(int slot);

// Removes the pair of the bridge in that slot, frees the slot and saves the table.
TOutcome DeleteBridge(int slot, TBridgeView& view);
