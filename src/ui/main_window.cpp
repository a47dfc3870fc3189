#include "ui/main_window.h"

#include "config/config_store.h"
#include "tools/bridge_status.h"
#include "tools/command_line.h"
#include "tools/device_end.h"
#include "tools/hub_args.h"
#include "tools/hub_control.h"
#include "tools/link_log.h"
#include "tools/runner.h"
#include "ui/app_info.h"
#include "ui/application.h"
#include "ui/bridge_dialog.h"
#include "ui/notification_area.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

namespace {

// Layout at 96 DPI: the controls, then the status bar below them.
constexpr int ClientWidth = 499, ControlsHeight = 239, StatusBarHeight = 22;
constexpr int ClientHeight = ControlsHeight + StatusBarHeight;

constexpr UINT_PTR LinkTimer = 1;
constexpr UINT LinkTimerMs = 1000;

constexpr int MaxBridges = LastSlot - FirstSlot + 1;

std::int64_t NowMs() { return static_cast<std::int64_t>(::GetTickCount64()); }

std::string TimeOfDay() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return LogTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond).substr(11);  // "14:02:11"
}

}  // namespace

TMainWindow::TMainWindow(std::vector<std::string> args) : args_(std::move(args)) {
    platform::Menu bar(::CreateMenu());  // with its menus, until the window owns it
    fileMenu_ = ::CreatePopupMenu();
    ::AppendMenuA(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(fileMenu_), "&File");
    ::AppendMenuA(fileMenu_, MF_STRING, IdMenuLogOn, "Start bridges at &log-on");
    ::AppendMenuA(fileMenu_, MF_STRING, IdMenuNotify, "&Notify when a link drops");
    ::AppendMenuA(fileMenu_, MF_STRING, IdMenuCheckServers, "Check that servers &answer");
    ::AppendMenuA(fileMenu_, MF_STRING, IdMenuShowLog, "&Show connection log");
    ::AppendMenuA(fileMenu_, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(fileMenu_, MF_STRING, IdMenuExit, "Exit");
    bridgeMenu_ = ::CreatePopupMenu();
    ::AppendMenuA(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(bridgeMenu_), "Bridge");
    ::AppendMenuA(bridgeMenu_, MF_STRING, IdMenuAdd, "&Add");
    ::AppendMenuA(bridgeMenu_, MF_STRING | MF_GRAYED, IdMenuEdit, "&Edit");
    ::AppendMenuA(bridgeMenu_, MF_STRING | MF_GRAYED, IdMenuDelete, "&Delete");
    ::AppendMenuA(bar.get(), MF_STRING, IdMenuAbout, "A&bout");

    CreateFrame(ClassName, MainCaption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, ClientWidth,
                ClientHeight, nullptr, bar.get());
    bar.release();
    CenterWindow(hwnd_, nullptr);
    watcher_ = std::make_unique<TLinkWatcher>([window = hwnd_] { ::PostMessageA(window, WM_LINKSREAD, 0, 0); });
    CreateControls();
    TakeStartsAndStops();
    Guarded([this] { FormCreate(); });
    tray_ = std::make_unique<TNotificationArea>(hwnd_, ParseSwitches(args_).tray, run_,
                                                [this](int id) { Guarded([&] { OnCommand(id, BN_CLICKED); }); });
    // This copy started the bridges before its window: its first look tells their links as a
    // start's does, where a window that only opens takes them as they are.
    if (ParseSwitches(args_).action == TSwitch::Start) links_.TakeAsStopped(list_.Slots());
    LookAtLinks({});
    ::SetTimer(hwnd_, LinkTimer, LinkTimerMs, nullptr);
    ShowLogOnCheck();
}

TMainWindow::~TMainWindow() {
    watcher_.reset();  // no look at the links may end after the window
    tray_.reset();  // the icon goes with the program
    if (hwnd_) ::DestroyWindow(hwnd_);  // before the icons the list shows
}

void TMainWindow::CreateControls() {
    AddControl("BUTTON", "Network Bridges ", BS_GROUPBOX, 8, 4, 483, 193, IdGroupBox);
    HWND list = AddControl(WC_LISTVIEWA, "",
                           WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                           16, 22, 378, 166, IdBridgeList);
    list_.Attach(list, Dpi());
    AddControl("BUTTON", "&Add", WS_TABSTOP | BS_PUSHBUTTON, 404, 22, 79, 25, IdAddButton);
    AddControl("BUTTON", "&Edit", WS_TABSTOP | BS_PUSHBUTTON, 404, 54, 79, 25, IdEditButton);
    AddControl("BUTTON", "&Delete", WS_TABSTOP | BS_PUSHBUTTON, 404, 86, 79, 25, IdDeleteButton);
    AddControl("BUTTON", "&Start bridges", WS_TABSTOP | BS_PUSHBUTTON, 8, 206, 113, 25, IdStartButton);
    AddControl("BUTTON", "St&op bridges", WS_TABSTOP | BS_PUSHBUTTON, 129, 206, 113, 25, IdStopButton);
    // The status bar: the selected bridge's device end, or the whole set's.
    status_ = AddControl(STATUSCLASSNAMEA, "", CCS_NORESIZE | CCS_NOPARENTALIGN, 0, ControlsHeight, ClientWidth,
                         StatusBarHeight, IdStatusBar);
    ::EnableWindow(Control(IdEditButton), FALSE);
    ::EnableWindow(Control(IdDeleteButton), FALSE);
}

void TMainWindow::Show() {
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::UpdateWindow(hwnd_);
    ::SetFocus(list_.Handle());
}

bool TMainWindow::StaysInTray() const { return tray_ && tray_->Stays(); }

void TMainWindow::ShowInFront() {
    ::ShowWindow(hwnd_, ::IsIconic(hwnd_) ? SW_RESTORE : SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd_);
}

void TMainWindow::FormCreate() {
    Application.HintHidePause = 30000;
    checkServers_ = ReadCheckServersSetting();
    storedChanges_ = std::make_unique<TStoredChanges>();  // before the load, so no change goes unseen
    ClearBridges();
    LoadConfig();
    if (TRun::HubFound()) SetRunning(true);
    DebugMode = HasDebugSwitch(args_);
}

void TMainWindow::LoadConfig() {
    LoadBridges([this](const TBridge& bridge) { AddRow(SlotNumber(bridge)); });
}

void TMainWindow::FollowStoredBridges() {
    storedChanged_ = storedChanged_ || (storedChanges_ && storedChanges_->Changed());
    if (!storedChanged_ || commandOpen_ || BoxOpen()) return;  // a box of its own at a time
    storedChanged_ = false;
    const int selected = list_.SelectedSlot();
    list_.Clear();
    ClearBridges();
    LoadConfig();
    if (selected != NoSlot) list_.SelectRow(selected);
    ShowTips();
}

// ---- availability ----

void TMainWindow::SetRunning(bool running) {
    run_.Take(running);
    HWND button = Control(IdStartButton);
    const bool hadFocus = ::GetFocus() == button;
    ::EnableWindow(button, !running);
    if (hadFocus && running) ::SetFocus(Control(IdStopButton));
}

bool TMainWindow::CanAdd() const { return !run_.Running() && list_.RowCount() < MaxBridges; }

bool TMainWindow::CanChange() const { return !run_.Running() && list_.SelectedCount() == 1; }

void TMainWindow::UpdateAvailability() {
    const bool add = CanAdd(), change = CanChange();
    // A button that becomes unavailable while it has the focus (Add after the tenth bridge)
    // hands it to the list, so that the keyboard still reaches the window.
    HWND focus = ::GetFocus();
    if ((!add && focus == Control(IdAddButton)) ||
        (!change && (focus == Control(IdEditButton) || focus == Control(IdDeleteButton))))
        ::SetFocus(list_.Handle());
    ::EnableWindow(Control(IdAddButton), add);
    ::EnableWindow(Control(IdEditButton), change);
    ::EnableWindow(Control(IdDeleteButton), change);
    ::EnableMenuItem(bridgeMenu_, IdMenuAdd, MF_BYCOMMAND | (add ? MF_ENABLED : MF_GRAYED));
    ::EnableMenuItem(bridgeMenu_, IdMenuEdit, MF_BYCOMMAND | (change ? MF_ENABLED : MF_GRAYED));
    ::EnableMenuItem(bridgeMenu_, IdMenuDelete, MF_BYCOMMAND | (change ? MF_ENABLED : MF_GRAYED));
}

// ---- commands ----

void TMainWindow::StartButtonClick() {
    FollowStoredBridges();  // what is stored now
    if (AllSwitchedOff(list_.Slots())) {  // a start of no bridge is a stop
        StopButtonClick();
        if (!run_.Running()) ShowOutcome(hwnd_, TOutcome::Failure(AllOffText), MB_ICONINFORMATION);
        return;
    }
    const auto launched = [this] {
        SetRunning(true);
        LookAfresh();
    };
    const TOutcome started = StartBridges(list_.Slots(), {ShowHubArguments, launched});
    TakeStartsAndStops();
    LookAtLinks(StartEvents(started));
    ShowOutcome(hwnd_, started, MB_ICONEXCLAMATION);
}

void TMainWindow::StopButtonClick() {
    bool ended = false;
    const TOutcome stopped = StopBridges(&ended);
    TakeStartsAndStops();
    if (stopped) SetRunning(false);  // a hub that could not be ended still carries data
    LookAfresh();
    LookAtLinks(stopped && ended ? std::vector<TLinkEvent>{{TEventKind::Stopped}} : std::vector<TLinkEvent>{});
    ShowOutcome(hwnd_, stopped, MB_ICONEXCLAMATION);
}

namespace {

// Marks a command of the user's as open for as long as it runs.
class TCommandOpen {
public:
    explicit TCommandOpen(bool& open) : open_(open), was_(open) { open_ = true; }
    ~TCommandOpen() { open_ = was_; }
    TCommandOpen(const TCommandOpen&) = delete;
    TCommandOpen& operator=(const TCommandOpen&) = delete;

private:
    bool& open_;
    bool was_;
};

}  // namespace

void TMainWindow::AddButtonClick() {
    const TCommandOpen open(commandOpen_);
    ShowOutcome(hwnd_, AddBridge(*this));
}

void TMainWindow::EditButtonClick() {
    const TCommandOpen open(commandOpen_);
    ShowOutcome(hwnd_, EditBridge(list_.SelectedSlot(), *this));
}

void TMainWindow::DeleteButtonClick() {
    const TCommandOpen open(commandOpen_);
    ShowOutcome(hwnd_, DeleteBridge(list_.SelectedSlot(), *this));
}

bool TMainWindow::EditInDialog(TBridge& scratch, int slot) {
    dialog_->Bind(scratch, slot);
    return dialog_->ShowModal();
}

bool TMainWindow::ConfirmDelete() {
    return ShowBox(hwnd_, "Are you sure you want to delete this bridge?", "Please confirm",
                   MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TMainWindow::BridgeAdded(int slot) {
    AddRow(slot);
    list_.SelectRow(slot);
    ShowTips();
}

void TMainWindow::BridgeChanged(int slot) {
    list_.UpdateRow(slot, links_.Of(slot).State);
    ShowTips();
}

void TMainWindow::BridgeRemoved(int slot) {
    list_.DeleteRow(slot);
    ShowTips();
}

void TMainWindow::ShowTips() { list_.ShowTips([this](int slot) { return RowTip(slot); }); }

void TMainWindow::BridgeListDblClick() {
    if (CanChange()) EditButtonClick();
}

void TMainWindow::AboutClick() { ::ShellExecuteA(hwnd_, "open", MakerUrl, nullptr, nullptr, SW_SHOWNORMAL); }

void TMainWindow::ExitClick() {
    exiting_ = true;
    ::SendMessageA(hwnd_, WM_CLOSE, 0, 0);
}

// ---- the links ----

std::string TMainWindow::RowTip(int slot) const {
    if (IsUnread(slot)) return UnreadReason(slot);
    const TLinkTarget target = LinkTargetOf(slot);
    const TLinkRecord& link = links_.Of(slot);
    if (link.State == TLinkState::Waiting && (nameNotFound_ >> slot & 1)) return NameNotFoundTip(target.Host);
    const std::string told = EntryTip(link.State, link.Entry, ServerText(target), Bridges[slot].COM.str());
    const std::string tip =
        !told.empty() ? told : LinkTip(link.State, target.Host, target.Port, link.SinceTime, Bridges[slot].Rfc2217);
    // What the device end carried, from the hub's record, in the same line.
    const auto end = deviceEnds_.find(slot);
    if (!run_.Running() || !Bridges[slot].Enabled || end == deviceEnds_.end() || !end->second) return tip;
    return tip + "; " + DeviceEndFacts(*end->second, NowMs());
}

std::string TMainWindow::StatusText() const {
    const std::vector<int> slots = Readable(list_.Slots());
    const int selected = list_.SelectedSlot();
    if (selected != NoSlot && !IsUnread(selected)) {
        const std::string server = ServerText(LinkTargetOf(selected));
        const TBridge& bridge = Bridges[selected];
        if (!run_.Running()) return StoredBridgeText(server, bridge.Rfc2217, bridge.Baud);
        if (!bridge.Enabled) return server + "; switched off";
        const auto end = deviceEnds_.find(selected);
        return DeviceEndText(server, end == deviceEnds_.end() ? std::nullopt : end->second, NowMs());
    }
    TDeviceTotals totals;
    totals.Running = run_.Running();
    totals.Counted = hubCounted_;
    for (int slot : slots) {
        if (!Bridges[slot].Enabled) continue;
        ++totals.Bridges;
        if (links_.Of(slot).State == TLinkState::Connected) ++totals.Connected;
        const auto end = deviceEnds_.find(slot);
        if (end == deviceEnds_.end() || !end->second) continue;
        totals.Sent += end->second->Sent;
        totals.Received += end->second->Received;
    }
    return TotalsText(totals);
}

void TMainWindow::ShowStatus() {
    std::string text = StatusText();
    if (text == statusShown_) return;
    ::SendMessageA(status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    statusShown_ = std::move(text);
}

void TMainWindow::LookAtLinks(std::vector<TLinkEvent> events) {
    const std::vector<int> slots = Readable(list_.Slots());  // a row that could not be read has no link
    std::vector<TLinkTarget> targets;
    for (int slot : slots) targets.push_back(LinkTargetOf(slot));
    // Echoes the system refuses tell nothing of the hosts: said once, and tried again each minute.
    const TEchoRound round = watcher_->TakeEchoes();
    if (!round.Refused.empty()) {
        if (!checksRefused_) events.push_back({TEventKind::ChecksRefused, 0, {}, {}, -1, round.Refused});
        checksRefused_ = true;
    } else if (!round.Echoes.empty()) {
        if (checksRefused_) events.push_back({TEventKind::ChecksWork});
        checksRefused_ = false;
        liveness_.Take(round.Echoes);
    }
    // A hub's record that is not its own is not read: said once, until it is read again.
    if (const std::optional<platform::HubRecordProblem> problem = watcher_->RecordProblem()) {
        const bool unread = *problem != platform::HubRecordProblem::None;
        if (unread && !recordUnread_)
            events.push_back({TEventKind::RecordUnread, 0, {}, {}, -1,
                              *problem == platform::HubRecordProblem::OtherVersion ? "it is of another version" : "it names another process"});
        recordUnread_ = unread;
    }
    const std::vector<TLinkLook> looks = watcher_->Looks(targets, run_);
    std::vector<TLinkSeen> seen;
    connectedHosts_.clear();
    nameNotFound_ = 0;
    hubCounted_ = std::any_of(looks.begin(), looks.end(), [](const TLinkLook& look) { return look.Counted; });
    std::map<int, std::optional<platform::HubLink>> ends;
    for (std::size_t row = 0; row < slots.size(); ++row) {
        const TLinkLook& look = looks[row];
        if (look.Counted) ends[slots[row]] = look.Entry;
        else ends[slots[row]] = std::nullopt;
        const auto before = deviceEnds_.find(slots[row]);
        if (look.Counted)
            if (std::optional<std::string> taken = NewlyAcknowledged(
                    before != deviceEnds_.end() && before->second ? *before->second : platform::HubLink{}, look.Entry))
                events.push_back({TEventKind::SettingsTaken, slots[row], {}, {}, -1, *taken});
        if (look.NameNotFound) nameNotFound_ |= 1u << slots[row];
        const TBridge& bridge = Bridges[slots[row]];
        const TLinkState state = bridge.Enabled ? look.State : TLinkState::Off;  // off: not on the hub's line
        const bool dead = checkServers_ && state == TLinkState::Connected && look.Address &&
                          liveness_.NotAnswering(*look.Address);
        if (state == TLinkState::Connected && look.Address) connectedHosts_.push_back(*look.Address);
        seen.push_back({slots[row], bridge.COM.str(), ServerText(targets[row]), state, !dead, look.LocalPort,
                        bridge.Name.str(), look.Address ? liveness_.LastAnswerMs(*look.Address) : 0, look.Entry});
    }
    deviceEnds_ = std::move(ends);
    // Until the watcher's first look since a start, links that ran are as they were (a window that
    // opens takes them from that look); links of stopped bridges wait at once.
    if (!run_.Running() || links_.AllStopped() || watcher_->HubSeen()) {
        const std::vector<TLinkEvent> found = links_.Look(NowMs(), seen, TimeOfDay());
        events.insert(events.end(), found.begin(), found.end());
    }

    std::uint32_t notAnswering = 0;
    for (int slot : slots)
        if (links_.Of(slot).State == TLinkState::NotAnswering) notAnswering |= 1u << slot;
    PublishNotAnswering(notAnswering);
    bool restart = false;
    for (const TLinkEvent& event : events) {
        if (event.Kind == TEventKind::LinkChanged || event.Kind == TEventKind::Unjudged)
            list_.SetState(event.Slot, event.To);
        restart = restart || event.Kind == TEventKind::RestartWanted;
    }
    tray_->Show(events, links_);
    ShowStatus();
    ShowTips();
    if (restart) RestartHub();
}

void TMainWindow::RestartHub() {
    // Held back while a start or stop runs elsewhere: the wish stands until it ends.
    if (!run_.Running() || !StartsAndStops() || !liveness_.MayRestart(NowMs())) return;
    FollowStoredBridges();
    bool superseded = false;
    TStartSteps steps{nullptr, [this] { watcher_->Restart(); }};
    steps.Seen = seenStartsAndStops_;
    steps.Superseded = &superseded;
    const TOutcome started = StartBridges(list_.Slots(), steps);
    if (superseded) return;  // stopped or started elsewhere meanwhile: the next look takes that
    TakeStartsAndStops();
    if (!started) SetRunning(TRun::HubFound());  // a refused start left the hub alone
    LookAtLinks({started ? TLinkEvent{TEventKind::Restarted} : StartEvent(false, started.Failed, started.Text)});
}

void TMainWindow::LinkTimerTick() {
    std::vector<std::uint32_t> hosts = checkServers_ && run_.Running()
                                           ? liveness_.DueUnlessRefused(NowMs(), connectedHosts_, checksRefused_)
                                           : std::vector<std::uint32_t>{};
    watcher_->Ask(run_.Running(), std::move(hosts));
    UpdateAvailability();
}

void TMainWindow::LookAfresh() { watcher_->Restart(); }

void TMainWindow::ClearJudgements() {
    liveness_.ClearJudgements();  // on again, each host must miss anew
    if (!checkServers_) LookAtLinks(links_.Unjudge(NowMs(), TimeOfDay()));
}

void TMainWindow::TakeStartsAndStops() {
    const std::optional<TStartsAndStops> done = StartsAndStops();
    if (done && done->Known) seenStartsAndStops_ = done->Count;
}

void TMainWindow::LinksRead() {
    // A start or stop of another copy (a script's switch) made since is taken as what it was;
    // otherwise a hub that ended stops the bridges, and one that appeared runs them. While a
    // start or stop runs, here or in another copy, only the links are looked at.
    const std::optional<TStartsAndStops> done = StartsAndStops();
    FollowStoredBridges();
    std::vector<TLinkEvent> events;
    const std::optional<bool> hub = watcher_->HubSeen();
    if (done && done->Known && done->Count != seenStartsAndStops_) {
        seenStartsAndStops_ = done->Count;
        SetRunning(done->Running);
        LookAfresh();
        events.push_back({done->Running ? TEventKind::StartedElsewhere : TEventKind::StoppedElsewhere});
    } else if (done && hub && *hub != run_.Running()) {
        SetRunning(*hub);
        // Without the record a hub that is gone may have been stopped by another copy: it is
        // told as a stop, never as the hub's own end.
        const TEventKind gone = done->Known ? TEventKind::HubEnded : TEventKind::StoppedElsewhere;
        events.push_back({*hub ? TEventKind::HubAppeared : gone});
    }
    LookAtLinks(std::move(events));
    UpdateAvailability();
}

// ---- messages ----

void TMainWindow::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;  // a menu entry sends the same code as a click
    switch (id) {
    case IDOK:  // Enter, turned into a command by the keyboard handling of the message loop
        if (::GetFocus() == list_.Handle()) BridgeListDblClick();
        break;
    case IdStartButton: StartButtonClick(); break;
    case IdStopButton: StopButtonClick(); break;
    case IdAddButton:
    case IdMenuAdd: AddButtonClick(); break;
    case IdEditButton:
    case IdMenuEdit: EditButtonClick(); break;
    case IdDeleteButton:
    case IdMenuDelete: DeleteButtonClick(); break;
    case IdMenuAbout: AboutClick(); break;
    case IdMenuExit: ExitClick(); break;
    case IdMenuLogOn: LogOnClick(); break;
    case IdMenuNotify: NotifyClick(); break;
    case IdMenuShowLog: ShowLogClick(); break;
    case IdMenuCheckServers: CheckServersClick(); break;
    case IdMenuOpen: ShowInFront(); break;
    }
}

LRESULT TMainWindow::OnNotify(const NMHDR& header) {
    if (header.idFrom != IdBridgeList) return 0;
    switch (header.code) {
    case NM_CLICK: UpdateAvailability(); break;
    case LVN_ITEMCHANGED: ShowStatus(); break;
    case NM_DBLCLK:
    case NM_RETURN: BridgeListDblClick(); break;
    case LVN_ENDSCROLL: ShowTips(); break;  // the rows moved
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE && CanChange()) DeleteButtonClick();
        break;
    }
    return 0;
}

LRESULT TMainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (tray_ && tray_->HandleMessage(msg, wp, lp)) return 0;
    switch (msg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_CLOSE:  // started with -tray, the window only hides; File / Exit ends the program
        if (exiting_ || !StaysInTray()) break;
        ::ShowWindow(hwnd_, SW_HIDE);
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lp));
    case WM_INITMENUPOPUP:  // the Run key may have been changed meanwhile
        if (reinterpret_cast<HMENU>(wp) == fileMenu_) ShowLogOnCheck();
        return 0;
    case WM_ACTIVATE:
        KeepFocusAcrossActivation(wp, list_.Handle());
        return 0;
    case WM_TIMER:
        if (wp == LinkTimer) LinkTimerTick();
        return 0;
    case WM_LINKSREAD:
        LinksRead();
        return 0;
    case WM_DESTROY:
        closed_ = true;
        return 0;
    }
    return TWindow::HandleMessage(msg, wp, lp);
}
