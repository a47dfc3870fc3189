#pragma once
// The main window's bridge list: one row per bridge with the COM text as its caption, kept in
// the platform's text order of the captions (the hub takes the bridges in this order), each
// row with the dot of its link state.
#include "config/bridge.h"
#include "tools/link_match.h"
#include "ui/controls.h"

#include <string>
#include <vector>

// The three states drawn as dots, in the order of their values: grey for stopped, amber for
// waiting, green for connected.
controls::ImageList MakeStateIcons(int size);

class TBridgeList {
public:
    // Makes a report-view control the list: its columns, the port columns at the given widths
    // in pixels (the first one wider where its longest text needs it), and the state dots.
    void Attach(HWND list, int portColumnWidth, int serverPortColumnWidth);
    HWND Handle() const { return list_; }

    void AddRow(const TBridgeRow& row, TLinkState state);
    void SetSelectedRow(const TBridgeRow& row, TLinkState state);
    void DeleteSelectedRow();
    void SetState(int row, TLinkState state);
    // Selects the row with that caption and scrolls it into view.
    void SelectRow(const std::string& caption);

    int RowCount() const;
    std::string RowText(int row, int column = 0) const;
    std::vector<std::string> Captions() const;
    int SelectedIndex() const;
    int SelectedCount() const;
    std::string SelectedCaption() const;

private:
    void SetRowTexts(int row, const TBridgeRow& texts);
    void SortRows();
    void FitColumns();

    HWND list_ = nullptr;
    controls::ImageList states_;  // stopped, waiting, connected
    int portWidth_ = 0, serverPortWidth_ = 0;
};
