// The main window, created for real in this process and driven with messages.
#include <winsock2.h>

#include "config/bridge.h"
#include "platform/ascii.h"
#include "platform/hub_links.h"
#include "platform/module.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "config/config_store.h"
#include "support/hub_entry.h"
#include "support/loopback.h"
#include "support/message_boxes.h"
#include "support/modal_script.h"
#include "support/shell_notify.h"
#include "support/test_host.h"
#include "support/window_fixture.h"
#include "tools/hub_args.h"
#include "tools/hub_control.h"
#include "tools/run.h"
#include "tools/runner.h"
#include "ui/app_info.h"
#include "ui/notification_area.h"
#include "ui/application.h"
#include "ui/switches.h"

#include "support/hub_entry.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// No letter after an '&' twice in one menu, nor in any of its popups.
void ExpectOwnLetters(HMENU menu) {
    std::string used;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        char text[64] = "";
        ::GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        if (const char* amp = std::strchr(text, '&'); amp && amp[1]) {
            EXPECT_EQ(used.find(platform::AsciiLower(amp[1])), std::string::npos) << text;
            used += platform::AsciiLower(amp[1]);
        }
        if (HMENU popup = ::GetSubMenu(menu, i)) ExpectOwnLetters(popup);
    }
}

using namespace testreg;

class MainWindow : public WindowTest {
protected:
    // The stand-in tools beside the tests, laid out as beside the program.
    void SetUp() override {
        WindowTest::SetUp();
        for (const char* tool : {HubExeName, SetupExeName})
            CopyTool(InDriver(tool), ExeDir() + "\\..\\bin\\driver\\" + tool);
    }

    // The one box of a refused or failed start: over the window, with the exclamation icon.
    void ExpectStartBox(const MessageBoxWatcher& boxes, const std::string& text) const {
        ASSERT_EQ(boxes.Boxes().size(), 1u) << boxes.Texts();
        const MessageBoxWatcher::Box& box = boxes.Boxes()[0];
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.owner, form->Handle());
        EXPECT_EQ(box.icon, MessageBoxWatcher::SystemIcon(IDI_WARNING));
    }
    // A click on Start that shows that box and records no hub.
    void ExpectStartRefused(const std::string& text) {
        MessageBoxWatcher boxes;
        Click(IdStartButton);
        ExpectStartBox(boxes, text);
        EXPECT_EQ(testreg::ReadText(testreg::kProgramKey, "command"), "<missing>");
    }

    // The row's tip, as its tool in the list's tip control holds it, over the row where it is.
    std::string Tip(int row) {
        wchar_t wide[512] = L"";
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = form->Control(IdBridgeList);
        tool.uId = static_cast<UINT_PTR>(form->List().SlotAt(row));
        tool.lpszText = wide;
        ::SendMessageW(form->List().Tips(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool));
        RECT item{};
        ListView_GetItemRect(tool.hwnd, row, &item, LVIR_BOUNDS);
        if (!::EqualRect(&item, &tool.rect)) return "(the tool is not over its row)";
        ::SendMessageW(form->List().Tips(), TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
        char text[512] = "";
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        return text;
    }

    // Starts a hub the way another program would, with a line it accepts, and one that tells
    // nothing of its connections: the test's own connections stand for its.
    void StartOutsideHub() {
        ::SetEnvironmentVariableA("PONTIS_HUB_RECORD", "0");
        Spawn(InDriver(HubExeName),
              "--reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect "
              "--add-filters=0:pinmap --bi-route=0:1 --use-driver=serial --ito=10 --baud=9600 \\\\.\\CNCA1 "
              "--use-driver=tcp 127.0.0.1:9761");
        ::SetEnvironmentVariableA("PONTIS_HUB_RECORD", nullptr);
        ASSERT_NE(AwaitProcess(HubExeName), 0u);
    }

    // A record of the hub with that process id as it keeps one, with this entry, held for as long
    // as the handle; one that names another start of that process when ownStart is false.
    static platform::Handle HubRecordFor(DWORD hub, const platform::HubLink& link, bool ownStart = true) {
        platform::Handle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                      sizeof(platform::HubRecord), platform::HubLinksName(hub).c_str()));
        auto* record = static_cast<platform::HubRecord*>(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
        platform::OpenRecord(*record, hub, platform::ProcessStart(hub) + (ownStart ? 0 : 1), {link.Port});
        platform::WriteEntry(record->Entries[0], link);
        ::UnmapViewOfFile(record);
        return mapping;
    }

    // Lets the window handle its messages until done() or ms (five seconds) have passed.
    static bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
        MSG msg;
        for (int i = 0; i < ms / 20 && !done(); ++i, ::Sleep(20))
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        return done();
    }

    // Runs a program, its standard output a file, and gives its exit code and output.
    std::pair<int, std::string> RunProgram(const std::string& path) {
        const std::string out = ExeDir() + "\\program-output.txt";
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        platform::FileHandle file(
            ::CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = file.get();
        std::string line = "\"" + path + "\"";
        PROCESS_INFORMATION info{};
        DWORD code = 999;
        if (::CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
            const platform::Handle process(info.hProcess), thread(info.hThread);
            if (::WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.get(), &code);
        }
        file.reset();
        return {static_cast<int>(code), FileText(out)};
    }

    // The exit code and output of a switch, its standard output a file as a batch file's redirection gives.
    std::pair<int, std::string> RunSwitch(const std::vector<std::string>& args) {
        const std::string path = ExeDir() + "\\switch-output.txt";
        HANDLE saved = ::GetStdHandle(STD_OUTPUT_HANDLE);
        ::SetStdHandle(STD_OUTPUT_HANDLE, ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                        CREATE_ALWAYS, 0, nullptr));
        const int code = RunSwitches(args).value_or(-1);
        ::CloseHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
        ::SetStdHandle(STD_OUTPUT_HANDLE, saved);
        return {code, FileText(path)};
    }
    static std::string FileText(const std::string& path) {
        std::stringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }
};


TEST(ErrorHandler, AppendsAFullStopAfterCharactersThatSortAfterIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"Invalid data type for 'Port'", "Invalid data type for 'Port'"},
        {"'x' is not a valid integer value", "'x' is not a valid integer value."},
        {"Failed to open key A\\B", "Failed to open key A\\B."},
        {"port 5", "port 5."},
        {"Done.", "Done."},
        {"what?", "what?."},
        {"(see above)", "(see above)"},
        {"", ""},
    };
    for (const auto& [message, shown] : cases) EXPECT_EQ(WithFullStop(message), shown) << message;
}

TEST(WindowFrame, AWindowThatCannotBeMadeRaisesTheSystemsReason) {
    struct Orphan : TWindow {
        Orphan() { CreateFrame("PontisTestOrphan", "orphan", WS_POPUP, 0, 10, 10, reinterpret_cast<HWND>(0x7fff0)); }
    };
    try {
        Orphan orphan;
        ADD_FAILURE() << "a window with a missing owner was made";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create the window PontisTestOrphan: ", 0), 0u) << e.what();
        EXPECT_GT(std::string(e.what()).size(), 45u) << "the system's reason is missing";
    }
}

TEST_F(MainWindow, LooksAsSpecified) {
    Open();
    HWND list = form->Control(IdBridgeList);
    // The caption and style of the window (id 0) and its controls: which bits of mask are set.
    const struct {
        int id;
        const char* caption;
        LONG mask = 0, set = 0;
    } looks[] = {
        {0, "Pontis Manager - Quillon Ltd", WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME, WS_MINIMIZEBOX},
        {IdBridgeList, "", LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_EDITLABELS, LVS_SINGLESEL | LVS_SHOWSELALWAYS},
        {IdAddButton, "&Add"}, {IdEditButton, "&Edit"}, {IdDeleteButton, "&Delete"},
        {IdStartButton, "&Start bridges"}, {IdStopButton, "St&op bridges"}
    };
    for (const auto& c : looks) {
        HWND window = c.id ? form->Control(c.id) : form->Handle();
        EXPECT_EQ(WindowText(window), c.caption) << c.id;
        EXPECT_EQ(::GetWindowLongA(window, GWL_STYLE) & c.mask, c.set) << c.id;
    }
    const DWORD gridAndRows = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;
    EXPECT_EQ(ListView_GetExtendedListViewStyle(list) & gridAndRows, gridAndRows);
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    RECT client;
    ::GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, ::MulDiv(499, dpi, 96));
    EXPECT_EQ(client.bottom, ::MulDiv(239 + 22, dpi, 96));  // the status bar below the controls
    RECT bar;
    ::GetWindowRect(form->Control(IdStatusBar), &bar);
    ::MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.top, ::MulDiv(239, dpi, 96));
    EXPECT_EQ(bar.bottom, client.bottom);
    EXPECT_EQ(ListView_GetColumnWidth(list, 2), ::MulDiv(70, dpi, 96));
    AddRow("COM20");  // shown in full beside its dot
    RECT label{};
    ListView_GetItemRect(list, 0, &label, LVIR_LABEL);
    EXPECT_GE(label.right - label.left, ListView_GetStringWidth(list, "COM20") + 12);

    const char* titles[] = {"Port", "Server IP", "Server Port", "Name"};
    for (int i = 0; i < 4; ++i) {
        char text[32] = "";
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(::SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, titles[i]);
    }

    HMENU menu = ::GetMenu(form->Handle());
    ASSERT_EQ(::GetMenuItemCount(menu), 3);
    const char* top[] = {"&File", "Bridge", "A&bout"};
    for (int i = 0; i < 3; ++i) {
        char text[32] = "";
        ::GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, top[i]);
    }
    EXPECT_TRUE(MenuEnabled(IdMenuAdd));
    EXPECT_FALSE(MenuEnabled(IdMenuEdit));
    EXPECT_FALSE(MenuEnabled(IdMenuDelete));
    HMENU file = ::GetSubMenu(menu, 0);  // the log-on entry, the notes, the echoes, the log, a separator, then Exit
    const char* entries[] = {"Start bridges at &log-on", "&Notify when a link drops", "Check that servers &answer",
                             "&Show connection log"};
    for (int i = 0; i < 4; ++i) {
        char text[32] = "";
        ::GetMenuStringA(file, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, entries[i]);
    }
    EXPECT_TRUE(::GetMenuState(file, 2, MF_BYPOSITION) & MF_CHECKED) << "the servers are checked unless turned off";
    EXPECT_TRUE(::GetMenuState(file, 4, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(::GetMenuItemID(file, 5), static_cast<UINT>(IdMenuExit));
    ExpectOwnLetters(menu);
    ModalScript script({[] {  // and the icon's menu, while it is open
        const HWND open = ::FindWindowA("#32768", nullptr);
        ExpectOwnLetters(open ? reinterpret_cast<HMENU>(::SendMessageA(open, MN_GETHMENU, 0, 0)) : nullptr);
        EXPECT_TRUE(open && ::GetMenuItemCount(reinterpret_cast<HMENU>(::SendMessageA(open, MN_GETHMENU, 0, 0))) == 4);
        ::EndMenu();
    }});
    ::SendMessageA(form->Handle(), WM_TRAYICON, 1, WM_RBUTTONUP);
    EXPECT_TRUE(script.Finished());
}

TEST_F(MainWindow, KeepsRowsInTheLocaleTextOrder) {
    int n = 1;
    for (const char* com : {"comb", "COM3", "COM2", "COMa", "com3"}) WriteBridge(n++, com);
    Open();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"COM2", "com3", "COM3", "COMa", "comb"}));
    EXPECT_EQ(form->StatusText(), "5 bridges, stopped");

    AddRow("COM10", "10.0.0.1", 1);
    EXPECT_EQ(RowText(0), "COM10") << "digits compare as characters";
    EXPECT_EQ(RowText(0, 1), "10.0.0.1");

    SelectRow(5);  // "comb" moves to the front when renamed
    const int renamed = form->List().SelectedSlot();
    Bridges[renamed].COM = "COM1";
    Bridges[renamed].Name = "renamed";
    form->List().UpdateRow(renamed, TLinkState::Stopped);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"COM1", "COM10", "COM2", "com3", "COM3", "COMa"}));
    EXPECT_EQ(SelectedCaption(), "COM1");
    EXPECT_EQ(RowText(0, 3), "renamed");
}

TEST_F(MainWindow, AvailabilityFollowsSelectionRowsAndRunning) {
    WriteBridge(1, "COM3");
    Open();
    EXPECT_TRUE(Enabled(IdAddButton));
    EXPECT_FALSE(Enabled(IdEditButton));
    EXPECT_FALSE(Enabled(IdDeleteButton));

    SelectRow(0);
    EXPECT_TRUE(Enabled(IdEditButton));
    EXPECT_TRUE(Enabled(IdDeleteButton));
    EXPECT_TRUE(MenuEnabled(IdMenuEdit));
    EXPECT_TRUE(MenuEnabled(IdMenuDelete));

    form->SetRunning(true);
    form->UpdateAvailability();
    for (int id : {IdAddButton, IdEditButton, IdDeleteButton}) EXPECT_FALSE(Enabled(id)) << id;
    for (int id : {IdMenuAdd, IdMenuEdit, IdMenuDelete}) EXPECT_FALSE(MenuEnabled(id)) << id;
    EXPECT_TRUE(Enabled(IdStopButton)) << "stop is always available";

    form->SetRunning(false);
    SelectRow(-1);
    EXPECT_FALSE(Enabled(IdEditButton));
    EXPECT_TRUE(Enabled(IdAddButton));
}

TEST_F(MainWindow, TenRowsMakeAddUnavailable) {
    for (int n = 1; n <= 10; ++n) WriteBridge(n, "COM" + std::to_string(n));
    Open();
    EXPECT_EQ(RowCount(), 10);
    EXPECT_FALSE(Enabled(IdAddButton));
    EXPECT_FALSE(MenuEnabled(IdMenuAdd));
    DeleteRow(0);
    EXPECT_TRUE(PumpUntil([&] { return Enabled(IdAddButton); })) << "the rules run at the window's tick";
    const DWORD tick = ::GetTickCount();
    for (bool full : {true, false}) {  // twice more, the second at a later tick
        if (full) AddRow("COM31"); else DeleteRow(RowCount() - 1);
        EXPECT_TRUE(PumpUntil([&] { return Enabled(IdAddButton) != full; }));
    }
    EXPECT_LT(::GetTickCount() - tick, 3000u) << "a tick, and a look at the links, each second";
    EXPECT_TRUE(MenuEnabled(IdMenuAdd));
    form->Show();  // the tenth row takes Add away from the keyboard: the list gets the focus
    ::SetFocus(form->Control(IdAddButton));
    AddRow("COM30");
    form->UpdateAvailability();
    EXPECT_EQ(::GetFocus(), form->Control(IdBridgeList));

    // The columns fill the list's width whether the vertical scroll bar shows or not.
    HWND list = form->Control(IdBridgeList);
    for (int rows : {9, 1, 10}) {
        while (RowCount() > rows) DeleteRow(0);
        for (int n = RowCount() + 1; n <= rows; ++n) AddRow(("COM" + std::to_string(n + 10)).c_str());
        RECT r{};
        ::GetClientRect(list, &r);
        int widths = 0;
        for (int c = 0; c < Header_GetItemCount(ListView_GetHeader(list)); ++c) widths += ListView_GetColumnWidth(list, c);
        EXPECT_EQ(widths, r.right) << rows << " rows";
        EXPECT_FALSE(::GetWindowLongA(list, GWL_STYLE) & WS_HSCROLL) << rows << " rows";
    }
}

TEST_F(MainWindow, TheListHasTheFocusAtStartAndGetsItBackAfterABox) {
    Open();
    form->Show();
    HWND list = form->Control(IdBridgeList);
    EXPECT_EQ(::GetFocus(), list);
    MessageBoxWatcher boxes;
    Click(IdStartButton);
    ASSERT_EQ(boxes.Boxes().size(), 1u) << "no bridges to start";
    EXPECT_EQ(::GetFocus(), list);
}

TEST_F(MainWindow, StartUpWithARunningHubCountsAsRunning) {
    WriteBridge(1, "COM3");
    StartOutsideHub();
    Open();
    EXPECT_EQ(RowCount(), 1);
    EXPECT_FALSE(Enabled(IdStartButton));
    SelectRow(0);
    EXPECT_FALSE(Enabled(IdAddButton));
    EXPECT_FALSE(Enabled(IdEditButton));

    Click(IdStopButton);
    EXPECT_TRUE(Enabled(IdStartButton));
    EXPECT_EQ(FirstProcess("hub4com.exe"), 0u) << "stop ends the hub";
}

TEST_F(MainWindow, AValueOfTheWrongTypeIsItsSlotsReasonAndStartUpGoesOn) {
    WriteBridge(1, "COM1");
    const DWORD port = 9761;
    WriteRaw(SlotKey(2), "Port", REG_DWORD, std::string(reinterpret_cast<const char*>(&port), 4));
    WriteBridge(3, "COM3");
    StartOutsideHub();

    MessageBoxWatcher boxes;
    Open({"-mdebug"});
    EXPECT_EQ(boxes.Boxes().size(), 0u) << boxes.Texts();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"COM1", "COM3", "COM3"}));  // slot 2 with the default COM
    EXPECT_EQ(form->RowTip(2), "Port is stored as a number, not as text");
    EXPECT_FALSE(Enabled(IdStartButton)) << "the hub check was made";
    EXPECT_TRUE(DebugMode) << "the switch test was made";
    DebugMode = false;
}

TEST_F(MainWindow, DebugSwitchIsReadAtStartUp) {
    const std::pair<const char*, bool> cases[] = {
        {"-mdebug", true}, {"/MDEBUG", true}, {"-MDebug", true}, {"mdebug", false}, {"--mdebug", false}, {"-mdebug2", false}};
    for (const auto& [arg, expected] : cases) {
        Open({"first", arg});
        EXPECT_EQ(DebugMode, expected) << arg;
        Close();
        DebugMode = false;
    }
}

TEST_F(MainWindow, StartRunsTheHubRecordsItsLineAndStopEndsIt) {
    WriteBridge(1, "COM5", "127.0.0.1", "4001");
    WriteBridge(2, "COM3", "127.0.0.1", "9761");
    WriteBridge(3, "COM7", "127.0.0.1", "9762");
    WriteText(SlotKey(3), "Enabled", "0");
    Open();
    ::SetFocus(form->Control(IdStartButton));
    Click(IdStartButton);

    EXPECT_NE(FirstProcess("hub4com.exe"), 0u);
    EXPECT_FALSE(Enabled(IdStartButton));
    EXPECT_EQ(::GetFocus(), form->Control(IdStopButton)) << "focus leaves the disabled button";
    EXPECT_EQ(RowState(0), TLinkState::Waiting) << "no server listens";
    EXPECT_EQ(Tip(0), "Waiting for 127.0.0.1:9761");
    EXPECT_EQ(ReadText(kProgramKey, "command"), BuildHubArguments({2, 1}));  // COM3, COM5; COM7 is off
    EXPECT_EQ(RowState(2), TLinkState::Off);  // the hollow grey dot
    EXPECT_EQ(Tip(2), "Switched off");
    EXPECT_EQ(ReadText(kProgramKey, "command").find(" --reconnect=10000"), 0u);

    Click(IdStopButton);
    EXPECT_EQ(FirstProcess("hub4com.exe"), 0u);
    EXPECT_TRUE(Enabled(IdStartButton));
    EXPECT_EQ(RowState(1), TLinkState::Stopped);
    EXPECT_EQ(Tip(1), "Bridges are stopped");

    // A hub that ends by itself makes the bridges stopped again at the next tick.
    Click(IdStartButton);
    ASSERT_FALSE(Enabled(IdStartButton));
    EndHubs();
    form->LinkTimerTick();
    EXPECT_TRUE(PumpUntil([&] { return Enabled(IdStartButton); }));
    EXPECT_TRUE(Enabled(IdAddButton));

    // And one started elsewhere, as a script's -start does, makes them run.
    StartOutsideHub();
    EXPECT_TRUE(PumpUntil([&] { return !Enabled(IdStartButton); })) << "the window sees the hub";
    EXPECT_FALSE(Enabled(IdAddButton));
}

TEST_F(MainWindow, ASecondStartBringsForwardOnlyThisProgramsWindow) {
    const std::string program = ExeDir() + "\\..\\bin\\PontisManager.exe";
    {  // another program, this test, holds the name; then it shows a window of the same class too
        const platform::Handle name(::CreateMutexA(nullptr, FALSE, "Local\\Pontis Manager main window"));
        EXPECT_EQ(RunProgram(program), std::make_pair(1, std::string("Pontis Manager is already running, but its "
                                                                     "window could not be found.\r\n")));
        Open();
        EXPECT_EQ(RunProgram(program),
                  std::make_pair(1, "Pontis Manager is already running from " + platform::ExePath() + ".\r\n"));
        Close();
    }
    // The program's own window, hidden in the notification area, shows; minimised, it comes back restored.
    const DWORD first = ::GetProcessId(Spawn(program, "-tray"));
    HWND window = nullptr;
    EXPECT_TRUE(PumpUntil([&] {
        window = ::FindWindowA(TMainWindow::ClassName, nullptr);
        DWORD owner = 0;
        return window && ::GetWindowThreadProcessId(window, &owner) && owner == first;
    }));
    EXPECT_EQ(RunProgram(program).first, 0);
    EXPECT_TRUE(::IsWindowVisible(window));
    ::ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(RunProgram(program).first, 0);
    EXPECT_FALSE(::IsIconic(window));
    ::PostMessageA(window, WM_COMMAND, IdMenuExit, 0);
}

TEST_F(MainWindow, StartSwitchLaunchesTheButtonsLineAndStopEndsIt) {
    for (int n : {1, 2, 3, 4}) WriteBridge(n, std::vector<std::string>{"COM5", "com3", "COM10", "COM3"}[n - 1]);
    Open();
    Click(IdStartButton);
    const std::string button = ReadText(kProgramKey, "command");
    Click(IdStopButton);
    Close();
    WriteText(kProgramKey, "command", "");
    ::DeleteFileA(InDriver("hub4com.log").c_str());

    ::SetEnvironmentVariableA("PONTIS_HUB_RECORD", "0");  // its record is the test's
    EXPECT_EQ(RunSwitch({"-mdebug", "/START"}), std::make_pair(0, button + "\r\nBridges started\r\n"));
    EXPECT_EQ(ReadText(kProgramKey, "command"), button);
    EXPECT_NE(FileText(InDriver("hub4com.log")).find(": \"" + InDriver(HubExeName) + "\"" + button + "\r\n"),
              std::string::npos);
    const auto hub = FirstProcess(HubExeName);
    EXPECT_EQ(RunSwitch({"-start"}), std::make_pair(0, std::string("Bridges are already running\r\n")));
    EXPECT_EQ(FirstProcess(HubExeName), hub) << "the same line: left running";
    const platform::Handle portLost = HubRecordFor(hub, HubEntry(platform::HubLinkState::PortLost, 0, 0, 0, HubPortName(1)));
    EXPECT_EQ(RunSwitch({"-start"}), std::make_pair(0, std::string("Bridges started\r\n")));
    EXPECT_NE(FirstProcess(HubExeName), hub) << "a bridge that lost its port carries nothing: started anew";
    WriteBridge(4, "COM3", "10.0.0.9");
    EXPECT_EQ(RunSwitch({"-start"}), std::make_pair(0, std::string("Bridges started\r\n")));
    EXPECT_NE(FirstProcess(HubExeName), hub) << "an edited bridge: started anew";
    for (int n : {1, 2, 3, 4}) WriteText(SlotKey(n), "Enabled", "0");
    EXPECT_EQ(RunSwitch({"-start"}), std::make_pair(0, std::string("All bridges are switched off\r\n")));
    EXPECT_EQ(FirstProcess(HubExeName), 0u) << "ended as a stop ends it";
    for (int n : {1, 2, 3, 4}) WriteText(SlotKey(n), "Enabled", "1");
    EXPECT_EQ(RunSwitch({"-start"}).first, 0);
    PublishNotAnswering(1u << 1);  // as a window judged it: a script's stop starts the judging anew
    EXPECT_EQ(RunSwitch({"-stop"}), std::make_pair(0, std::string("Bridges stopped\r\n")));
    EXPECT_EQ(NotAnsweringSlots(), 0u);
    EXPECT_EQ(FirstProcess(HubExeName), 0u);
    EXPECT_EQ(RunSwitch({"-stop"}), std::make_pair(0, std::string("Bridges were not running\r\n")));
    ::SetEnvironmentVariableA("PONTIS_HUB_RECORD", nullptr);
}

TEST_F(MainWindow, SwitchesThatCannotDoTheirJobSaySoAndEndWithTheirCode) {
    struct { const char *ip, *also, *output, *port2 = nullptr; int code = 1; const char* action = "-start"; const char* logged = nullptr; } const cases[] = {
        {"", "-mdebug", "No bridges defined! Please define at least one.\r\n", nullptr, 1, "-start", "refused"},  // ip: of the one bridge, none when empty
        {"10.0.0.1 -x", "-mdebug", "Bridge 'COM3' has an invalid server address\r\n", nullptr, 1, "-start", "refused"},
        {"127.0.0.1", "", "Unable to start bridges! Please check your settings and try again\r\n", nullptr, 1, "-start", "failed"},  // the hub ends at once
        {"127.0.0.1", "/bogus", "Unknown switch '/bogus'\r\n", nullptr, 64},
        {"127.0.0.1", "-stop", "Use one of -start, -stop and -status\r\n", nullptr, 64, "-status"},
        {"127.0.0.1", "-x", "Unknown switch '-x'\r\n", nullptr, 64, "-tray"},
        {"127.0.0.1", "", "COM3\t127.0.0.1:9761\tstopped\r\nBridge slot 2 cannot be read: Port '4710 2'\r\n", "4710 2", 2,
         "-status"},  // stopped, whatever a slot holds
        {"", "", "No bridges defined\r\n", nullptr, 3, "-status"},
        {"", "", "Bridge slot 2 cannot be read: Port '4710 2'\r\n", "4710 2", 2, "-status"},  // only unreadable ones
    };
    ::SetEnvironmentVariableA("LOCALAPPDATA", (ExeDir() + "\\switch-app-data").c_str());
    const std::string log = ExeDir() + "\\switch-app-data\\Pontis Manager\\connections.log";
    for (const auto& c : cases) {
        testreg::DeleteProgramKey();
        if (*c.ip) WriteBridge(1, "COM3", c.ip);
        if (c.port2) WriteBridge(2, "COM4", "10.0.0.2", c.port2);
        if (c.logged && c.logged == std::string("failed")) {
            CopyTool(InDriver(HubExeName));
            ToolBehaviour("1");
        }
        ::DeleteFileA(log.c_str());
        EXPECT_EQ(RunSwitch({c.action, c.also}), std::make_pair(c.code, std::string(c.output)));
        EXPECT_EQ(FirstProcess(HubExeName), 0u) << c.output;
        EXPECT_EQ(ReadText(kProgramKey, "command"), "<missing>") << c.output;
        const std::string lines = FileText(log);
        const std::string why(c.output, std::strlen(c.output) - 2);  // the line a script reads, and the log
        EXPECT_EQ(lines.substr(std::min<std::size_t>(19, lines.size())),
                  c.logged ? "\t-\t-\t" + std::string(c.logged) + '\t' + why + "\r\n" : "")
            << c.output;
    }
    std::filesystem::remove_all(ExeDir() + "\\switch-app-data");
}

TEST_F(MainWindow, StartAtLogOnEntryWritesTheRunValueThenDeletesIt) {
    const char run[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    WriteText(run, "Pontis Manager", "\"C:\\Moved from\\PontisManager.exe\" -start");
    Open();
    auto checked = [this] { return ::GetMenuState(::GetMenu(form->Handle()), IdMenuLogOn, 0) & MF_CHECKED; };
    EXPECT_FALSE(checked()) << "the value names another path";
    Click(IdMenuLogOn);
    EXPECT_EQ(ReadText(run, "Pontis Manager"), "\"" + platform::ExePath() + "\" -start -tray");
    EXPECT_TRUE(checked());
    Click(IdMenuLogOn);
    EXPECT_EQ(ReadText(run, "Pontis Manager"), "<missing>");
    EXPECT_FALSE(checked());

    // Changed outside while the window is open: read as the File menu opens. The exact command
    // stored as expandable text counts, and choosing the entry deletes it.
    const std::string command = "\"" + platform::ExePath() + "\" -start";
    WriteRaw(run, "Pontis Manager", REG_EXPAND_SZ, std::string(command.c_str(), command.size() + 1));
    ::SendMessageA(form->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(::GetSubMenu(::GetMenu(form->Handle()), 0)), 0);
    EXPECT_TRUE(checked());
    Click(IdMenuLogOn);
    EXPECT_EQ(ReadText(run, "Pontis Manager"), "<missing>");
    EXPECT_NO_THROW(DeleteLogOnValue()) << "a value already gone";

    DenyAccess(run, true);  // a registry failure is said, and the mark stays as the registry is
    MessageBoxWatcher boxes;
    Click(IdMenuLogOn);
    DenyAccess(run, false);
    ASSERT_EQ(boxes.Boxes().size(), 1u) << boxes.Texts();
    EXPECT_EQ(boxes.Boxes()[0].caption, AppTitle);
    EXPECT_FALSE(checked());
    EXPECT_EQ(ReadText(run, "Pontis Manager"), "<missing>");
}

TEST_F(MainWindow, StatusNamesConnectedAndWaitingBridgesAndLeavesTheHubRunning) {
    if (!UnderWine()) GTEST_SKIP() << "elsewhere the connection's owner, this test, is not the hub";
    const LoopbackLinks links;
    ASSERT_TRUE(links.Ready());
    const std::string port = std::to_string(links.port), idlePort = std::to_string(links.idlePort);
    WriteBridge(1, "COM3", "localhost", port);  // a name, resolved for the first call
    WriteBridge(2, "COM4", "127.0.0.1", idlePort);
    StartOutsideHub();
    EXPECT_EQ(RunSwitch({"-status"}),
              std::make_pair(1, "COM3\tlocalhost:" + port + "\tconnected\r\nCOM4\t127.0.0.1:" + idlePort + "\twaiting\r\n"));
    WriteText(SlotKey(2), "Enabled", "0");
    EXPECT_EQ(RunSwitch({"-status"}),
              std::make_pair(0, "COM3\tlocalhost:" + port + "\tconnected\r\nCOM4\t127.0.0.1:" + idlePort + "\toff\r\n"));
    WriteText(SlotKey(1), "IP", "127.0.0.1");  // every server an address: still the look decides
    EXPECT_EQ(RunSwitch({"-status"}),
              std::make_pair(0, "COM3\t127.0.0.1:" + port + "\tconnected\r\nCOM4\t127.0.0.1:" + idlePort + "\toff\r\n"));
    // The hub's entry for COM3 decides whether the test's connection is its, and what it carries.
    sockaddr_in local{};
    int size = sizeof local;
    ASSERT_EQ(::getsockname(links.client.s, reinterpret_cast<sockaddr*>(&local), &size), 0);
    const auto entry = [&](platform::HubLinkState state, int server) {
        return HubEntry(state, ntohs(local.sin_port), 0x7F000001, static_cast<std::uint16_t>(server), HubPortName(1));
    };
    using H = platform::HubLinkState;
    const struct { platform::HubLink entry; int code; const char* word; bool own = true; } entries[] = {
        {entry(H::Connected, links.port), 0, "connected"}, {entry(H::Refused, links.port), 1, "port control refused"},
        {entry(H::SpeaksTelnet, links.port), 1, "mismatched"}, {entry(H::PortLost, links.port), 1, "waiting"},
        {entry(H::Connected, links.idlePort), 1, "waiting"},  // the hub's local port, another server: not the hub's
        {entry(H::Idle, links.port), 0, "connected", false},  // names another start of the hub: not read
    };
    for (const auto& e : entries) {
        const platform::Handle record = HubRecordFor(FirstProcess(HubExeName), e.entry, e.own);
        const std::string counts = e.own ? "\tsent=0\treceived=0\tidle=-" : "";  // a record read gives the device end
        const std::string lines =
            "COM3\t127.0.0.1:" + port + "\t" + e.word + counts + "\r\nCOM4\t127.0.0.1:" + idlePort + "\toff\r\n";
        EXPECT_EQ(RunSwitch({"-status"}), std::make_pair(e.code, lines)) << e.word;
    }
    WriteText(SlotKey(10), "Port", "abc");  // left out of the hub: a failure while it runs
    EXPECT_EQ(RunSwitch({"-status"}).first, 1);
    EXPECT_NE(FirstProcess(HubExeName), 0u);
}

TEST_F(MainWindow, InTheTrayItHidesOnCloseNotesAnEndedHubAndLogsWhatItDoes) {
    const std::string appData = ExeDir() + "\\tray-app-data", log = appData + "\\Pontis Manager\\connections.log";
    char saved[MAX_PATH] = "";
    ::GetEnvironmentVariableA("LOCALAPPDATA", saved, MAX_PATH);
    ::SetEnvironmentVariableA("LOCALAPPDATA", appData.c_str());
    ::DeleteFileA(log.c_str());
    // Until a script's stop, the record of starts and stops is another program's that refuses us.
    SECURITY_ATTRIBUTES refusing{sizeof refusing, nullptr, FALSE};
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1, &refusing.lpSecurityDescriptor, nullptr));
    platform::Handle squatter(::CreateFileMappingW(INVALID_HANDLE_VALUE, &refusing, PAGE_READWRITE, 0, 16, L"Local\\Pontis Manager starts and stops"));
    ::LocalFree(refusing.lpSecurityDescriptor);
    const ShellNotifyRecorder icon;
    StartOutsideHub();
    Open({"-tray"});
    ASSERT_TRUE(form->StaysInTray()) << "no notification area took the icon";
    ASSERT_TRUE(PumpUntil([&] { return icon.Last().szTip == std::wstring(L"Pontis Manager: 0 of 0 bridges connected"); }));
    const HICON runningDot = icon.Last().hIcon;
    // A notification area made anew: an icon it still has stays shown, a lost one comes back.
    NOTIFYICONDATAW probe = icon.Last();
    const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    ::SendMessageA(form->Handle(), taskbarCreated, 0, 0);
    EXPECT_TRUE(form->StaysInTray());
    ::Shell_NotifyIconW(NIM_DELETE, &probe);
    ::SendMessageA(form->Handle(), taskbarCreated, 0, 0);
    EXPECT_TRUE(::Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the icon was not added again";
    for (bool folder : {false, true}) {  // no log yet, then a folder of its name
        if (folder) std::filesystem::create_directories(log);
        MessageBoxWatcher boxes;
        Click(IdMenuShowLog);
        EXPECT_EQ(boxes.Texts(), "[Pontis Manager] No connections have been logged yet.\n") << folder;
        ::RemoveDirectoryA(log.c_str());
    }
    UINT entry = 0;  // the icon's menu, while the bridges run, offers to stop them
    {
        const ModalScript menu({[&] {
            entry = ::GetMenuItemID(reinterpret_cast<HMENU>(::SendMessageA(::FindWindowA("#32768", nullptr), MN_GETHMENU, 0, 0)), 1);
            ::EndMenu();
        }});
        ::SendMessageA(form->Handle(), WM_TRAYICON, 1, WM_RBUTTONUP);
    }
    EXPECT_EQ(entry, static_cast<UINT>(IdStopButton));
    EXPECT_EQ(RunSwitch({"-stop"}), std::make_pair(1, RecordUnusableText + platform::SystemErrorText(ERROR_ACCESS_DENIED) + "\r\n"));
    squatter.reset();
    EXPECT_EQ(RunSwitch({"-stop"}).first, 0);  // a script's stop is a stop, not a crash
    EXPECT_EQ(RunSwitch({"-stop"}), std::make_pair(0, std::string("Bridges were not running\r\n")));  // and logs nothing
    ASSERT_TRUE(PumpUntil([&] { return Enabled(IdStartButton); }));
    EXPECT_EQ(icon.Last().szInfo, std::wstring(L"Bridges stopped")) << "not handed to the system";
    EXPECT_EQ(icon.Last().szInfoTitle, std::wstring(L"Pontis Manager"));
    EXPECT_EQ(icon.Last().dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(icon.Last().szTip, std::wstring(L"Pontis Manager: bridges stopped"));
    EXPECT_NE(icon.Last().hIcon, runningDot) << "the dot keeps its colour";
    for (const std::string& text : {std::string("Device (COM3) lost 127.0.0.1:4001"), std::string(300, 'x')}) {
        form->Tray().Note({"Link lost", text, true});  // whole, or cut where it says so
        EXPECT_EQ(icon.Last().szInfo, text.size() < 256 ? platform::Widen(text) : std::wstring(254, L'x') + L'\x2026');
    }
    ExpectStartRefused(NoBridgesText);
    PumpUntil([] { return false; }, 1500);  // looks while the bridges are stopped log nothing
    const std::string lines = FileText(log);
    EXPECT_EQ(lines.size(), 2 * 19 + std::string("\t-\t-\tstopped\r\n\t-\t-\trefused\t").size() +
                                std::string(NoBridgesText).size() + 2)
        << lines;
    EXPECT_NE(lines.find("\t-\t-\tstopped\r\n"), std::string::npos) << lines;
    Click(IdMenuShowLog);  // the test prefix has no program for .log files: Notepad shows it
    char title[256] = "";  // "Notepad" until the file is read
    for (int i = 0; i < 200 && !std::strstr(title, "connections.log"); ++i) {
        ::Sleep(50);
        ::GetWindowTextA(::FindWindowA("Notepad", nullptr), title, sizeof title);
    }
    EXPECT_NE(std::strstr(title, "connections.log"), nullptr) << title;
    ::PostMessageA(::FindWindowA("Notepad", nullptr), WM_CLOSE, 0, 0);

    // A log that cannot be written, in a folder the code page cannot name, is noted once, after
    // the look's other notes, which keep their letters of the code page.
    const std::wstring blocked = platform::Widen(ExeDir()) + L"\\\u041F\u0443\u0442\u0438";
    platform::FileHandle(::CreateFileW(blocked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)).reset();
    ::SetEnvironmentVariableW(L"LOCALAPPDATA", blocked.c_str());
    TLinks links;
    std::vector<TLinkEvent> events;  // a link that dropped, and a line for the log
    for (int at : {0, 1000, 6000}) events = links.Look(at, {{1, "COM\xE9", "h\xF4te:1", at ? TLinkState::Waiting : TLinkState::Connected}});
    events.push_back({TEventKind::HubEnded});
    std::wstring notes[2];
    for (std::wstring& note : notes) { form->Tray().Show(events, links); note = icon.Last().szInfo; }
    ::DeleteFileW(blocked.c_str());
    EXPECT_EQ(notes[0], L"The connection log could not be written: " + blocked + L"\\Pontis Manager\\connections.log (" +
                            platform::Widen(platform::SystemErrorText(ERROR_PATH_NOT_FOUND), CP_ACP) + L")");
    EXPECT_EQ(notes[1], L"COM\u00E9 lost h\u00F4te:1") << "the log's failure is noted once";

    ::SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(form->Handle())) << "closed, it hides";
    ::SendMessageA(form->Handle(), WM_TRAYICON, 1, WM_LBUTTONUP);
    EXPECT_TRUE(::IsWindowVisible(form->Handle())) << "a click on the icon shows it";
    Click(IdMenuNotify);
    EXPECT_EQ(ReadText(kProgramKey, "Notify"), "0");
    EXPECT_FALSE(form->Tray().Notify());
    EXPECT_FALSE(::GetMenuState(::GetMenu(form->Handle()), IdMenuNotify, MF_BYCOMMAND) & MF_CHECKED);
    Click(IdMenuCheckServers);
    EXPECT_EQ(ReadText(kProgramKey, "CheckServers"), "0");
    EXPECT_FALSE(::GetMenuState(::GetMenu(form->Handle()), IdMenuCheckServers, MF_BYCOMMAND) & MF_CHECKED);
    Click(IdMenuExit);
    EXPECT_FALSE(::IsWindow(form->Handle())) << "Exit ends it";
    ::SetEnvironmentVariableA("LOCALAPPDATA", saved);
}

TEST_F(MainWindow, StartWithoutAnOutputShowsItsRefusalInTheBox) {
    const HANDLE saved = ::GetStdHandle(STD_OUTPUT_HANDLE);  // as at log-on: no output, no console
    ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    MessageBoxWatcher boxes;
    EXPECT_EQ(RunSwitches({"-start"}), 1);
    ::SetStdHandle(STD_OUTPUT_HANDLE, saved);
    ASSERT_EQ(boxes.Boxes().size(), 1u) << boxes.Texts();
    EXPECT_EQ(boxes.Boxes()[0].text, NoBridgesText);
    EXPECT_EQ(boxes.Boxes()[0].icon, MessageBoxWatcher::SystemIcon(IDI_WARNING));
}

TEST_F(MainWindow, StartWithoutBridgesSaysSoAndLeavesARunningHubAlone) {
    StartOutsideHub();
    Open();
    form->SetRunning(false);
    ExpectStartRefused("No bridges defined! Please define at least one.");
    EXPECT_NE(FirstProcess("hub4com.exe"), 0u);
}

TEST_F(MainWindow, AHubThatEndsAtOnceIsAFailedStart) {
    WriteBridge(1, "COM3");
    CopyTool(InDriver(HubExeName));
    ToolBehaviour("1");
    Open();
    ExpectStartRefused(UnableToStartText);
    EXPECT_TRUE(Enabled(IdStartButton));
}

TEST_F(MainWindow, DebugModeShowsTheArgumentsBeforeTheLaunch) {
    WriteBridge(1, "COM3");
    CopyTool(InDriver(HubExeName));
    ToolBehaviour("0 30000");
    AskForReport();
    Open({"-mdebug"});
    MessageBoxWatcher boxes;
    boxes.SetProbe([] { return FirstProcess(HubExeName) != 0; });
    Click(IdStartButton);

    ASSERT_EQ(boxes.Boxes().size(), 1u) << boxes.Texts();
    const MessageBoxWatcher::Box& box = boxes.Boxes()[0];
    EXPECT_EQ(box.caption, AppTitle);
    EXPECT_EQ(box.text, BuildHubArguments({1}));
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.icon, nullptr);
    EXPECT_TRUE(box.centred);
    EXPECT_FALSE(box.probed) << "the hub ran while the line showed";
    EXPECT_NE(FirstProcess(HubExeName), 0u);
    // The tool writes its report as it starts: wait for it rather than for a moment.
    for (int i = 0; i < 100 && Report()["show"].empty(); ++i) ::Sleep(50);
    EXPECT_EQ(Report()["show"], "-1");  // the hub's window is shown too
}

}  // namespace
