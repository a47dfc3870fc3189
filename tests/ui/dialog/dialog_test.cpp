// The bridge dialog, created for real in this process and driven with messages from inside its
// modal loop.
#include "ui/app_info.h"
#include "config/bridge_fields.h"
#include "support/dialog_ids.h"
#include "support/every_field.h"
#include "support/message_boxes.h"
#include "support/modal_script.h"
#include "ui/bridge_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Step = ModalScript::Step;

// One line per record, every field of the table by name, so that a failure shows each.
std::string Describe(const TBridge& b) {
    std::string text;
    for (const TBridgeField& field : BridgeFields) text += std::string(field.Name) + "=" + FieldText(b, field) + " ";
    return text;
}

TBridge Edited() {
    TBridge b = EveryFieldSet();
    b.flag = true;
    b.Index = 4;
    b.COM = "COM12";
    b.Baud = 115200;
    b.Emulate = false;
    b.Connect = 2;
    b.IP = "10.1.2.3";
    b.Port = 4001;
    b.Name = "Lab rack";
    b.Delay = 750;
    b.TXDelay = 3;
    b.RXDelay = 7;
    b.Enabled = false;
    return b;
}

std::string ItemText(HWND combo, LRESULT item) {
    char text[64] = "";
    if (item != CB_ERR) ::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(text));
    return text;
}

class BridgeDialog : public testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);
    }

    void SetUp() override {
        owner = ::CreateWindowExA(0, "STATIC", "bridge dialog test owner", WS_POPUP | WS_VISIBLE, 100, 100, 600, 400,
                                  nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(owner);
        form = std::make_unique<TBridgeDialog>(owner);
        ASSERT_TRUE(form->Handle());
        form->Bind(record);
    }
    void TearDown() override {
        form.reset();
        ::DestroyWindow(owner);
    }

    // Shows the dialog, runs the steps inside it, and returns its result.
    bool Show(std::vector<Step> steps) {
        ModalScript script(std::move(steps));
        const bool result = form->ShowModal();
        EXPECT_TRUE(script.Finished()) << "the dialog closed before every step ran";
        EXPECT_FALSE(::IsWindowVisible(form->Handle()));
        EXPECT_TRUE(::IsWindowEnabled(owner));
        return result;
    }

    // Opens the dialog for a new bridge in slot 4 and presses OK; gives the caption it showed.
    std::string OkAsNewBridge() {
        record.flag = false;
        record.Index = 4;
        std::string caption;
        EXPECT_TRUE(Show({[&] {
            caption = Caption();
            Click(IdOkButton);
        }}));
        return caption;
    }

    HWND Item(int id) const { return form->Control(id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    void SetText(int id, const char* text) const { ::SetWindowTextA(Item(id), text); }
    std::string Caption() const { return WindowText(form->Handle()); }
    bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    std::string Selected(int id) const { return ItemText(Item(id), ::SendMessageA(Item(id), CB_GETCURSEL, 0, 0)); }
    int Count(int id) const { return static_cast<int>(::SendMessageA(Item(id), CB_GETCOUNT, 0, 0)); }

    // As the user picks an item; the list itself tells its parent nothing about CB_SETCURSEL.
    void Select(int id, int item) const {
        ::SendMessageA(Item(id), CB_SETCURSEL, static_cast<WPARAM>(item), 0);
        ::SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
    }
    void Click(int id) const {
        ::SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
    }
    void Key(int id, WPARAM key) const { ::PostMessageA(Item(id), WM_KEYDOWN, key, 0); }

    // In the dialog's client coordinates.
    RECT Bounds(int id) const { return Bounds(Item(id)); }
    RECT Bounds(HWND control) const {
        RECT r;
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    HWND owner = nullptr;
    TBridge record{};
    std::unique_ptr<TBridgeDialog> form;
};

TEST_F(BridgeDialog, FirstUseShowsTheDefaults) {
    // The caption and style of the dialog (id 0) and its controls: which bits of mask are set.
    const struct {
        int id;
        const char* caption;
        LONG mask = 0, set = 0;
    } looks[] = {
        {0, "Add/Edit Bridge", WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME, WS_SYSMENU},
        {IdSerialBox, "Serial Port "}, {IdNetworkBox, "Network "}, {IdOkButton, "&OK"},
        {IdCancelButton, "&Cancel"}, {IdEmuBR, "Strict baudrate emulation", WS_TABSTOP}, {IdBridgeOn, "On", WS_TABSTOP},
        {IdDisDelay, "500", WS_DISABLED}
    };
    for (const auto& c : looks) {
        HWND window = c.id ? Item(c.id) : form->Handle();
        EXPECT_EQ(WindowText(window), c.caption) << c.id;
        EXPECT_EQ(::GetWindowLongA(window, GWL_STYLE) & c.mask, c.set) << c.id;
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    RECT client;
    ::GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, ::MulDiv(377, dpi, 96));
    EXPECT_EQ(client.bottom, Bounds(IdOkButton).bottom + ::MulDiv(11, dpi, 96)) << "as high as its lines need";

    EXPECT_EQ(Count(IdPortCombo), 20);
    EXPECT_EQ(ItemText(Item(IdPortCombo), 19), "COM20");
    EXPECT_EQ(Count(IdBaudCombo), 9);
    EXPECT_EQ(Count(IdConnectCombo), 5);
    EXPECT_EQ(ItemText(Item(IdConnectCombo), 1), "CTS Signal");
    const std::pair<int, int> limits[] = {{IdServerPort, 5}, {IdBridgeName, 20}};
    for (const auto& [id, limit] : limits) EXPECT_EQ(::SendMessageA(Item(id), EM_GETLIMITTEXT, 0, 0), limit) << id;
    EXPECT_GT(::SendMessageA(Item(IdServerIP), EM_GETLIMITTEXT, 0, 0), 253) << "a longer name is refused, not cut";

    EXPECT_EQ(OkAsNewBridge(), "New bridge");
    EXPECT_TRUE(record.flag);
    TBridge defaults = NewBridge();
    defaults.flag = true;
    defaults.Index = record.Index;
    EXPECT_EQ(Describe(record), Describe(defaults)) << "a new bridge's values";
    EXPECT_EQ(record.Port, 9761);
}

TEST_F(BridgeDialog, ControlsSitInsideTheirBoxes) {
    const RECT serial = Bounds(IdSerialBox), network = Bounds(IdNetworkBox);
    const struct {
        int id;
        const RECT* box;  // null: the row below the boxes
    } controls[] = {{IdPortCombo, &serial},   {IdBaudCombo, &serial},   {IdRXDelay, &serial},
                    {IdTXDelay, &serial},     {IdEmuBR, &serial},       {IdServerIP, &network},
                    {IdServerPort, &network}, {IdDisDelay, &network}, {IdConnectCombo, &network},
                    {IdBridgeOn, &network},   {IdBridgeName, nullptr},  {IdOkButton, nullptr},   {IdCancelButton, nullptr},
                    {IdTestButton, nullptr},  {IdTestLine, nullptr}};
    for (const auto& c : controls) {
        const RECT r = Bounds(c.id);
        if (c.box) {
            EXPECT_TRUE(r.left > c.box->left && r.right < c.box->right && r.top > c.box->top &&
                        r.bottom < c.box->bottom)
                << c.id;
        } else {
            EXPECT_GE(r.top, serial.bottom) << c.id;
        }
    }
    EXPECT_LE(serial.right, network.left);

    // The longest server address and port show in full, in the font in use.
    for (const auto& [id, text] : {std::pair<int, const char*>{IdServerIP, "255.255.255.255"},
                                   std::pair<int, const char*>{IdServerPort, "99999"}}) {
        HWND edit = form->Control(id);
        HDC dc = ::GetDC(edit);
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(edit, WM_GETFONT, 0, 0)));
        SIZE size{};
        ::GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
        ::ReleaseDC(edit, dc);
        RECT area{};
        ::SendMessageA(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
        EXPECT_GT(area.right - area.left, size.cx) << text;
    }

    // Nothing leaves the client area, and apart from the boxes nothing overlaps.
    RECT client;
    ::GetClientRect(form->Handle(), &client);
    std::vector<HWND> children;
    for (HWND c = ::GetWindow(form->Handle(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    const auto isBox = [](HWND c) {
        const int id = ::GetDlgCtrlID(c);
        return id == IdSerialBox || id == IdNetworkBox;
    };
    for (std::size_t i = 0; i < children.size(); ++i) {
        const RECT r = Bounds(children[i]);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << WindowText(children[i]);
        for (std::size_t j = i + 1; j < children.size() && !isBox(children[i]); ++j) {
            const RECT s = Bounds(children[j]);
            RECT both;
            EXPECT_TRUE(isBox(children[j]) || !::IntersectRect(&both, &r, &s))
                << "'" << WindowText(children[i]) << "' and '" << WindowText(children[j]) << "'";
        }
    }
}

TEST_F(BridgeDialog, TabsInTheFixedOrder) {
    std::vector<int> order;
    HWND first = nullptr, afterTab = nullptr;
    EXPECT_FALSE(Show({[&] {
                           first = ::GetFocus();
                           HWND start = ::GetNextDlgTabItem(form->Handle(), nullptr, FALSE), c = start;
                           do {
                               order.push_back(::GetDlgCtrlID(c));
                               c = ::GetNextDlgTabItem(form->Handle(), c, FALSE);
                           } while (c && c != start && order.size() < 20);
                           Key(IdBridgeName, VK_TAB);
                       },
                       [&] { afterTab = ::GetFocus(); }, [&] { Click(IdCancelButton); }}));
    const std::vector<int> fixed{IdBridgeName, IdOkButton,   IdCancelButton, IdPortCombo, IdBaudCombo,   IdRXDelay,
                                 IdTXDelay,    IdServerIP,   IdServerPort,   IdDisDelay,  IdConnectCombo};
    std::vector<int> known;  // a later field may stand anywhere between them
    for (int id : order)
        if (std::find(fixed.begin(), fixed.end(), id) != fixed.end()) known.push_back(id);
    EXPECT_EQ(known, fixed);
    EXPECT_EQ(first, Item(IdBridgeName)) << "the first control has the focus";
    EXPECT_EQ(afterTab, Item(IdOkButton)) << "Tab moves on";
}

TEST_F(BridgeDialog, OkWritesEveryField) {
    record.Index = 4;
    bool ownerEnabled = true;
    RECT dialog{}, over{};
    EXPECT_TRUE(Show({[&] {
        ownerEnabled = ::IsWindowEnabled(owner) != FALSE;
        ::GetWindowRect(form->Handle(), &dialog);
        ::GetWindowRect(owner, &over);
        // Every field typed as a user would, whatever its kind.
        const TBridge typed = Edited();
        for (const TBridgeField& field : BridgeFields) {
            const int id = FieldId(field.Name);
            const std::string text = FieldText(typed, field);
            switch (field.View.Control) {
            case TFieldControl::None: break;
            case TFieldControl::ComboText: Select(id, static_cast<int>(::SendMessageA(Item(id), CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(text.c_str())))); break;
            case TFieldControl::ComboPosition: Select(id, std::stoi(text)); break;
            case TFieldControl::Check: ::CheckDlgButton(form->Handle(), id, text == "1" ? BST_CHECKED : BST_UNCHECKED); break;
            case TFieldControl::Edit:
            case TFieldControl::Number: SetText(id, text.c_str()); break;
            }
        }
        Click(IdOkButton);
    }}));
    EXPECT_FALSE(ownerEnabled) << "the owner is disabled while the dialog shows";
    EXPECT_NEAR(dialog.left + dialog.right, over.left + over.right, 1) << "centred on the owner";
    EXPECT_NEAR(dialog.top + dialog.bottom, over.top + over.bottom, 1);
    EXPECT_TRUE(record.flag);
    EXPECT_EQ(Describe(record), Describe(Edited()));
}

TEST_F(BridgeDialog, EveryOtherWayOutCancels) {
    const std::pair<const char*, Step> ways[] = {
        {"Cancel", [&] { Click(IdCancelButton); }},
        {"close box", [&] { ::SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Enter in an edit", [&] { Key(IdServerPort, VK_RETURN); }},
        {"Enter in the name", [&] { Key(IdBridgeName, VK_RETURN); }},
        {"Escape", [&] { Key(IdServerIP, VK_ESCAPE); }},
    };
    for (const auto& [way, leave] : ways) {
        SCOPED_TRACE(way);
        record = Edited();
        EXPECT_FALSE(Show({[&] {
                               SetText(IdServerPort, "1234");
                               SetText(IdBridgeName, "changed");
                           },
                           leave}));
        EXPECT_FALSE(record.flag);
        EXPECT_EQ(Describe(record), Describe(Edited())) << "nothing is written";
    }
}

TEST_F(BridgeDialog, RefusedInputIsReportedAndKeepsTheDialogOpenOnItsField) {
    const std::string longName(254, 'a'), longShown = "'" + longName + "' is not a valid server address.";
    const struct {
        int id;
        const char* text;
        const char* shown;
    } cases[] = {
        {IdServerPort, "abc", "'abc' is not a valid integer value."},
        {IdServerPort, "", "'' is not a valid integer value."},
        {IdDisDelay, "5 0", "'5 0' is not a valid integer value."},
        {IdServerPort, "0", "'0' is not a valid server port (1 to 65535)"},
        {IdServerPort, "65536", "'65536' is not a valid server port (1 to 65535)"},
        {IdServerIP, "", "'' is not a valid server address."},
        {IdServerIP, "my host", "'my host' is not a valid server address."},
        {IdServerIP, "127.0.0.1:80", "'127.0.0.1:80' is not a valid server address."},
        {IdRXDelay, "-1", "'-1' is not a valid RX delay (0 or more)"},
        {IdBridgeName, "D\tafter 999 s", "'D\tafter 999 s' is not a valid name (no tab, line break or other control character)"},
        {IdServerIP, longName.c_str(), longShown.c_str()},  // a name of 254 characters, not cut to fit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        record = Edited();
        MessageBoxWatcher boxes;
        bool open = false;
        HWND focus = nullptr;
        DWORD selection = 0;
        EXPECT_FALSE(Show({[&] {
                               SetText(c.id, c.text);
                               Click(IdOkButton);
                           },
                           [&] {
                               open = ::IsWindowVisible(form->Handle()) != FALSE;
                               focus = ::GetFocus();
                               selection = static_cast<DWORD>(::SendMessageA(focus, EM_GETSEL, 0, 0));
                               Click(IdCancelButton);
                           }}));
        ASSERT_EQ(boxes.Boxes().size(), 1u) << boxes.Texts();
        EXPECT_EQ(boxes.Boxes()[0].caption, AppTitle);
        EXPECT_EQ(boxes.Boxes()[0].text, c.shown);
        EXPECT_TRUE(open) << "the dialog stays open after the message";
        EXPECT_EQ(focus, form->Control(c.id));
        EXPECT_EQ(selection, MAKELONG(0, std::strlen(c.text))) << "the refused text is selected";
        EXPECT_FALSE(record.flag);
    }
}

TEST_F(BridgeDialog, StoredValuesOutsideTheListsSelectNothing) {
    record = Edited();
    record.COM = "COM21";
    MessageBoxWatcher boxes;
    std::string shownCom = "?";
    EXPECT_FALSE(Show({[&] {
                           shownCom = Selected(IdPortCombo);
                           Click(IdOkButton);
                       },
                       [&] { Click(IdCancelButton); }}));
    EXPECT_EQ(shownCom, "");
    ASSERT_EQ(boxes.Boxes().size(), 1u) << boxes.Texts();
    EXPECT_EQ(boxes.Boxes()[0].text, "Please select a COM port.");
    EXPECT_FALSE(record.flag);
    EXPECT_EQ(record.COM, "COM21");

    // A lower-case name is another name.
    record = Edited();
    record.COM = "com12";
    record.Baud = 12345;
    std::string shownBaud = "?";
    EXPECT_FALSE(Show({[&] {
                           shownCom = Selected(IdPortCombo);
                           shownBaud = Selected(IdBaudCombo);
                           Click(IdOkButton);
                       },
                       [&] { Click(IdCancelButton); }}));
    EXPECT_EQ(shownCom, "");
    EXPECT_EQ(shownBaud, "");
    ASSERT_EQ(boxes.Boxes().size(), 2u) << boxes.Texts();
    EXPECT_EQ(boxes.Boxes()[1].text, "Please select a COM port.");

    record = Edited();
    record.Baud = 12345;
    EXPECT_FALSE(Show({[&] { Click(IdOkButton); }, [&] { Click(IdCancelButton); }}));
    ASSERT_EQ(boxes.Boxes().size(), 3u) << boxes.Texts();
    EXPECT_EQ(boxes.Boxes()[2].text, "'' is not a valid integer value.");
    EXPECT_EQ(record.Baud, 12345);

    // A port another bridge uses, in other letters: named in the dialog, not left to the setup tool.
    record = Edited();
    Bridges[2] = record;
    Bridges[2].COM = ("com" + record.COM.str().substr(3)).c_str();
    EXPECT_FALSE(Show({[&] { Click(IdOkButton); }, [&] { Click(IdCancelButton); }}));
    ASSERT_EQ(boxes.Boxes().size(), 4u) << boxes.Texts();
    EXPECT_EQ(boxes.Boxes()[3].text, record.COM.str() + " is already used by bridge 'Lab rack'");
    form->Bind(record, 2);  // the bridge itself
    EXPECT_TRUE(Show({[&] { Click(IdOkButton); }}));
    ZeroSlot(2);
}

TEST_F(BridgeDialog, AlwaysConnectedDisablesTheDisconnectDelay) {
    std::vector<bool> enabled;
    std::string kept;
    EXPECT_TRUE(Show({[&] {
        Select(IdConnectCombo, 4);
        enabled.push_back(Enabled(IdDisDelay));
        kept = Text(IdDisDelay);
        Select(IdConnectCombo, 3);
        enabled.push_back(Enabled(IdDisDelay));
        SetText(IdDisDelay, "250");
        Select(IdConnectCombo, 4);
        Click(IdOkButton);
    }}));
    EXPECT_EQ(enabled, (std::vector<bool>{false, true}));
    EXPECT_EQ(kept, "500");
    EXPECT_EQ(record.Connect, 4);
    EXPECT_EQ(record.Delay, 250) << "the disabled field is still read";

    // An edit sets the field from the record's signal.
    for (std::uint8_t connect : {0, 4}) {
        record = Edited();
        record.Connect = connect;
        bool shown = false;
        EXPECT_FALSE(Show({[&] {
            shown = Enabled(IdDisDelay);
            Click(IdCancelButton);
        }}));
        EXPECT_EQ(shown, connect != 4) << int{connect};
    }
}

TEST_F(BridgeDialog, KeepsItsValuesBetweenUses) {
    record = Edited();
    EXPECT_TRUE(Show({[&] { Click(IdOkButton); }}));

    record = TBridge{};
    EXPECT_EQ(OkAsNewBridge(), "New bridge");
    EXPECT_EQ(Describe(record), Describe(Edited())) << "the new bridge starts from the edited one";

    // A cancelled use keeps what was typed, too.
    record.flag = false;
    EXPECT_FALSE(Show({[&] {
        SetText(IdServerPort, "5555");
        Click(IdCancelButton);
    }}));
    EXPECT_TRUE(Show({[&] { Click(IdOkButton); }}));
    EXPECT_EQ(record.Port, 5555);
}

BOOL CALLBACK FindToolTip(HWND hwnd, LPARAM found) {
    char name[64] = "";
    ::GetClassNameA(hwnd, name, sizeof name);
    auto* tip = reinterpret_cast<HWND*>(found);
    if (std::string(name) == TOOLTIPS_CLASSA && ::GetWindow(hwnd, GW_OWNER) == *tip) {
        *tip = hwnd;
        return FALSE;
    }
    return TRUE;
}

TEST_F(BridgeDialog, ExplainsTheDelaysInToolTips) {
    HWND tip = form->Handle();
    ::EnumThreadWindows(::GetCurrentThreadId(), FindToolTip, reinterpret_cast<LPARAM>(&tip));
    ASSERT_NE(tip, form->Handle()) << "no tool tip";
    EXPECT_EQ(::SendMessageA(tip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 30000);
    EXPECT_EQ(::SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 3);

    const std::pair<int, std::vector<std::string>> hints[] = {
        {IdRXDelay,
         {"The maximum amount of time, that is allowed between two consecutive bytes in a read operation.",
          " Suitable for packet forming and to reduce fragmentation COM -> TCP."}},
        {IdTXDelay,
         {"The maximum amount of time, that is allowed between two consecutive bytes in a write operation.",
          " Suitable for packet forming and to reduce fragmentation TCP -> COM."}},
        {IdDisDelay, {"Delay between COM port release and TCP client disconnect"}},
    };
    HDC dc = ::GetDC(tip);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(tip, WM_GETFONT, 0, 0)));
    const auto maxWidth = static_cast<LONG>(::SendMessageA(tip, TTM_GETMAXTIPWIDTH, 0, 0));
    for (const auto& [id, lines] : hints) {
        // The wide form: Wine's 8-bit one hands out no more than 80 characters.
        wchar_t wide[512] = L"";
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = form->Handle();
        tool.uId = reinterpret_cast<UINT_PTR>(Item(id));
        tool.lpszText = wide;
        ::SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
        char text[512] = "";
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        std::string expected;
        for (const std::string& line : lines) {
            expected += (expected.empty() ? "" : "\r\n") + line;
            SIZE size;
            ::GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
            EXPECT_GT(maxWidth, size.cx) << "no line wraps: " << line;
        }
        EXPECT_EQ(text, expected) << id;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(tip, dc);
}

// What the servers say is the data suite's to show, against ser2net; here, what the dialog
// does around a test.
TEST_F(BridgeDialog, TestsTheServerItNames) {
    const struct {
        const char *ip, *port, *line;
    } refused[] = {
        {"127.0.0.1", "x", "'x' is not a valid server port (1 to 65535)"},
        {"my host", "1", "'my host' is not a valid server address"},
    };
    std::vector<Step> steps;
    for (const auto& c : refused)
        steps.push_back([&] {
            SetText(IdServerIP, c.ip);
            SetText(IdServerPort, c.port);
            Click(IdTestButton);
            EXPECT_EQ(Text(IdTestLine), c.line) << "and nothing connects";
            EXPECT_TRUE(Enabled(IdTestButton));
        });
    // A line of another address, port or box than the dialog's now is gone.
    const int portControl = FieldId("RFC2217");
    for (int changed : {IdServerIP, IdServerPort, portControl})
        steps.push_back([&, portControl, changed] {
            Click(IdTestButton);
            EXPECT_NE(Text(IdTestLine), "");
            if (changed == portControl) Click(changed);
            else SetText(changed, (Text(changed) + "1").c_str());
            EXPECT_EQ(Text(IdTestLine), "") << changed;
        });
    // Closed while a test runs, and shown again: the test is forgotten.
    steps.push_back([&] {
        SetText(IdServerIP, "127.0.0.1");
        Click(IdTestButton);
        EXPECT_FALSE(Enabled(IdTestButton)) << "while it runs";
        Click(IdCancelButton);
    });
    EXPECT_FALSE(Show(steps));
    EXPECT_FALSE(Show({[&] {
        EXPECT_EQ(Text(IdTestLine), "");
        EXPECT_TRUE(Enabled(IdTestButton));
        Click(IdCancelButton);
    }}));
}

// The fields as OK reads them, each different from what the record held before.
TBridgeFields Typed() {
    TBridge typed = Edited();
    TBridgeFields fields;
    for (const TBridgeField& field : BridgeFields) {
        MoveOn(typed, field);
        if (field.View.Control != TFieldControl::None) fields[field.Name] = FieldText(typed, field);
    }
    return fields;
}

TEST(StoreBridgeFields, StopsAtTheFirstRefusedFieldAndKeepsTheOnesBefore) {
    // Which of the dialog's fields, in the table's order, the record now holds otherwise.
    const auto changed = [](const TBridge& was, const TBridge& now) {
        std::vector<std::string> names;
        for (const TBridgeField& field : BridgeFields)
            if (field.View.Control != TFieldControl::None && FieldText(now, field) != FieldText(was, field))
                names.push_back(field.Name);
        return names;
    };
    std::vector<std::string> shown;
    for (const TBridgeField& field : BridgeFields)
        if (field.View.Control != TFieldControl::None) shown.push_back(field.Name);
    const std::size_t All = shown.size();
    const struct {
        std::function<void(TBridgeFields&)> spoil;
        const char* message;  // null: stored
        std::size_t written;  // All: every shown field
    } cases[] = {
        {[](TBridgeFields&) {}, nullptr, All},
        {[](TBridgeFields& f) { f["COM"].clear(); }, "Please select a COM port", 0},
        {[](TBridgeFields& f) { f["Baud"].clear(); }, "'' is not a valid integer value", 1},
        {[](TBridgeFields& f) { f["IP"] = "plc\tlocal"; }, "'plc\tlocal' is not a valid server address", 5},
        {[](TBridgeFields& f) { f["Port"] = "80a"; }, "'80a' is not a valid integer value", 6},
        {[](TBridgeFields& f) { f["Port"] = "65536"; }, "'65536' is not a valid server port (1 to 65535)", 6},
        {[](TBridgeFields& f) { f["Port"] = "65535"; }, nullptr, All},
        {[](TBridgeFields& f) { f["Port"] = " +1"; }, nullptr, All},
        {[](TBridgeFields& f) { f["Delay"] = "-2147483649"; }, "'-2147483649' is not a valid integer value", 7},
        {[](TBridgeFields& f) { f["TXDelay"] = "1.5"; }, "'1.5' is not a valid integer value", 8},
        {[](TBridgeFields& f) { f["RXDelay"] = "$10"; }, "'$10' is not a valid integer value", 9},
        {[](TBridgeFields& f) { f["RXDelay"] = "-1"; }, "'-1' is not a valid RX delay (0 or more)", 9},
        {[](TBridgeFields& f) { f["RXDelay"] = "0"; f["TXDelay"] = "-5"; }, nullptr, All},
    };
    for (const auto& c : cases) {
        TBridgeFields fields = Typed();
        c.spoil(fields);
        const TBridge was = Edited();
        TBridge record = was;
        std::string message;
        try {
            StoreBridgeFields(fields, record);
        } catch (const EInvalidInput& e) {
            message = e.what();
        }
        SCOPED_TRACE(c.message ? c.message : "stored");
        EXPECT_EQ(message, c.message ? c.message : "");
        EXPECT_EQ(changed(was, record), std::vector<std::string>(shown.begin(), shown.begin() + c.written));
    }
}

}  // namespace
