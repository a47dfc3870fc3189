#pragma once
// Adding, editing and deleting a bridge: the slot, the setup tool's call, the save, and the
// texts of a refusal. The window supplies the dialog, the question and the list through
// TBridgeView, and shows what the command returns.
#include "config/bridge.h"
#include "tools/outcome.h"

#include <string>

class TBridgeView {
public:
    // Shows the bridge dialog on the scratch slot; true when the user confirmed it.
    virtual bool EditInDialog(TBridge& scratch) = 0;
    // Asks whether the bridge is to be deleted.
    virtual bool ConfirmDelete() = 0;
    // The list follows the table before the table is saved.
    virtual void BridgeAdded(const TBridge& bridge) = 0;
    virtual void BridgeChanged(const TBridge& bridge) = 0;
    virtual void BridgeRemoved() = 0;

protected:
    ~TBridgeView() = default;
};

// Takes the lowest free slot, installs its pair, stores the bridge there and saves the table.
TOutcome AddBridge(TBridgeView& view);

// Edits the bridge listed under caption, changing its pair where the edit concerns it.
TOutcome EditBridge(const std::string& caption, TBridgeView& view);

// Removes the pair of the bridge listed under caption, frees its slot and saves the table.
TOutcome DeleteBridge(const std::string& caption, TBridgeView& view);
