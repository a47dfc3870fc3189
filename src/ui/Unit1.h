#pragma once
// The main window: the bridge list, the commands that change it, and starting and stopping
// the bridges. It keeps whether the bridges run and the state of each link; the list only shows them.
#include "config/bridge.h"
#include "tools/bridge_commands.h"
#include "tools/link_events.h"
#include "tools/link_watcher.h"
#include "ui/bridge_list.h"
#include "ui/window.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class TForm2;
class TNotificationArea;

class TForm1 : public TWindow, private TBridgeView {
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
        IdMenuNotify,
        IdMenuShowLog,
    };

    static constexpr char ClassName[] = "TForm1";

    // Creates the window and runs the start-up steps; args are the command-line arguments
    // without the program's own path.
    explicit TForm1(std::vector<std::string> args);
    ~TForm1() override;

    // The bridge dialog, created after this window.
    void SetDialog(TForm2* dialog) { dialog_ = dialog; }

    void Show();
    // Started with -tray and the icon shown: the window stays hidden, and closing it hides it.
    bool StaysInTray() const;
    // Restored and in front, as a click on the icon shows it.
    void ShowInFront();
    const TNotificationArea& Tray() const { return *tray_; }
    TNotificationArea& Tray() { return *tray_; }
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
    void Notify1Click();
    void ShowLog1Click();
    // Each second: the availability rules, and a new look at the links and the hub.
    void LinkTimerTick();
    // After each look: the link state of every row; a hub that ended by itself makes the
    // bridges stopped, a hub started elsewhere makes them run.
    void LinksRead();

    void LoadConfig();

    // Whether the bridges run; the Start button shows it to the user.
    bool Running() const { return running_; }
    void SetRunning(bool running);

    // The list's rows, kept sorted by caption.
    void AddRow(const TBridgeRow& row) { list_.AddRow(row, StateOf(row.Caption)); }
    void SetSelectedRow(const TBridgeRow& row) { list_.SetSelectedRow(row, StateOf(row.Caption)); }
    void DeleteSelectedRow() { list_.DeleteSelectedRow(); }
    std::string SelectedCaption() const { return list_.SelectedCaption(); }
    int RowCount() const { return list_.RowCount(); }
    std::string RowText(int row, int column = 0) const { return list_.RowText(row, column); }
    std::vector<std::string> Captions() const { return list_.Captions(); }
    // The link state a row shows and its info tip.
    TLinkState RowState(int row) const;
    std::string RowTip(int row) const;
    void RefreshLinks();

    HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void CreateControls();
    TLinkState StateOf(const std::string& caption) const;
    void ShowLogOnCheck();
    std::vector<TLinkSeen> LinksSeen() const;
    void OnCommand(int id, int code);
    LRESULT OnNotify(const NMHDR& header);

    bool EditInDialog(TBridge& scratch) override;
    bool ConfirmDelete() override;
    void BridgeAdded(const TBridge& bridge) override;
    void BridgeChanged(const TBridge& bridge) override;
    void BridgeRemoved() override;

    std::vector<std::string> args_;
    TForm2* dialog_ = nullptr;
    HMENU menu_ = nullptr;
    HMENU fileMenu_ = nullptr;
    HMENU bridgeMenu_ = nullptr;
    TBridgeList list_;
    std::unique_ptr<TLinkWatcher> watcher_;
    bool running_ = false;
    std::map<std::string, TLinkState> linkStates_;  // by caption, from the watcher's last look
    std::unique_ptr<TNotificationArea> tray_;
    bool exiting_ = false;  // File / Exit: the window closes even when it stays in the tray
    bool closed_ = false;
};
