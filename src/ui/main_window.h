#pragma once
// The main window: the bridge list, the commands that change it, and starting and stopping
// the bridges. It keeps the run of the bridges and the state of each link; the list only shows them.
#include "config/bridge.h"
#include "config/config_store.h"
#include "tools/bridge_commands.h"
#include "tools/link_events.h"
#include "tools/link_watcher.h"
#include "tools/liveness.h"
#include "tools/run.h"
#include "ui/bridge_list.h"
#include "ui/ids.h"
#include "ui/window.h"

#include <cstdint>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

class TBridgeDialog;
class TNotificationArea;

class TMainWindow : public TWindow, private TBridgeView {
public:
    static constexpr char ClassName[] = "TForm1";

    // Creates the window and runs the start-up steps; args are the command-line arguments
    // without the program's own path.
    explicit TMainWindow(std::vector<std::string> args);
    ~TMainWindow() override;

    // The bridge dialog, created after this window.
    void SetDialog(TBridgeDialog* dialog) { dialog_ = dialog; }

    void Show();
    // Started with -tray and the icon shown: the window stays hidden, and closing it hides it.
    bool StaysInTray() const;
    // Restored and in front, as a click on the icon shows it.
    void ShowInFront();
    TNotificationArea& Tray() { return *tray_; }
    const bool* ClosedFlag() const { return &closed_; }

    void FormCreate();
    void StartButtonClick();
    void StopButtonClick();
    void AddButtonClick();
    void EditButtonClick();
    void DeleteButtonClick();
    void BridgeListDblClick();
    void UpdateAvailability();
    void AboutClick();
    void ExitClick();
    void LogOnClick();
    void NotifyClick();
    void ShowLogClick();
    void CheckServersClick();
    // Each second: the availability rules, and a new look at the links and the hub.
    void LinkTimerTick();
    // After each look: a hub that ended by itself makes the bridges stopped, a hub started
    // elsewhere makes them run, and the links' states follow.
    void LinksRead();

    void LoadConfig();
    // Loads the stored bridges anew when anything under the program's key changed since (an
    // edit, an import, another copy, a script's start), unless a command of the user's is open.
    void FollowStoredBridges();

    // Takes whether the bridges run; the Start button shows it to the user.
    void SetRunning(bool running);

    // The list's rows: the bridges of these slots of the table.
    void AddRow(int slot) { list_.AddRow(slot, links_.Of(slot).State); }
    TBridgeList& List() { return list_; }
    // The tip of a bridge's row, and every row's tip where the row is now.
    std::string RowTip(int slot) const;
    void ShowTips();

    HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }
    // What the status bar says: the selected bridge's device end, or the whole set's.
    std::string StatusText() const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void CreateControls();
    bool CanAdd() const;
    bool CanChange() const;
    // Looks at the links as the watcher last saw them and shows these events with what the
    // look found, in the list, the icon, the log and the notes.
    void LookAtLinks(std::vector<TLinkEvent> events);
    // Takes the starts and stops of every copy so far as seen: after this window's own.
    void TakeStartsAndStops();
    // After a start or stop of the user's or of another copy: what the watcher saw may be from
    // before, so it looks anew. Which hosts answer is kept for the program's run.
    void LookAfresh();
    // Starts the hub anew so that a dead link is made anew; at most once a minute, and only
    // while the bridges run and no other start or stop came since the last look.
    void RestartHub();
    // The check of the servers switched: nothing judged so far counts, and switched off, the
    // links not answering are shown connected, with no restart and no line in the log.
    void ClearJudgements();
    void ShowLogOnCheck();
    // The status bar's text anew, set only when it changed.
    void ShowStatus();
    void OnCommand(int id, int code);
    LRESULT OnNotify(const NMHDR& header);

    bool EditInDialog(TBridge& scratch, int slot) override;
    bool ConfirmDelete() override;
    void BridgeAdded(int slot) override;
    void BridgeChanged(int slot) override;
    void BridgeRemoved(int slot) override;

    std::vector<std::string> args_;
    std::unique_ptr<TStoredChanges> storedChanges_;
    bool storedChanged_ = false;
    bool commandOpen_ = false;  // an add, edit or delete, whose dialog or boxes may be showing
    TBridgeDialog* dialog_ = nullptr;
    HMENU fileMenu_ = nullptr, bridgeMenu_ = nullptr;  // the menu bar's, which the window owns
    TBridgeList list_;
    HWND status_ = nullptr;
    std::string statusShown_;
    std::map<int, std::optional<platform::HubLink>> deviceEnds_;  // by slot, from the hub's record at the last look
    bool hubCounted_ = false;  // the hub keeps a record
    std::unique_ptr<TLinkWatcher> watcher_;
    TRun run_;
    TLinks links_;
    TLiveness liveness_;
    bool checkServers_ = true;
    std::vector<std::uint32_t> connectedHosts_;  // the hosts of the connected bridges at the last look
    bool checksRefused_ = false;  // the system refused the last round of echoes
    bool recordUnread_ = false;  // a running hub's record could not be taken as its own, and the log said so
    std::uint32_t nameNotFound_ = 0;  // a bit per slot: its server's name was not found at the last look
    std::uint32_t seenStartsAndStops_ = 0;
    std::unique_ptr<TNotificationArea> tray_;
    bool exiting_ = false;  // File / Exit: the window closes even when it stays in the tray
    bool closed_ = false;
};
