#pragma once
// The main window's bridge list: one row per bridge with the COM text as its caption, kept in
// the platform's text order of the captions (the hub takes the bridges in this order), each
// row with the dot of its link state. The bridges themselves are the table's: a row knows its
// slot, and its texts are only shown.
#include "config/bridge.h"
#include "tools/link_match.h"
#include "ui/controls.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// The states drawn as dots, in the order of their values: grey for stopped, amber for waiting,
// green for connected, red for not answering; then a hollow dot for off, and a warning sign for a
// bridge that could not be read.
controls::ImageList MakeStateIcons(int size);

class TBridgeList {
public:
    // Makes a report-view control the list: its columns, as the field table says, scaled to the
    // screen's dots per inch, and the state dots.
    void Attach(HWND list, int dpi);
    HWND Handle() const { return list_; }

    // Each row shows the bridge of one slot of the table and holds that slot as its data, with
    // the dot of its link's state, or the warning sign when the bridge could not be read.
    void AddRow(int slot, TLinkState state);
    void UpdateRow(int slot, TLinkState state);  // after the bridge changed
    void DeleteRow(int slot);
    void Clear();
    void SetState(int slot, TLinkState state);
    // Selects the row of that slot and scrolls it into view.
    void SelectRow(int slot);

    int RowCount() const;
    // The rows' slots in list order: the order of the bridges on the hub's command line.
    std::vector<int> Slots() const;
    int SlotAt(int row) const;
    int SelectedCount() const;
    int SelectedSlot() const;  // NoSlot when no row is selected

    // The rows' tips: over each row, the text tipOf gives for its slot, where the row is now. A
    // tip control of the list's own, one tool per row: Wine's list shows no item tips of its own.
    void ShowTips(const std::function<std::string(int)>& tipOf);
    HWND Tips() const { return tips_; }

private:
    int IndexOf(int slot) const;
    int SelectedIndex() const;
    void SetRowTexts(int row, const std::vector<std::string>& texts);
    void SortRows();
    void FitColumns();

    HWND list_ = nullptr;
    HWND tips_ = nullptr;  // owned by the list's window, which destroys it
    std::map<int, std::string> tipTexts_;  // by slot, as the tools hold them
    controls::ImageList states_;  // stopped, waiting, connected, not answering
    struct TColumn {
        int Width;  // in pixels, the fixed columns'
        int Share;  // of what the fixed columns leave; 0 for a fixed column
    };
    std::vector<TColumn> columns_;
};
