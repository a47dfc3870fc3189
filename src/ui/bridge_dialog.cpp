#include "ui/bridge_dialog.h"

#include "config/number.h"
#include "tools/bridge_commands.h"
#include "ui/application.h"
#include "ui/controls.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr char FirstCaption[] = "Add/Edit Bridge";
constexpr char NewCaption[] = "New bridge";
constexpr char EditCaption[] = "Edit bridge";

constexpr int ClientWidth = 377;
constexpr int NoId = -1;

// The dialog's grid, in pixels at 96 dots per inch. Each group has a column of labels and one of
// fields; the boxes hold lines of fields, and below them stand two rows: the server test's, then
// the name and the buttons.
struct TGroupGrid {
    int BoxLeft, BoxWidth, LabelLeft, LabelWidth, FieldLeft, FieldWidth;
    int BoxRight() const { return BoxLeft + BoxWidth; }
};
constexpr TGroupGrid Grids[] = {
    {0, 0, 8, 34, 44, 142},        // below the boxes
    {6, 180, 14, 58, 76, 84},      // "Serial Port "
    {192, 179, 200, 66, 268, 97},  // "Network "
};
constexpr int BoxTop = 4, FirstLine = 24, LineHeight = 30, NumberWidth = 44, UnitGap = 6;
constexpr int ButtonWidth = 75, ButtonHeight = 25, RowGap = 8, FootGap = 11, RightMargin = 6, TextHeight = 13;
enum { TestRow, NameRow };

const TGroupGrid& GridOf(TFieldGroup group) { return Grids[static_cast<int>(group)]; }

// The boxes' foot, below as many lines as the fuller box has, the network's foot counted.
int BoxBottom() {
    int lines = 0;
    for (const TBridgeField& field : BridgeFields)
        if (field.View.Group != TFieldGroup::Below)
            lines = std::max(lines, field.View.Line + (field.View.Group == TFieldGroup::Network ? 2 : 1));
    return FirstLine + LineHeight * lines + 8;
}

// The rows below the boxes, each as high as a button.
int RowTop(int row) { return BoxBottom() + RowGap + row * (ButtonHeight + RowGap); }

// The fields in the order the dialog creates, and tabs through, them: the row below the boxes,
// then each box, each in the tab order of its group.
std::vector<const TBridgeField*> FieldsInTabOrder() {
    std::vector<const TBridgeField*> fields;
    for (const TBridgeField& field : BridgeFields)
        if (field.View.Control != TFieldControl::None) fields.push_back(&field);
    std::stable_sort(fields.begin(), fields.end(), [](const TBridgeField* a, const TBridgeField* b) {
        return std::make_pair(a->View.Group, a->View.Tab) < std::make_pair(b->View.Group, b->View.Tab);
    });
    return fields;
}

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
    CreateFrame(ClassName, FirstCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, ClientWidth,
                RowTop(NameRow) + ButtonHeight + FootGap, owner);
}

TBridgeDialog::~TBridgeDialog() {
    // Before the fonts the controls use go.
    if (hwnd_) ::DestroyWindow(hwnd_);
}

void TBridgeDialog::CreateControls() {
    boldFont_.reset(BoldFont(Scale(11)));
    legendFont_.reset(BoldFont(Scale(16)));
    auto setFont = [](HWND control, const platform::Font& font) {
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    };
    const int boxBottom = BoxBottom(), below = RowTop(NameRow);
    TFieldGroup group = TFieldGroup::Below;
    for (const TBridgeField* field : FieldsInTabOrder()) {
        // A box, and after the row below the boxes its buttons, come before their group's fields.
        if (field->View.Group != group && group == TFieldGroup::Below) {
            const int cancelLeft = ClientWidth - RightMargin - ButtonWidth;
            AddControl("BUTTON", "&OK", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, cancelLeft - UnitGap - ButtonWidth, below,
                       ButtonWidth, ButtonHeight, IdOkButton);
            AddControl("BUTTON", "&Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, cancelLeft, below, ButtonWidth, ButtonHeight,
                       IdCancelButton);
        }
        if (field->View.Group != group) {
            group = field->View.Group;
            const TGroupGrid& grid = GridOf(group);
            const bool serial = group == TFieldGroup::Serial;
            setFont(AddControl("BUTTON", serial ? "Serial Port " : "Network ", WS_GROUP | BS_GROUPBOX, grid.BoxLeft,
                               BoxTop, grid.BoxWidth, boxBottom - BoxTop, serial ? IdSerialBox : IdNetworkBox),
                    boldFont_);
            if (!serial) {
                setFont(AddControl("STATIC", "*", WS_GROUP, grid.LabelLeft, boxBottom - 35, 10, 20, NoId), legendFont_);
                AddControl("STATIC", " = Default value", WS_GROUP, grid.LabelLeft + 10, boxBottom - 31, 100, 13, NoId);
            }
        }
        AddFieldControl(*field, group == TFieldGroup::Below ? below + 2 : FirstLine + LineHeight * field->View.Line, boxBottom);
    }
    // The server test comes after the fields it reads, in the tab order too.
    const int testTop = RowTop(TestRow), testLeft = GridOf(TFieldGroup::Below).LabelLeft;
    const int lineLeft = testLeft + ButtonWidth + UnitGap;
    AddControl("BUTTON", "&Test", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, testLeft, testTop, ButtonWidth, ButtonHeight,
               IdTestButton);
    AddControl("STATIC", "", WS_GROUP | SS_NOPREFIX, lineLeft, testTop, ClientWidth - RightMargin - lineLeft,
               ButtonHeight, IdTestLine);  // ShowTestLine gives it the height of its text
    ShowFields(NewBridge());
}

// Every control starts a group of its own, so arrow keys move only between OK and Cancel.
void TBridgeDialog::AddFieldControl(const TBridgeField& field, int top, int boxBottom) {
    const TFieldView& view = field.View;
    const TGroupGrid& grid = GridOf(view.Group);
    const int id = IdFirstField + static_cast<int>(&field - BridgeFields);
    fieldControls_[field.Name] = id;
    if (view.Control == TFieldControl::Check) {
        // On a line from the labels' edge; at the foot in the units' column.
        const int left = view.Line == FootLine ? grid.FieldLeft + NumberWidth + UnitGap : grid.LabelLeft;
        AddControl("BUTTON", view.Label, WS_GROUP | BS_AUTOCHECKBOX, left, view.Line == FootLine ? boxBottom - 20 : top + 6,
                   grid.BoxRight() - 6 - left, 17, id);
        return;
    }
    // A label too long for its column takes two lines.
    HWND label = AddControl("STATIC", view.Label, WS_GROUP, grid.LabelLeft, top + 4, grid.LabelWidth, 13, NoId);
    if (TextWidth(label, view.Label) > Scale(grid.LabelWidth))
        ::SetWindowPos(label, nullptr, Scale(grid.LabelLeft), Scale(top - 2), Scale(grid.LabelWidth), Scale(26),
                       SWP_NOZORDER | SWP_NOACTIVATE);
    const bool combo = view.Control == TFieldControl::ComboText || view.Control == TFieldControl::ComboPosition;
    const int width = view.Control == TFieldControl::Number ? NumberWidth : grid.FieldWidth;
    HWND control = combo ? AddControl("COMBOBOX", "", WS_TABSTOP | WS_GROUP | CBS_DROPDOWNLIST | WS_VSCROLL,
                                      grid.FieldLeft, top, width, 200, id)
                         : AddControl("EDIT", "", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, grid.FieldLeft, top, width,
                                      21, id, WS_EX_CLIENTEDGE);
    for (int i = 0; i < view.Items.Count; ++i) controls::AddItem(control, view.Items.Texts[i]);
    if (!combo) ::SendMessageA(control, EM_LIMITTEXT, static_cast<WPARAM>(view.Limit), 0);
    if (*view.Unit) AddControl("STATIC", view.Unit, WS_GROUP, grid.FieldLeft + width + UnitGap, top + 4, 30, 13, NoId);
    // Where the font in use is wider than the intended one, the field grows until its longest
    // value shows in full, leftwards over its label's spare room.
    if (*view.Widest) FitEditTo(control, view.Widest, label, Scale(grid.BoxRight() - 6));
}

HWND TBridgeDialog::ControlOf(const TBridgeField& field) const {
    const auto found = fieldControls_.find(field.Name);
    return found == fieldControls_.end() ? nullptr : Control(found->second);
}

void TBridgeDialog::FormCreate() {
    HWND tip = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                 ::GetModuleHandleA(nullptr), nullptr);
    for (const TBridgeField& field : BridgeFields) {
        if (!*field.View.Hint) continue;
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(ControlOf(field));
        tool.lpszText = const_cast<char*>(field.View.Hint);
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
    test_.reset();
    ::EnableWindow(Control(IdTestButton), TRUE);
    ShowTestLine("");
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
        const std::string text = ShownText(record, field, slot_);
        switch (field.View.Control) {
        case TFieldControl::None: break;
        case TFieldControl::ComboText: SelectText(control, text); break;
        case TFieldControl::ComboPosition: controls::Select(control, ParseDecimal(text).value_or(-1)); break;
        case TFieldControl::Check: ::SendMessageA(control, BM_SETCHECK, text == "1" ? BST_CHECKED : BST_UNCHECKED, 0); break;
        case TFieldControl::Edit:
        case TFieldControl::Number: ::SetWindowTextA(control, text.c_str()); break;
        }
    }
}

void TBridgeDialog::ConnectComboChange() {
    const int position = controls::Selection(ControlOf(FieldNamed("Connect")));
    ::EnableWindow(ControlOf(FieldNamed("Delay")), position != ConnectAlways);
}

void TBridgeDialog::ShowTestLine(const std::string& text) {
    HWND line = Control(IdTestLine);
    const RECT r = PlaceOf(line);
    const int height = Scale(TextHeight) * (TextWidth(line, text.c_str()) > r.right - r.left ? 2 : 1);
    const int top = Scale(RowTop(TestRow)) + (Scale(ButtonHeight) - height) / 2;
    ::SetWindowPos(line, nullptr, r.left, top, r.right - r.left, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowTextA(line, text.c_str());
}

void TBridgeDialog::TestButtonClick() {
    HWND button = Control(IdTestButton);
    const TServerTarget target =
        ServerTarget(WindowText(ControlOf(FieldNamed("IP"))), WindowText(ControlOf(FieldNamed("Port"))));
    if (!target.Refusal.empty()) {
        ShowTestLine(target.Refusal);
        return;
    }
    testedServer_ = target.Host + ":" + std::to_string(target.Port);
    ShowTestLine("Testing " + testedServer_ + " ...");
    // A disabled button would keep the focus from the keyboard.
    if (::GetFocus() == button) ::SetFocus(::GetNextDlgTabItem(hwnd_, button, FALSE));
    ::EnableWindow(button, FALSE);
    test_ = std::make_unique<TServerTest>(target.Host, target.Port, PortControlChecked(),
                                          [window = hwnd_] { ::PostMessageA(window, WM_SERVERTESTED, 0, 0); });
}

void TBridgeDialog::ServerTested() {
    const std::optional<TServerFinding> finding = test_ ? test_->Finding() : std::nullopt;
    if (!finding) return;  // posted by a test dropped since
    test_.reset();
    ::EnableWindow(Control(IdTestButton), TRUE);
    ShowTestLine(ServerTestLine(testedServer_, *finding, PortControlChecked()));
}

bool TBridgeDialog::PortControlChecked() const {
    return ::SendMessageA(ControlOf(FieldNamed("RFC2217")), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TBridgeDialog::ServerFieldChange() {
    if (!test_ && WindowText(Control(IdTestLine)).empty()) return;
    test_.reset();  // what it finds would be of another server, or for another box
    ::EnableWindow(Control(IdTestButton), TRUE);
    ShowTestLine("");
}

TBridgeFields TBridgeDialog::ReadFields() const {
    TBridgeFields fields;
    for (const TBridgeField& field : BridgeFields) {
        HWND control = ControlOf(field);
        switch (field.View.Control) {
        case TFieldControl::None: break;
        case TFieldControl::ComboText: fields[field.Name] = SelectedText(control); break;
        case TFieldControl::ComboPosition: fields[field.Name] = Decimal(controls::Selection(control)); break;
        case TFieldControl::Check: fields[field.Name] = ::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0"; break;
        case TFieldControl::Edit:
        case TFieldControl::Number: fields[field.Name] = WindowText(control); break;
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
    // Another program may have stored another bridge in this one's slot while the dialog was open.
    if (const std::string taken = record_->flag ? SlotTakenMeanwhile(slot_) : std::string(); !taken.empty()) {
        ShowErrorBox(hwnd_, taken);
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
        case IdTestButton:
            if (HIWORD(wp) == BN_CLICKED) TestButtonClick();
            return 0;
        }
        if (HIWORD(wp) == CBN_SELCHANGE && reinterpret_cast<HWND>(lp) == ControlOf(FieldNamed("Connect")))
            ConnectComboChange();
        // The test's line tells of the server and the box it was made with, and of no other.
        if ((HIWORD(wp) == EN_CHANGE && (reinterpret_cast<HWND>(lp) == ControlOf(FieldNamed("IP")) ||
                                         reinterpret_cast<HWND>(lp) == ControlOf(FieldNamed("Port")))) ||
            (HIWORD(wp) == BN_CLICKED && reinterpret_cast<HWND>(lp) == ControlOf(FieldNamed("RFC2217"))))
            ServerFieldChange();
        break;
    case WM_SERVERTESTED:
        ServerTested();
        return 0;
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
