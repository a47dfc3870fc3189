#pragma once
// The main window: the bridge list, the commands that change it, and starting and stopping
// the bridges.
#include "config/bridge.h"
#include "tools/link_state.h"
#include "ui/controls.h"
#include "ui/window.h"

#include <memory>
#include <string>
#include <vector>

class TForm2;

class TForm1 : public TWindow {
public:
    // Control and menu identifiers.
    enum : int {
        IdBridgeList = 100,
        IdAddButton,
        IdEditButton,
        IdDeleteButton,
        IdStartButton,
        IdButton2,
        IdGroupBox,
        IdMenuExit = 200,
        IdMenuAdd,
        IdMenuEdit,
        IdMenuDelete,
        IdMenuAbout,
        IdMenuLogOn,
    };

    static constexpr char ClassName[] = "TForm1";

    // Brings the main window that is already open on this desktop to the front, restored;
    // false when there is none.
    static bool BringForward();

    // Creates the window and runs the start-up steps; args are the command-line arguments
    // without the program's own path.
    explicit TForm1(std::vector<std::string> args);
    ~TForm1() override;

    // The bridge dialog, created after this window.
    void SetDialog(TForm2* dialog) { dialog_ = dialog; }

    void Show();
    const bool* ClosedFlag() const { return &closed_; }

    // Handlers.
    void FormCreate();
    void StartButtonClick();
    void Button2Click();
    void AddButtonClick();
    void EditButtonClick();
    void DeleteButtonClick();
    void BridgeListDblClick();
    void Action1Execute();
    void About1Click();
    void Hello1Click();
    void LogOn1Click();
    // Each second: the availability rules, and while the bridges run, a new look at the links.
    void LinkTimerTick();
    // After each look: the link state of every row, and a hub that ended by itself makes the
    // bridges stopped again.
    void LinksRead();

    void LoadConfig();
    void SaveConfig();

    // The list's rows, kept sorted by caption.
    void AddRow(const TBridgeRow& row);
    void SetSelectedRow(const TBridgeRow& row);
    void DeleteSelectedRow();
    // Selects the row with that caption and scrolls it into view.
    void SelectRow(const std::string& caption);
    int SelectedIndex() const;
    std::string SelectedCaption() const;
    int RowCount() const;
    std::string RowText(int row, int column = 0) const;
    std::vector<std::string> Captions() const;
    // The state icon of a row (its image index) and its info tip.
    TLinkState RowState(int row) const;
    std::string RowTip(int row) const;
    void RefreshLinks();

    HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void CreateControls();
    void SetRowTexts(int row, const TBridgeRow& texts);
    void SortRows();
    void FitColumns();
    bool Running() const;
    int SelectedSlot() const;
    void ShowLogOnCheck();
    void OnCommand(int id, int code);
    LRESULT OnNotify(const NMHDR& header);

    std::vector<std::string> args_;
    TForm2* dialog_ = nullptr;
    HMENU menu_ = nullptr;
    HMENU fileMenu_ = nullptr;
    HMENU bridgeMenu_ = nullptr;
    HWND list_ = nullptr;
    controls::ImageList states_;  // stopped, waiting, connected
    std::unique_ptr<TLinkWatcher> links_;
    bool closed_ = false;
};

// Whether an edit must go through the setup tool: the port name, the baud-rate emulation or
// the write delay changed.
bool PairMustChange(const TBridge& edited, const std::string& oldCaption, bool oldEmulate, int oldTXDelay);
