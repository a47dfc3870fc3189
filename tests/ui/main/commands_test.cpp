// Adding, editing and deleting bridges on the real windows, with real setup-tool runs: the
// stand-in setup tool, or the test tool ending with a chosen code.
#include "config/bridge.h"
#include "support/dialog_ids.h"
#include "support/message_boxes.h"
#include "support/window_fixture.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>

namespace {

using namespace testreg;

class BridgeCommands : public WindowTest {
protected:
    void TearDown() override {
        Close();
        for (const char* file : {"setupc.state", "setupc.log"}) ::DeleteFileA(InDriver(file).c_str());
        WindowTest::TearDown();
    }

    // The stand-in setup tool, with no pairs yet, and the script and relay that make them real.
    void UseStandInSetup() {
        for (const char* file : {"setupc.exe", "pty-pairs.sh", "pty-relay"})
            CopyTool(InDriver(file), ExeDir() + "\\..\\bin\\driver\\" + file);
    }
    // The test tool as the setup tool, ending with exitCode and reporting its command line.
    void UseTestToolSetup(const char* exitCode) {
        CopyTool(InDriver("setupc.exe"));
        ToolBehaviour(exitCode);
        AskForReport();
    }
    std::string SetupLog() { return FileText(InDriver("setupc.log"), std::ios::in); }
    // The arguments after the quoted program path of the last test-tool run, or "" when none ran.
    std::string ToolArguments() {
        const std::string line = Report()["line"];
        const std::size_t end = line.find("\" ");
        return end == std::string::npos ? "" : line.substr(end + 2);
    }
};

TEST_F(BridgeCommands, AddLandsInTheLowestFreeSlotAfterInstallingItsPair) {
    UseStandInSetup();
    WriteBridge(1, "COM1");
    WriteBridge(3, "COM3");
    Open();
    WithDialog(IdAddButton, {Pick(IdPortCombo, "COM7"), Type(IdServerIP, "127.0.0.1"),
                                     Type(IdServerPort, "4001"), Type(IdTXDelay, "25"),
                                     Type(IdBridgeName, "Scale"), Press(IdOkButton)});

    EXPECT_EQ(SetupLog(), "[0] install 2 HiddenMode=yes PortName=COM7,EmuBR=yes,AddRTTO=0,AddRITO=25\n");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"COM1", "COM3", "COM7"}));
    EXPECT_EQ(RowText(2, 1), "127.0.0.1");
    EXPECT_EQ(RowText(2, 3), "Scale");
    EXPECT_EQ(Bridges[2].Index, 2);
    EXPECT_EQ(ReadText(SlotKey(2), "COM"), "COM7");
    EXPECT_EQ(ReadText(SlotKey(2), "Index"), "2");
    EXPECT_EQ(ReadText(SlotKey(2), "Port"), "4001");
    EXPECT_EQ(ReadText(SlotKey(2), "TXDelay"), "25");
}

TEST_F(BridgeCommands, AddFromTheMenuTakesTheTenthSlotWhenItIsTheLastFree) {
    UseTestToolSetup("0");
    for (int n = 1; n <= 9; ++n) WriteBridge(n, "COM" + std::to_string(n));
    Open();
    EXPECT_TRUE(MenuEnabled(IdMenuAdd));
    WithDialog(IdMenuAdd, {Pick(IdPortCombo, "COM10"), Press(IdOkButton)});
    EXPECT_EQ(ToolArguments(), "install 10 HiddenMode=yes PortName=COM10,EmuBR=yes,AddRTTO=0,AddRITO=10");
    EXPECT_EQ(RowCount(), 10);
    EXPECT_EQ(ReadText(SlotKey(10), "COM"), "COM10");
}

TEST_F(BridgeCommands, CancelledAddRunsNothing) {
    UseTestToolSetup("0");
    Open();
    WithDialog(IdAddButton, {Type(IdServerIP, "127.0.0.1"), Press(IdCancelButton)});
    EXPECT_EQ(ToolArguments(), "");
    EXPECT_EQ(RowCount(), 0);
    EXPECT_FALSE(KeyExists(SlotKey(1)));
}

TEST_F(BridgeCommands, FailedInstallIsShownAndChangesNothing) {
    UseTestToolSetup("1");
    Open();
    MessageBoxWatcher boxes;
    WithDialog(IdAddButton, {Pick(IdPortCombo, "COM4"), Press(IdOkButton)});
    EXPECT_EQ(ToolArguments().substr(0, 10), "install 1 ");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
    EXPECT_EQ(boxes.Boxes()[0].text,
              "Unable to create COM port! The port may be in use.\r\nPlease try with another port number.");
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(FirstFreeSlot(), 1);
    EXPECT_FALSE(KeyExists(SlotKey(1)));
}

TEST_F(BridgeCommands, EditsThatConcernOnlyTheHubRunNoTool) {
    UseTestToolSetup("0");
    WriteBridge(1, "COM3");
    Open();
    Select("COM3");
    WithDialog(IdEditButton, {Type(IdServerIP, "10.0.0.9"), Type(IdServerPort, "5000"),
                                      Type(IdRXDelay, "40"), Pick(IdBaudCombo, "115200"),
                                      Press(IdOkButton)});
    EXPECT_EQ(ToolArguments(), "") << "no tool ran";
    EXPECT_EQ(RowText(0, 1), "10.0.0.9");
    EXPECT_EQ(RowText(0, 2), "5000");
    EXPECT_EQ(ReadText(SlotKey(1), "IP"), "10.0.0.9");
    EXPECT_EQ(ReadText(SlotKey(1), "RXDelay"), "40");
    EXPECT_EQ(ReadText(SlotKey(1), "Baud"), "115200");
}

TEST_F(BridgeCommands, EditOfTheWriteDelayChangesThePairOrKeepsEverything) {
    WriteBridge(2, "COM3");
    WriteText(SlotKey(2), "Index", "5");  // the pair is addressed by the Index
    UseTestToolSetup("0");
    Open();
    Select("COM3");
    WithDialog(IdEditButton, {Type(IdTXDelay, "25"), Press(IdOkButton)});
    EXPECT_EQ(ToolArguments(), "change CNCB5 PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=25");
    EXPECT_EQ(ReadText(SlotKey(2), "TXDelay"), "25");

    ToolBehaviour("1");
    Select("COM3");
    MessageBoxWatcher boxes;
    WithDialog(IdEditButton, {Pick(IdPortCombo, "COM9"), Type(IdServerIP, "10.9.9.9"),
                                      Press(IdOkButton)});
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Unable to change COM port! The port may be in use.");
    EXPECT_EQ(boxes.Boxes()[0].icon, MessageBoxWatcher::SystemIcon(IDI_ERROR));
    EXPECT_EQ(ToolArguments(), "change CNCB5 PortName=COM9,EmuBR=yes,AddRTTO=0,AddRITO=25");
    EXPECT_EQ(Captions(), std::vector<std::string>{"COM3"}) << "a failed change keeps the row";
    EXPECT_EQ(Bridges[2].COM, "COM3");
    EXPECT_EQ(Bridges[2].IP, "192.168.0.99");
    EXPECT_EQ(ReadText(SlotKey(2), "COM"), "COM3");
}

TEST_F(BridgeCommands, EditOfTheBaudrateEmulationAloneChangesThePair) {
    WriteBridge(1, "COM3");
    UseTestToolSetup("0");
    Open();
    Select("COM3");
    WithDialog(IdEditButton, {[this] { ::CheckDlgButton(dialog->Handle(), IdEmuBR, BST_UNCHECKED); },
                                      Press(IdOkButton)});
    EXPECT_EQ(ToolArguments(), "change CNCB1 PortName=COM3,EmuBR=no,AddRTTO=0,AddRITO=10");
    EXPECT_EQ(ReadText(SlotKey(1), "Emulate"), "0");
}

TEST_F(BridgeCommands, RenamedBridgeMovesToItsSortedPlace) {
    UseTestToolSetup("0");
    WriteBridge(1, "COM2");
    WriteBridge(2, "COM5");
    Open();
    Select("COM5");
    WithDialog(IdEditButton, {Pick(IdPortCombo, "COM10"), Press(IdOkButton)});
    EXPECT_EQ(Captions(), (std::vector<std::string>{"COM10", "COM2"}));
    EXPECT_EQ(SelectedCaption(), "COM10");
    EXPECT_EQ(FindBridge("COM10"), 2) << "an edit never moves a bridge to another slot";
}

TEST_F(BridgeCommands, DeleteAsksThenRemovesThePairAndFreesTheSlot) {
    UseTestToolSetup("0");
    for (int n = 1; n <= 3; ++n) WriteBridge(n, "COM" + std::to_string(n));
    Open();
    Select("COM3");
    {
        MessageBoxWatcher boxes(IDNO);
        Click(IdDeleteButton);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].caption, "Please confirm");
        EXPECT_EQ(boxes.Boxes()[0].text, "Are you sure you want to delete this bridge?");
        EXPECT_TRUE(boxes.Boxes()[0].hasYes);
    }
    EXPECT_EQ(ToolArguments(), "");
    EXPECT_EQ(RowCount(), 3);

    {
        MessageBoxWatcher boxes(IDYES);
        Click(IdDeleteButton);
    }
    EXPECT_EQ(ToolArguments(), "remove 3");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_FALSE(KeyExists(SlotKey(3)));
    EXPECT_EQ(FirstFreeSlot(), 3);

    WithDialog(IdAddButton, {Pick(IdPortCombo, "COM8"), Press(IdOkButton)});
    EXPECT_EQ(ToolArguments().substr(0, 10), "install 3 ");
    EXPECT_EQ(ReadText(SlotKey(3), "COM"), "COM8");
}

TEST_F(BridgeCommands, RemoveCountsCodesBelowTenAsSuccess) {
    const std::pair<const char*, bool> cases[] = {{"9", true}, {"10", false}, {"999", false}};
    for (const auto& [code, removed] : cases) {
        DeleteProgramKey();
        ClearBridges();
        WriteBridge(1, "COM1");
        UseTestToolSetup(code);
        Open();
        Select("COM1");
        MessageBoxWatcher boxes(IDYES);
        Click(IdDeleteButton);
        ASSERT_EQ(boxes.Boxes().size(), removed ? 1u : 2u) << boxes.Texts();
        if (!removed) {
            EXPECT_EQ(boxes.Boxes()[1].text, "Unable to remove COM port!") << code;
        }
        EXPECT_EQ(RowCount(), removed ? 0 : 1) << code;
        EXPECT_EQ(KeyExists(SlotKey(1)), !removed) << code;
        Close();
    }
}

TEST_F(BridgeCommands, RowsWithoutASlotAreNeverEditedOrDeleted) {
    UseTestToolSetup("0");
    WriteBridge(1, "", "10.0.0.1", "9761");  // an empty COM text: listed as unreadable
    Open();
    EXPECT_EQ(RowCount(), 1);
    ZeroSlot(AddRow("COM9", "10.0.0.1", 9761));  // a row whose slot was freed behind its back
    Select("COM9");
    MessageBoxWatcher boxes;
    Click(IdEditButton);
    Click(IdDeleteButton);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Bridge slot 2 is not defined");
    EXPECT_EQ(boxes.Boxes()[1].text, "Bridge slot 2 is not defined");
    EXPECT_EQ(ToolArguments(), "");

    // The unreadable row opens with what could be read, and OK stores it whole.
    Select("");
    WithDialog(IdEditButton, {Pick(IdPortCombo, "COM7"), Press(IdOkButton)});
    EXPECT_EQ(ReadText(SlotKey(1), "COM"), "COM7");
    EXPECT_EQ(ReadText(SlotKey(1), "IP"), "10.0.0.1");
    EXPECT_EQ(ReadText(SlotKey(1), "Enabled"), "1") << "written whole";
}

TEST_F(BridgeCommands, DoubleClickEditsOnlyWhenEditIsAvailable) {
    UseTestToolSetup("0");
    WriteBridge(1, "COM1");
    Open();
    NMHDR click{form->Control(IdBridgeList), IdBridgeList, static_cast<UINT>(NM_DBLCLK)};

    ModalScript nothing({});
    ::SendMessageA(form->Handle(), WM_NOTIFY, IdBridgeList, reinterpret_cast<LPARAM>(&click));
    EXPECT_FALSE(::IsWindowVisible(dialog->Handle())) << "no row selected: no dialog";

    Select("COM1");
    ModalScript edit({Type(IdBridgeName, "by double click"), Press(IdOkButton)});
    ::SendMessageA(form->Handle(), WM_NOTIFY, IdBridgeList, reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(edit.Finished());
    EXPECT_EQ(ReadText(SlotKey(1), "Name"), "by double click");
}

TEST_F(BridgeCommands, AddWithEveryFreeSlotHeldBackRunsNothing) {
    UseTestToolSetup("0");
    const DWORD port = 1;
    WriteRaw(SlotKey(1), "Port", REG_DWORD, std::string(reinterpret_cast<const char*>(&port), 4));
    for (int n = 2; n <= 10; ++n) WriteBridge(n, "COM" + std::to_string(n));
    MessageBoxWatcher boxes;
    Open();  // slot 1 is listed by its reason and keeps its slot
    EXPECT_EQ(RowCount(), 10);
    Click(IdAddButton);
    ASSERT_EQ(boxes.Boxes().size(), 1u) << boxes.Texts();
    EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
    EXPECT_EQ(ToolArguments(), "");
    EXPECT_EQ(ReadText(SlotKey(5), "COM"), "COM5");
}

}  // namespace
