#include "ui/bridge_dialog.h"

#include "config/number.h"
#include "ui/application.h"
#include "ui/controls.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr char FirstCaption[] = "Add/Edit Bridge";
constexpr char NewCaption[] = "New bridge";
constexpr char EditCaption[] = "Edit bridge";

constexpr int ClientWidth = 377;
constexpr int ClientHeight = 226;
constexpr int NoId = -1;

constexpr int ComPortCount = 20;  // "COM1" to "COM20"
constexpr const char* BaudRates[] = {"300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
constexpr const char* ConnectSignals[] = {"DSR Signal*", "CTS Signal", "DCD Signal", "RI Signal", "Always"};

constexpr char RXDelayHint[] =
    "The maximum amount of time, that is allowed between two consecutive bytes in a read operation.\r\n"
    " Suitable for packet forming and to reduce fragmentation COM -> TCP.";
constexpr char TXDelayHint[] =
    "The maximum amount of time, that is allowed between two consecutive bytes in a write operation.\r\n"
    " Suitable for packet forming and to reduce fragmentation TCP -> COM.";
constexpr char DisDelayHint[] = "Delay between COM port release and TCP client disconnect";

std::string SelectedText(HWND combo) { return controls::ItemText(combo, controls::Selection(combo)); }

// Selects the item whose text equals text exactly (the list's own search ignores case), or
// none when no item does.
void SelectText(HWND combo, const std::string& text) {
    const int count = controls::ItemCount(combo);
    int found = -1;
    for (int i = 0; i < count && found < 0; ++i)
        if (controls::ItemText(combo, i) == text) found = i;
    controls::Select(combo, found);
}

// The program's typeface in bold, height in pixels.
HFONT BoldFont(int height) {
    return ::CreateFontA(-height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
}

// The width of text in a control's font, in pixels.
int TextWidth(HWND control, const char* text) {
    const platform::WindowDc dc(control);
    HGDIOBJ old = ::SelectObject(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32A(dc.get(), text, static_cast<int>(std::strlen(text)), &size);
    ::SelectObject(dc.get(), old);
    return size.cx;
}

// The rectangle of a control in its parent's client coordinates.
RECT PlaceOf(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void Move(HWND control, int left, const RECT& r) {
    ::SetWindowPos(control, nullptr, left, r.top, r.right - left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Widens an edit until its text area holds text in full: its right edge moves first, up to
// maxRight, then its left edge, into the spare room of its label, which gives way.
void FitEditTo(HWND edit, const char* text, HWND label, int maxRight) {
    RECT area{};
    ::SendMessageA(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    const int missing = TextWidth(edit, text) + 2 - (area.right - area.left);  // and room for the caret
    if (missing <= 0) return;

    RECT r = PlaceOf(edit), labelPlace = PlaceOf(label);
    const int oldRight = r.right;
    r.right = std::min<int>(maxRight, r.right + missing);
    const int labelEnd = labelPlace.left + TextWidth(label, WindowText(label).c_str());
    const int left = std::min<int>(r.left, std::max<int>(labelEnd + 4, r.left - (missing - (r.right - oldRight))));
    Move(edit, left, r);
    if (labelPlace.right > left) {
        labelPlace.right = left - 1;
        Move(label, labelPlace.left, labelPlace);
    }
}

}  // namespace

TBridgeDialog::TBridgeDialog(HWND owner) {
    CreateFrame(ClassName, FirstCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, ClientWidth, ClientHeight, owner);
}

TBridgeDialog::~TBridgeDialog() {
    // Before the fonts the controls use go.
    if (hwnd_) ::DestroyWindow(hwnd_);
}

void TBridgeDialog::CreateControls() {
    boldFont_.reset(BoldFont(Scale(11)));
    legendFont_.reset(BoldFont(Scale(16)));

    // Every control starts a group of its own, so arrow keys move only between OK and Cancel.
    const DWORD stop = WS_TABSTOP | WS_GROUP;
    const DWORD editStyle = stop | ES_AUTOHSCROLL;
    const DWORD comboStyle = stop | CBS_DROPDOWNLIST | WS_VSCROLL;
    auto label = [this](const char* text, int x, int y, int w, int h = 13) {
        return AddControl("STATIC", text, WS_GROUP, x, y, w, h, NoId);
    };
    auto setFont = [](HWND control, const platform::Font& font) {
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    };

    // Created in tab order: the row below the boxes first.
    label("Name", 8, 196, 34);
    HWND name = AddFieldControl("Name", "EDIT", "", editStyle, 44, 192, 142, 21, IdBridgeName, WS_EX_CLIENTEDGE);
    ::SendMessageA(name, EM_LIMITTEXT, 20, 0);
    AddControl("BUTTON", "&OK", stop | BS_PUSHBUTTON, 215, 190, 75, 25, IdOkButton);
    AddControl("BUTTON", "&Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, 296, 190, 75, 25, IdCancelButton);

    // The serial port: labels at 14, fields at 76.
    setFont(AddControl("BUTTON", "Serial Port ", WS_GROUP | BS_GROUPBOX, 6, 4, 180, 178, IdSerialBox), boldFont_);
    label("COM Port", 14, 28, 58);
    HWND port = AddFieldControl("COM", "COMBOBOX", "", comboStyle, 76, 24, 84, 200, IdPortCombo);
    for (int n = 1; n <= ComPortCount; ++n) controls::AddItem(port, "COM" + Decimal(n));
    label("Baudrate", 14, 58, 58);
    HWND baud = AddFieldControl("Baud", "COMBOBOX", "", comboStyle, 76, 54, 84, 200, IdBaudCombo);
    for (const char* rate : BaudRates) controls::AddItem(baud, rate);
    label("RX Delay", 14, 88, 58);
    AddFieldControl("RXDelay", "EDIT", "", editStyle, 76, 84, 44, 21, IdRXDelay, WS_EX_CLIENTEDGE);
    label("[ms]", 126, 88, 30);
    label("TX Delay", 14, 118, 58);
    AddFieldControl("TXDelay", "EDIT", "", editStyle, 76, 114, 44, 21, IdTXDelay, WS_EX_CLIENTEDGE);
    label("[ms]", 126, 118, 30);
    AddFieldControl("Emulate", "BUTTON", "Strict baudrate emulation", WS_GROUP | BS_AUTOCHECKBOX, 14, 150, 166, 17,
                    IdEmuBR);

    // The network side: labels at 200, fields at 268. The disconnect delay stands below
    // "Connect on" but is reached first; its label may take two lines.
    setFont(AddControl("BUTTON", "Network ", WS_GROUP | BS_GROUPBOX, 192, 4, 179, 178, IdNetworkBox), boldFont_);
    HWND ipLabel = label("Server IP", 200, 28, 66);
    HWND ip = AddFieldControl("IP", "EDIT", "", editStyle, 268, 24, 97, 21, IdServerIP, WS_EX_CLIENTEDGE);
    ::SendMessageA(ip, EM_LIMITTEXT, 0, 0);  // a longer name is refused, not cut
    HWND portLabel = label("Server Port", 200, 58, 66);
    HWND serverPort = AddFieldControl("Port", "EDIT", "", editStyle, 268, 54, 44, 21, IdServerPort, WS_EX_CLIENTEDGE);
    ::SendMessageA(serverPort, EM_LIMITTEXT, 5, 0);
    // Where the font in use is wider than the intended one, the two fields grow until their
    // longest values show in full, leftwards over their labels' spare room.
    FitEditTo(ip, "255.255.255.255", ipLabel, Scale(365));
    FitEditTo(serverPort, "99999", portLabel, Scale(365));
    label("Disconnect delay", 200, 112, 66, 26);
    AddFieldControl("Delay", "EDIT", "", editStyle, 268, 114, 44, 21, IdDisDelay, WS_EX_CLIENTEDGE);
    label("[ms]", 318, 118, 30);
    label("Connect on", 200, 88, 66);
    HWND connect = AddFieldControl("Connect", "COMBOBOX", "", comboStyle, 268, 84, 97, 200, IdConnectCombo);
    for (const char* signal : ConnectSignals) controls::AddItem(connect, signal);
    setFont(AddControl("STATIC", "*", WS_GROUP, 200, 147, 10, 20, NoId), legendFont_);
    label(" = Default value", 210, 151, 100);
    AddFieldControl("Enabled", "BUTTON", "On", WS_GROUP | BS_AUTOCHECKBOX, 318, 162, 44, 17, IdBridgeOn);
    ShowFields(NewBridge());
}

HWND TBridgeDialog::AddFieldControl(const char* field, const char* className, const char* text, DWORD style, int x,
                                    int y, int w, int h, int id, DWORD exStyle) {
    fieldControls_[field] = id;
    return AddControl(className, text, style, x, y, w, h, id, exStyle);
}

HWND TBridgeDialog::ControlOf(const TBridgeField& field) const {
    const auto found = fieldControls_.find(field.Name);
    return found == fieldControls_.end() ? nullptr : Control(found->second);
}

void TBridgeDialog::FormCreate() {
    HWND tip = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                 ::GetModuleHandleA(nullptr), nullptr);
    const struct {
        int id;
        const char* text;
    } hints[] = {{IdRXDelay, RXDelayHint}, {IdTXDelay, TXDelayHint}, {IdDisDelay, DisDelayHint}};
    for (const auto& hint : hints) {
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(Control(hint.id));
        tool.lpszText = const_cast<char*>(hint.text);
        ::SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    ::SendMessageA(tip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(Application.HintHidePause, 0));
    // A width limit makes the tip honour the line breaks; the screen's width lets no line wrap.
    ::SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, ::GetSystemMetrics(SM_CXSCREEN));
}

bool TBridgeDialog::ShowModal() {
    FormShow();
    HWND owner = ::GetWindow(hwnd_, GW_OWNER);
    CenterWindow(hwnd_, owner);
    ForgetFocus();
    closed_ = false;
    if (owner) ::EnableWindow(owner, FALSE);
    ::ShowWindow(hwnd_, SW_SHOW);
    Application.RunLoop(&closed_);
    Close();  // when the program quits under it: a cancel
    // The owner is enabled again before the dialog hides, so that it becomes the active window.
    if (owner) ::EnableWindow(owner, TRUE);
    ::ShowWindow(hwnd_, SW_HIDE);
    return record_->flag;
}

void TBridgeDialog::FormShow() {
    closedByButton_ = false;
    const TBridge& record = *record_;
    if (!record.flag) {
        ::SetWindowTextA(hwnd_, NewCaption);
        return;
    }
    ::SetWindowTextA(hwnd_, EditCaption);
    ShowFields(record);
    ConnectComboChange();
}

void TBridgeDialog::ShowFields(const TBridge& record) {
    for (const TBridgeField& field : BridgeFields) {
        HWND control = ControlOf(field);
        // A value that could not be read shows as stored, for the user to correct.
        const bool unread = slot_ >= FirstSlot && Unreadable[slot_] && UnreadField[slot_] == field.Name;
        const std::string text = unread ? UnreadText[slot_] : FieldText(record, field);
        switch (field.Shows) {
        case TFieldControl::None: break;
        case TFieldControl::ComboText: SelectText(control, text); break;
        case TFieldControl::ComboPosition: controls::Select(control, ParseDecimal(text).value_or(-1)); break;
        case TFieldControl::Check: ::SendMessageA(control, BM_SETCHECK, text == "1" ? BST_CHECKED : BST_UNCHECKED, 0); break;
        case TFieldControl::Edit: ::SetWindowTextA(control, text.c_str()); break;
        }
    }
}

void TBridgeDialog::ConnectComboChange() {
    const int position = controls::Selection(Control(IdConnectCombo));
    ::EnableWindow(Control(IdDisDelay), position != ConnectAlways);
}

TBridgeFields TBridgeDialog::ReadFields() const {
    TBridgeFields fields;
    for (const TBridgeField& field : BridgeFields) {
        HWND control = ControlOf(field);
        switch (field.Shows) {
        case TFieldControl::None: break;
        case TFieldControl::ComboText: fields[field.Name] = SelectedText(control); break;
        case TFieldControl::ComboPosition: fields[field.Name] = Decimal(controls::Selection(control)); break;
        case TFieldControl::Check: fields[field.Name] = ::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0"; break;
        case TFieldControl::Edit: fields[field.Name] = WindowText(control); break;
        }
    }
    return fields;
}

void TBridgeDialog::OkButtonClick() {
    // The record learns nothing until every field is accepted: a refused value leaves the
    // dialog open on that field, and a cancel after it is still a cancel.
    TBridge edited = *record_;
    try {
        StoreBridgeFields(ReadFields(), edited);
        CheckComPortFree(edited, slot_);
    } catch (const EInvalidInput& e) {
        ShowException(e);
        FocusField(*e.Field);
        return;
    }
    edited.flag = true;
    *record_ = edited;
    closedByButton_ = true;
    Close();
}

void TBridgeDialog::FocusField(const TBridgeField& field) { FocusAndSelect(ControlOf(field)); }

void TBridgeDialog::CancelButtonClick() {
    record_->flag = false;
    closedByButton_ = true;
    Close();
}

void TBridgeDialog::FormCloseQuery() {
    // Closed by the close box, or after OK failed: a cancel. Closing is always allowed.
    if (!closedByButton_) record_->flag = false;
}

void TBridgeDialog::Close() {
    if (closed_) return;
    FormCloseQuery();
    closed_ = true;
}

LRESULT TBridgeDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        FormCreate();
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IdOkButton:
            // OK closes the dialog even when its handler fails; the close then counts as a cancel.
            if (HIWORD(wp) == BN_CLICKED && !Guarded([this] { OkButtonClick(); })) Close();
            return 0;
        case IdCancelButton:  // also Escape, and Enter as the default button
            if (HIWORD(wp) == BN_CLICKED) CancelButtonClick();
            return 0;
        case IdConnectCombo:
            if (HIWORD(wp) == CBN_SELCHANGE) ConnectComboChange();
            return 0;
        }
        break;
    case DM_GETDEFID:
        return MAKELRESULT(IdCancelButton, DC_HASDEFID);
    case WM_ACTIVATE:
        KeepFocusAcrossActivation(wp);
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    }
    return TWindow::HandleMessage(msg, wp, lp);
}
