#include "ui/Unit1.h"

#include "config/config_store.h"
#include "platform/module.h"
#include "tools/bridge_status.h"
#include "tools/hub_control.h"
#include "tools/port_pairs.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"
#include "ui/Unit2.h"
#include "ui/app_info.h"
#include "ui/application.h"
#include "ui/controls.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

namespace {

const char InstallFailedText[] =
    "Unable to create COM port! The port may be in use.\r\nPlease try with another port number.";
const char ChangeFailedText[] = "Unable to change COM port! The port may be in use.";
const char RemoveFailedText[] = "Unable to remove COM port!";

// Layout at 96 DPI.
constexpr int ClientWidth = 499, ClientHeight = 239;
constexpr int PortColumnWidth = 60, ServerPortColumnWidth = 70;

enum Column { ColPort, ColServerIP, ColServerPort, ColName };

constexpr UINT_PTR LinkTimer = 1;
constexpr UINT LinkTimerMs = 1000;
constexpr UINT WM_LINKSREAD = WM_APP + 1;  // the link watcher finished a look

// The three state icons, drawn as dots: grey for stopped, amber for waiting, green for connected.
HIMAGELIST MakeStateIcons(int size) {
    HIMAGELIST icons = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 3, 0);
    const COLORREF transparent = RGB(255, 0, 255);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    for (COLORREF colour : {RGB(160, 160, 160), RGB(230, 160, 0), RGB(0, 170, 60)}) {
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, size, size);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        HBRUSH back = ::CreateSolidBrush(transparent);
        RECT all{0, 0, size, size};
        ::FillRect(dc, &all, back);
        ::DeleteObject(back);
        HBRUSH fill = ::CreateSolidBrush(colour);
        HGDIOBJ oldBrush = ::SelectObject(dc, fill);
        HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
        const int inset = size / 5;
        ::Ellipse(dc, inset, inset, size - inset + 1, size - inset + 1);
        ::SelectObject(dc, oldPen);
        ::SelectObject(dc, oldBrush);
        ::DeleteObject(fill);
        ::SelectObject(dc, old);
        ImageList_AddMasked(icons, bitmap, transparent);
        ::DeleteObject(bitmap);
    }
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return icons;
}

int CALLBACK CompareItems(LPARAM a, LPARAM b, LPARAM captions) {
    const auto& texts = *reinterpret_cast<const std::vector<std::string>*>(captions);
    return CompareCaptions(texts[static_cast<std::size_t>(a)], texts[static_cast<std::size_t>(b)]);
}

}  // namespace

bool PairMustChange(const TBridge& edited, const std::string& oldCaption, bool oldEmulate, int oldTXDelay) {
    return edited.COM != oldCaption || edited.Emulate != oldEmulate || edited.TXDelay != oldTXDelay;
}

TForm1::TForm1(std::vector<std::string> args) : args_(std::move(args)) {
    menu_ = ::CreateMenu();
    fileMenu_ = ::CreatePopupMenu();
    ::AppendMenuA(fileMenu_, MF_STRING, IdMenuLogOn, "Start bridges at &log-on");
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
    links_ = std::make_unique<TLinkWatcher>([window = hwnd_] { ::PostMessageA(window, WM_LINKSREAD, 0, 0); });
    CreateControls();
    Guarded([this] { FormCreate(); });
    RefreshLinks();
    ::SetTimer(hwnd_, LinkTimer, LinkTimerMs, nullptr);
    ShowLogOnCheck();
}

TForm1::~TForm1() {
    links_.reset();  // no look at the links may end after the window
    if (hwnd_) ::DestroyWindow(hwnd_);  // before the icons the list shows
}

void TForm1::CreateControls() {
    AddControl("BUTTON", "Network Bridges ", BS_GROUPBOX, 8, 4, 483, 193, IdGroupBox);
    list_ = AddControl(WC_LISTVIEWA, "",
                       WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                       16, 22, 378, 166, IdBridgeList);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    states_.reset(MakeStateIcons(::GetSystemMetrics(SM_CXSMICON)));
    ListView_SetImageList(list_, states_.get(), LVSIL_SMALL);
    const char* titles[] = {"Port", "Server IP", "Server Port", "Name"};
    for (int i = 0; i < 4; ++i) controls::AddColumn(list_, i, titles[i], Scale(PortColumnWidth));
    FitColumns();

    AddControl("BUTTON", "&Add", WS_TABSTOP | BS_PUSHBUTTON, 404, 22, 79, 25, IdAddButton);
    AddControl("BUTTON", "&Edit", WS_TABSTOP | BS_PUSHBUTTON, 404, 54, 79, 25, IdEditButton);
    AddControl("BUTTON", "&Delete", WS_TABSTOP | BS_PUSHBUTTON, 404, 86, 79, 25, IdDeleteButton);
    AddControl("BUTTON", "&Start bridges", WS_TABSTOP | BS_PUSHBUTTON, 8, 206, 113, 25, IdStartButton);
    AddControl("BUTTON", "St&op bridges", WS_TABSTOP | BS_PUSHBUTTON, 129, 206, 113, 25, IdButton2);
    ::EnableWindow(Control(IdEditButton), FALSE);
    ::EnableWindow(Control(IdDeleteButton), FALSE);
}

// The two text columns share what the fixed ones leave.
void TForm1::FitColumns() {
    RECT r;
    ::GetClientRect(list_, &r);
    const int fixed = Scale(PortColumnWidth) + Scale(ServerPortColumnWidth);
    const int rest = std::max(0, static_cast<int>(r.right - r.left) - fixed);
    ListView_SetColumnWidth(list_, ColPort, Scale(PortColumnWidth));
    ListView_SetColumnWidth(list_, ColServerIP, rest / 2);
    ListView_SetColumnWidth(list_, ColServerPort, Scale(ServerPortColumnWidth));
    ListView_SetColumnWidth(list_, ColName, rest - rest / 2);
}

void TForm1::Show() {
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::UpdateWindow(hwnd_);
    ::SetFocus(list_);
}

bool TForm1::BringForward() {
    HWND existing = ::FindWindowA(ClassName, nullptr);
    if (!existing) return false;
    if (::IsIconic(existing)) ::ShowWindow(existing, SW_RESTORE);
    ::SetForegroundWindow(existing);
    return true;
}

void TForm1::FormCreate() {
    Application.HintHidePause = 30000;
    ClearBridges();
    LoadConfig();
    if (KillHub(false)) ::EnableWindow(Control(IdStartButton), FALSE);
    DebugMode = HasDebugSwitch(args_);
}

void TForm1::LoadConfig() {
    LoadBridges([this](const TBridge& bridge) { AddRow(RowOf(bridge)); });
}

void TForm1::SaveConfig() { SaveBridges(); }

// ---- the list ----

int TForm1::RowCount() const { return ListView_GetItemCount(list_); }

std::string TForm1::RowText(int row, int column) const { return controls::CellText(list_, row, column); }

std::vector<std::string> TForm1::Captions() const {
    std::vector<std::string> captions;
    for (int i = 0; i < RowCount(); ++i) captions.push_back(RowText(i));
    return captions;
}

int TForm1::SelectedIndex() const { return ListView_GetNextItem(list_, -1, LVNI_SELECTED); }

std::string TForm1::SelectedCaption() const {
    const int row = SelectedIndex();
    return row < 0 ? std::string() : RowText(row);
}

void TForm1::SetRowTexts(int row, const TBridgeRow& texts) {
    ListView_SetItemText(list_, row, ColPort, const_cast<char*>(texts.Caption.c_str()));
    ListView_SetItemText(list_, row, ColServerIP, const_cast<char*>(texts.IP.c_str()));
    ListView_SetItemText(list_, row, ColServerPort, const_cast<char*>(texts.Port.c_str()));
    ListView_SetItemText(list_, row, ColName, const_cast<char*>(texts.Name.c_str()));
}

void TForm1::AddRow(const TBridgeRow& row) {
    SetRowTexts(controls::InsertItem(list_, RowCount(), row.Caption), row);
    SortRows();
    FitColumns();
}

void TForm1::SelectRow(const std::string& caption) {
    const std::vector<std::string> captions = Captions();
    const auto found = std::find(captions.begin(), captions.end(), caption);
    if (found == captions.end()) return;
    const int row = static_cast<int>(found - captions.begin());
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, row, FALSE);
}

void TForm1::SetSelectedRow(const TBridgeRow& row) {
    const int index = SelectedIndex();
    if (index < 0) return;
    controls::DrawingPaused batch(list_);
    SetRowTexts(index, row);
    SortRows();
}

void TForm1::DeleteSelectedRow() {
    const int index = SelectedIndex();
    if (index >= 0) ListView_DeleteItem(list_, index);
    FitColumns();
}

// Sorts by caption in the platform's text order. Each item's key is its position in a snapshot
// of the captions taken just before, so the order never depends on positions that move while
// the list sorts.
void TForm1::SortRows() {
    const std::vector<std::string> captions = Captions();
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) controls::SetItemParam(list_, i, i);
    ::SendMessageA(list_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&captions), reinterpret_cast<LPARAM>(CompareItems));
    const int selected = SelectedIndex();
    if (selected >= 0) ListView_EnsureVisible(list_, selected, FALSE);
}

// ---- availability ----

bool TForm1::Running() const { return !::IsWindowEnabled(Control(IdStartButton)); }

void TForm1::Action1Execute() {
    const bool running = Running();
    const BOOL add = !running && RowCount() < 10;
    ::EnableWindow(Control(IdAddButton), add);
    ::EnableMenuItem(bridgeMenu_, IdMenuAdd, MF_BYCOMMAND | (!running && add ? MF_ENABLED : MF_GRAYED));
    const BOOL change = !running && ListView_GetSelectedCount(list_) == 1;
    ::EnableWindow(Control(IdEditButton), change);
    ::EnableWindow(Control(IdDeleteButton), change);
    ::EnableMenuItem(bridgeMenu_, IdMenuEdit, MF_BYCOMMAND | (change ? MF_ENABLED : MF_GRAYED));
    ::EnableMenuItem(bridgeMenu_, IdMenuDelete, MF_BYCOMMAND | (change ? MF_ENABLED : MF_GRAYED));
}

// ---- commands ----

void TForm1::StartButtonClick() {
    const THubStart start = PrepareHubStart(Captions());
    if (!start.refusal.empty()) {
        ShowErrorBox(hwnd_, start.refusal, MB_ICONEXCLAMATION);
        return;
    }
    // In debug mode the line is shown first, centred on the screen; the hub starts after the box.
    if (DebugMode) ::MessageBoxA(nullptr, start.arguments.c_str(), AppTitle, MB_OK | MB_TASKMODAL);
    if (const std::optional<std::string> failure = LaunchHub(start.arguments)) {
        ShowErrorBox(hwnd_, *failure, MB_ICONEXCLAMATION);
        return;
    }
    HWND button = Control(IdStartButton);
    const bool hadFocus = ::GetFocus() == button;
    ::EnableWindow(button, FALSE);
    if (hadFocus) ::SetFocus(Control(IdButton2));
    links_->Restart();
    RefreshLinks();
    RecordHubCommand(start.arguments);
}

void TForm1::Button2Click() {
    StopHub();
    ::EnableWindow(Control(IdStartButton), TRUE);
    RefreshLinks();
}

// ---- link state ----

TLinkState TForm1::RowState(int row) const { return static_cast<TLinkState>(controls::ItemImage(list_, row)); }

std::string TForm1::RowTip(int row) const {
    const TLinkTarget target = LinkTargetOf(RowText(row));
    return LinkTip(RowState(row), target.Host, target.Port);
}

void TForm1::RefreshLinks() {
    std::vector<TLinkTarget> targets;
    for (const std::string& caption : Captions()) targets.push_back(LinkTargetOf(caption));
    const std::vector<TLinkState> states = links_->States(targets, Running());
    for (int row = 0; row < static_cast<int>(states.size()); ++row)
        if (RowState(row) != states[static_cast<std::size_t>(row)])
            controls::SetItemImage(list_, row, static_cast<int>(states[static_cast<std::size_t>(row)]));
}

void TForm1::LinkTimerTick() {
    if (Running()) links_->Ask();
    Action1Execute();
}

void TForm1::LinksRead() {
    // A hub that ended by itself: the bridges are stopped, and the commands come back.
    if (Running() && links_->HubSeen() == false) ::EnableWindow(Control(IdStartButton), TRUE);
    RefreshLinks();
    Action1Execute();
}

void TForm1::AddButtonClick() {
    if (FirstFreeSlot() > LastSlot) {
        ShowErrorBox(hwnd_, "No free bridge slot is left. Bridges that could not be loaded keep their slots.");
        return;
    }
    TBridge& scratch = Bridges[ScratchSlot];
    scratch.flag = false;
    dialog_->Bind(scratch);
    dialog_->ShowModal();
    if (!scratch.flag) return;

    const int n = FirstFreeSlot();
    if (!InstallPortPair(n, scratch)) {
        ShowErrorBox(hwnd_, InstallFailedText);
        return;
    }
    scratch.Index = static_cast<std::uint8_t>(n);
    CopySlot(ScratchSlot, n);
    AddRow(RowOf(Bridges[n]));
    SelectRow(Bridges[n].COM.str());
    SaveConfig();
}

// The slot of the selected row, or NoSlot after an error box naming the row: a command never
// reaches outside the table.
int TForm1::SelectedSlot() const {
    const std::string caption = SelectedCaption();
    const int s = FindBridge(caption);
    if (s == NoSlot) ShowErrorBox(hwnd_, "Bridge '" + caption + "' is not defined");
    return s;
}

void TForm1::EditButtonClick() {
    const int s = SelectedSlot();
    if (s == NoSlot) return;
    const std::string caption = SelectedCaption();
    const bool oldEmulate = Bridges[s].Emulate;
    const int oldTXDelay = Bridges[s].TXDelay;
    TBridge& scratch = Bridges[ScratchSlot];
    CopySlot(s, ScratchSlot);
    scratch.flag = true;
    dialog_->Bind(scratch);
    dialog_->ShowModal();
    if (!scratch.flag) return;

    if (PairMustChange(scratch, caption, oldEmulate, oldTXDelay) && !ChangePortPair(scratch)) {
        ShowErrorBox(hwnd_, ChangeFailedText);
        return;
    }
    CopySlot(ScratchSlot, s);
    SetSelectedRow(RowOf(Bridges[s]));
    SaveConfig();
}

void TForm1::DeleteButtonClick() {
    const int s = SelectedSlot();
    if (s == NoSlot) return;
    if (::MessageBoxA(hwnd_, "Are you sure you want to delete this bridge?", "Please confirm",
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (!RemovePortPair(Bridges[s].Index)) {
        ShowErrorBox(hwnd_, RemoveFailedText);
        return;
    }
    ZeroSlot(s);
    DeleteSelectedRow();
    SaveConfig();
}

void TForm1::BridgeListDblClick() {
    if (::IsWindowEnabled(Control(IdEditButton))) EditButtonClick();
}

void TForm1::About1Click() { ::ShellExecuteA(hwnd_, "open", MakerUrl, nullptr, nullptr, SW_SHOWNORMAL); }

void TForm1::Hello1Click() { ::SendMessageA(hwnd_, WM_CLOSE, 0, 0); }

// Checked while the Run key starts this very executable's bridges at log-on; a value naming
// another path (the program was moved) leaves it unchecked.
void TForm1::ShowLogOnCheck() {
    const bool checked = ReadLogOnValue() == LogOnCommand(platform::ExePath());
    ::CheckMenuItem(fileMenu_, IdMenuLogOn, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void TForm1::LogOn1Click() {
    const std::string command = LogOnCommand(platform::ExePath());
    try {
        if (ReadLogOnValue() == command)
            DeleteLogOnValue();
        else
            WriteLogOnValue(command);
    } catch (...) {
        ShowLogOnCheck();  // the mark stays as the registry is
        throw;
    }
    ShowLogOnCheck();
}

// ---- messages ----

void TForm1::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;  // a menu entry sends the same code as a click
    switch (id) {
    case IDOK:  // Enter, turned into a command by the keyboard handling of the message loop
        if (::GetFocus() == list_) BridgeListDblClick();
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
    switch (msg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lp));
    case WM_INITMENUPOPUP:  // the Run key may have been changed meanwhile
        if (reinterpret_cast<HMENU>(wp) == fileMenu_) ShowLogOnCheck();
        return 0;
    case WM_ACTIVATE:
        KeepFocusAcrossActivation(wp, list_);
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
