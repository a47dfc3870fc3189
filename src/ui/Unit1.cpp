#include "ui/Unit1.h"

#include "config/config_store.h"
#include "tools/bridge_status.h"
#include "tools/command_line.h"
#include "tools/hub_control.h"
#include "tools/link_events.h"
#include "tools/runner.h"
#include "ui/Unit2.h"
#include "ui/app_info.h"
#include "ui/application.h"
#include "ui/notification_area.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

// Layout at 96 DPI.
constexpr int ClientWidth = 499, ClientHeight = 239;
constexpr int PortColumnWidth = 60, ServerPortColumnWidth = 70;

constexpr UINT_PTR LinkTimer = 1;
constexpr UINT LinkTimerMs = 1000;
constexpr UINT WM_LINKSREAD = WM_APP + 1;  // the link watcher finished a look

}  // namespace

TForm1::TForm1(std::vector<std::string> args) : args_(std::move(args)) {
    menu_ = ::CreateMenu();
    fileMenu_ = ::CreatePopupMenu();
    ::AppendMenuA(fileMenu_, MF_STRING, IdMenuLogOn, "Start bridges at &log-on");
    ::AppendMenuA(fileMenu_, MF_STRING, IdMenuNotify, "&Notify when a link drops");
    ::AppendMenuA(fileMenu_, MF_STRING, IdMenuShowLog, "Show connection &log");
    ::AppendMenuA(fileMenu_, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(fileMenu_, MF_STRING, IdMenuExit, "Exit");
    bridgeMenu_ = ::CreatePopupMenu();
    ::AppendMenuA(bridgeMenu_, MF_STRING, IdMenuAdd, "&Add");
    ::AppendMenuA(bridgeMenu_, MF_STRING | MF_GRAYED, IdMenuEdit, "&Edit");
    ::AppendMenuA(bridgeMenu_, MF_STRING | MF_GRAYED, IdMenuDelete, "&Delete");
    ::AppendMenuA(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(fileMenu_), "&File");
    ::AppendMenuA(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(bridgeMenu_), "Bridge");
    ::AppendMenuA(menu_, MF_STRING, IdMenuAbout, "A&bout");

    CreateFrame(ClassName, MainCaption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, ClientWidth,
                ClientHeight, nullptr, menu_);
    CenterWindow(hwnd_, nullptr);
    watcher_ = std::make_unique<TLinkWatcher>([window = hwnd_] { ::PostMessageA(window, WM_LINKSREAD, 0, 0); });
    CreateControls();
    Guarded([this] { FormCreate(); });
    RefreshLinks();
    tray_ = std::make_unique<TNotificationArea>(hwnd_, ParseSwitches(args_).tray,
                                                [this](int id) { Guarded([&] { OnCommand(id, BN_CLICKED); }); });
    tray_->LinksRead(LinksSeen(), Running(), false);
    ::SetTimer(hwnd_, LinkTimer, LinkTimerMs, nullptr);
    ShowLogOnCheck();
}

TForm1::~TForm1() {
    watcher_.reset();  // no look at the links may end after the window
    tray_.reset();  // the icon goes with the program
    if (hwnd_) ::DestroyWindow(hwnd_);  // before the icons the list shows
}

void TForm1::CreateControls() {
    AddControl("BUTTON", "Network Bridges ", BS_GROUPBOX, 8, 4, 483, 193, IdGroupBox);
    HWND list = AddControl(WC_LISTVIEWA, "",
                           WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                           16, 22, 378, 166, IdBridgeList);
    list_.Attach(list, Scale(PortColumnWidth), Scale(ServerPortColumnWidth));
    AddControl("BUTTON", "&Add", WS_TABSTOP | BS_PUSHBUTTON, 404, 22, 79, 25, IdAddButton);
    AddControl("BUTTON", "&Edit", WS_TABSTOP | BS_PUSHBUTTON, 404, 54, 79, 25, IdEditButton);
    AddControl("BUTTON", "&Delete", WS_TABSTOP | BS_PUSHBUTTON, 404, 86, 79, 25, IdDeleteButton);
    AddControl("BUTTON", "&Start bridges", WS_TABSTOP | BS_PUSHBUTTON, 8, 206, 113, 25, IdStartButton);
    AddControl("BUTTON", "St&op bridges", WS_TABSTOP | BS_PUSHBUTTON, 129, 206, 113, 25, IdButton2);
    ::EnableWindow(Control(IdEditButton), FALSE);
    ::EnableWindow(Control(IdDeleteButton), FALSE);
}

void TForm1::Show() {
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::UpdateWindow(hwnd_);
    ::SetFocus(list_.Handle());
}

void TForm1::FormCreate() {
    Application.HintHidePause = 30000;
    ClearBridges();
    LoadConfig();
    if (HubRunning()) SetRunning(true);
    DebugMode = HasDebugSwitch(args_);
}

void TForm1::LoadConfig() {
    LoadBridges([this](const TBridge& bridge) { AddRow(RowOf(bridge)); });
}

// ---- availability ----

void TForm1::SetRunning(bool running) {
    running_ = running;
    HWND button = Control(IdStartButton);
    const bool hadFocus = ::GetFocus() == button;
    ::EnableWindow(button, !running);
    if (hadFocus && running) ::SetFocus(Control(IdButton2));
}

void TForm1::Action1Execute() {
    HWND focus = ::GetFocus();  // before a disabled button loses it
    const bool running = Running();
    const BOOL add = !running && RowCount() < 10;
    ::EnableWindow(Control(IdAddButton), add);
    ::EnableMenuItem(bridgeMenu_, IdMenuAdd, MF_BYCOMMAND | (!running && add ? MF_ENABLED : MF_GRAYED));
    const BOOL change = !running && list_.SelectedCount() == 1;
    ::EnableWindow(Control(IdEditButton), change);
    ::EnableWindow(Control(IdDeleteButton), change);
    ::EnableMenuItem(bridgeMenu_, IdMenuEdit, MF_BYCOMMAND | (change ? MF_ENABLED : MF_GRAYED));
    ::EnableMenuItem(bridgeMenu_, IdMenuDelete, MF_BYCOMMAND | (change ? MF_ENABLED : MF_GRAYED));
    // A button that became unavailable while it had the focus (Add after the tenth bridge) hands
    // it to the list, so that the keyboard still reaches the window.
    if (focus && ::IsChild(hwnd_, focus) && !::IsWindowEnabled(focus)) ::SetFocus(list_.Handle());
}

// ---- commands ----

void TForm1::StartButtonClick() {
    const auto launched = [this] {
        SetRunning(true);
        watcher_->Restart();
        RefreshLinks();
    };
    const TOutcome started = StartBridges(Captions(), {ShowHubArguments, launched});
    tray_->Log({StartEvent(started.Done, started.Text == UnableToStartText)});
    ShowOutcome(hwnd_, started, MB_ICONEXCLAMATION);
}

void TForm1::Button2Click() {
    const TOutcome stopped = StopBridges();
    if (stopped) SetRunning(false);  // a hub that could not be ended still carries data
    if (stopped) tray_->Log({{"-", "-", "stopped"}});
    watcher_->Restart();
    RefreshLinks();
    ShowOutcome(hwnd_, stopped, MB_ICONEXCLAMATION);
}

void TForm1::AddButtonClick() { ShowOutcome(hwnd_, AddBridge(*this)); }

void TForm1::EditButtonClick() { ShowOutcome(hwnd_, EditBridge(SelectedCaption(), *this)); }

void TForm1::DeleteButtonClick() { ShowOutcome(hwnd_, DeleteBridge(SelectedCaption(), *this)); }

bool TForm1::EditInDialog(TBridge& scratch) {
    dialog_->Bind(scratch);
    return dialog_->ShowModal();
}

bool TForm1::ConfirmDelete() {
    return ::MessageBoxA(hwnd_, "Are you sure you want to delete this bridge?", "Please confirm",
                         MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TForm1::BridgeAdded(const TBridge& bridge) {
    AddRow(RowOf(bridge));
    list_.SelectRow(bridge.COM.str());
}

void TForm1::BridgeChanged(const TBridge& bridge) { SetSelectedRow(RowOf(bridge)); }

void TForm1::BridgeRemoved() { list_.DeleteSelectedRow(); }

// ---- link state ----

TLinkState TForm1::StateOf(const std::string& caption) const {
    const auto found = linkStates_.find(caption);
    return found == linkStates_.end() ? TLinkState::Stopped : found->second;
}

TLinkState TForm1::RowState(int row) const { return StateOf(RowText(row)); }

std::string TForm1::RowTip(int row) const {
    const TLinkTarget target = LinkTargetOf(RowText(row));
    return LinkTip(RowState(row), target.Host, target.Port);
}

void TForm1::RefreshLinks() {
    const std::vector<std::string> captions = Captions();
    std::vector<TLinkTarget> targets;
    for (const std::string& caption : captions) targets.push_back(LinkTargetOf(caption));
    const std::vector<TLinkState> states = watcher_->States(targets, Running());
    std::map<std::string, TLinkState> next;
    for (std::size_t row = 0; row < states.size(); ++row) {
        next[captions[row]] = states[row];
        if (StateOf(captions[row]) != states[row])
            list_.SetState(static_cast<int>(row), states[row]);
    }
    linkStates_ = std::move(next);
}

void TForm1::LinkTimerTick() {
    watcher_->Ask(Running());
    Action1Execute();
}

void TForm1::LinksRead() {
    // A hub that ended by itself stops the bridges; one started elsewhere (a script's -start)
    // runs them, as a start does.
    const std::optional<bool> hub = watcher_->HubSeen();
    const bool hubEnded = hub && !*hub && Running();
    if (hub && *hub != Running()) SetRunning(*hub);
    RefreshLinks();
    tray_->LinksRead(LinksSeen(), Running(), hubEnded);
    Action1Execute();
}

void TForm1::BridgeListDblClick() {
    if (::IsWindowEnabled(Control(IdEditButton))) EditButtonClick();
}

void TForm1::About1Click() { ::ShellExecuteA(hwnd_, "open", MakerUrl, nullptr, nullptr, SW_SHOWNORMAL); }

void TForm1::Hello1Click() {
    exiting_ = true;
    ::SendMessageA(hwnd_, WM_CLOSE, 0, 0);
}

// ---- messages ----

void TForm1::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;  // a menu entry sends the same code as a click
    switch (id) {
    case IDOK:  // Enter, turned into a command by the keyboard handling of the message loop
        if (::GetFocus() == list_.Handle()) BridgeListDblClick();
        break;
    case IdStartButton: StartButtonClick(); break;
    case IdButton2: Button2Click(); break;
    case IdAddButton:
    case IdMenuAdd: AddButtonClick(); break;
    case IdEditButton:
    case IdMenuEdit: EditButtonClick(); break;
    case IdDeleteButton:
    case IdMenuDelete: DeleteButtonClick(); break;
    case IdMenuAbout: About1Click(); break;
    case IdMenuExit: Hello1Click(); break;
    case IdMenuLogOn: LogOn1Click(); break;
    case IdMenuNotify: Notify1Click(); break;
    case IdMenuShowLog: ShowLog1Click(); break;
    case TNotificationArea::IdOpen: ShowInFront(); break;
    }
}

LRESULT TForm1::OnNotify(const NMHDR& header) {
    if (header.idFrom != IdBridgeList) return 0;
    switch (header.code) {
    case NM_CLICK: Action1Execute(); break;
    case NM_DBLCLK:
    case NM_RETURN: BridgeListDblClick(); break;
    case LVN_GETINFOTIPA: {
        auto& tip = const_cast<NMLVGETINFOTIPA&>(reinterpret_cast<const NMLVGETINFOTIPA&>(header));
        if (tip.cchTextMax > 0) ::lstrcpynA(tip.pszText, RowTip(tip.iItem).c_str(), tip.cchTextMax);
        break;
    }
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE &&
            ::IsWindowEnabled(Control(IdDeleteButton)))
            DeleteButtonClick();
        break;
    }
    return 0;
}

LRESULT TForm1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
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
