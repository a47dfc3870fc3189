// Tools that misbehave, met through the real windows: a setup tool that hangs or ends
// abnormally, a driver folder that is gone, and a hub killed from outside while the bridges run.
// Whatever a tool does, the program answers with its message boxes and loses no bridge.
#include "config/bridge.h"
#include "registry_snapshot.h"
#include "support/dialog_ids.h"
#include "support/message_boxes.h"
#include "support/window_fixture.h"
#include "tools/hub_control.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>

namespace {

using namespace testreg;

const char kInstallFailed[] =
    "Unable to create COM port! The port may be in use.\r\nPlease try with another port number.";

class FailingTools : public WindowTest {
protected:
    void TearDown() override {
        Close();
        RunTimeoutMs = 120000;
        if (!aside_.empty()) ::MoveFileA(aside_.c_str(), Driver().c_str());
        WindowTest::TearDown();
    }

    // Runs Add or Edit with a dialog in which the steps type, then presses OK.
    void WithDialogOk(int button, std::vector<ModalScript::Step> steps) {
        steps.push_back(Press(IDOK));
        WithDialog(button, std::move(steps));
    }
    void SelectFirstRow() { SelectRow(0); }
    ModalScript::Step PickPort(const char* port) { return Pick(IdPortCombo, port); }

    // Puts the driver folder aside until the test ends.
    void RemoveDriverFolder() {
        ASSERT_TRUE(::MoveFileA(Driver().c_str(), (Driver() + ".aside").c_str()));
        aside_ = Driver() + ".aside";
    }

private:
    std::string aside_;
};

TEST_F(FailingTools, HungSetupToolIsEndedAndTheAddFails) {
    CopyTool(InDriver(SetupExeName));
    ToolBehaviour("0 60000");
    RunTimeoutMs = 500;
    Open();
    MessageBoxWatcher boxes;
    const DWORD start = ::GetTickCount();
    WithDialogOk(IdAddButton, {PickPort("COM4")});
    EXPECT_LT(::GetTickCount() - start, 10000u);
    EXPECT_EQ(boxes.Texts(), std::string("[Error] ") + kInstallFailed + "\n");
    EXPECT_EQ(FirstProcess(SetupExeName), 0u) << "the hung tool was ended";
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(FirstFreeSlot(), 1);
    EXPECT_FALSE(KeyExists(SlotKey(1)));
}

// Exit codes of tools that crashed, were killed or failed: none counts as success for any of
// the three commands, and none changes a bridge.
TEST_F(FailingTools, AbnormalEndsFailInstallChangeAndRemove) {
    const char* const codes[] = {"3221225477" /* access violation */, "3221226505" /* stack buffer overrun */,
                                 "3221225786" /* ended by Ctrl+C */, "4294967295", "999", "10"};
    CopyTool(InDriver(SetupExeName));
    WriteBridge(1, "COM3");
    for (const char* code : codes) {
        SCOPED_TRACE(code);
        ToolBehaviour(code);
        const Snapshot before = Snap(kProgramKey);
        Open();
        {
            MessageBoxWatcher boxes;
            WithDialogOk(IdAddButton, {PickPort("COM4")});
            EXPECT_EQ(boxes.Texts(), std::string("[Error] ") + kInstallFailed + "\n");
        }
        SelectFirstRow();
        {
            MessageBoxWatcher boxes;
            WithDialogOk(IdEditButton, {Type(IdTXDelay, "25")});
            EXPECT_EQ(boxes.Texts(), "[Error] Unable to change COM port! The port may be in use.\n");
        }
        EXPECT_EQ(Bridges[1].TXDelay, 10);
        {
            MessageBoxWatcher boxes(IDYES);
            Click(IdDeleteButton);
            ASSERT_EQ(boxes.Boxes().size(), 2u) << boxes.Texts();
            EXPECT_EQ(boxes.Boxes()[1].text, "Unable to remove COM port!");
        }
        EXPECT_EQ(Captions(), std::vector<std::string>{"COM3"});
        EXPECT_EQ(FirstDifference(before, Snap(kProgramKey)), "");
    }
}

TEST_F(FailingTools, WithoutTheDriverFolderNothingRunsAndTheBoxesSaySo) {
    RemoveDriverFolder();
    WriteBridge(1, "COM3");
    EXPECT_EQ(RunCommand(QuotedToolPath(ToolDir(), SetupExeName), " remove 1"), RunFailed);

    MessageBoxWatcher boxes;
    Open();
    WithDialogOk(IdAddButton, {PickPort("COM4")});
    Click(IdStartButton);
    EXPECT_EQ(boxes.Texts(), std::string("[Error] ") + kInstallFailed + "\n[Error] " + HubProgramText + InDriver(HubExeName) + "\n");
    EXPECT_TRUE(Enabled(IdStartButton));
    EXPECT_EQ(ReadText(kProgramKey, "command"), "<missing>");
    EXPECT_EQ(Captions(), std::vector<std::string>{"COM3"});
}

TEST_F(FailingTools, HubKilledFromOutsideIsStoppedAndStartedAgain) {
    CopyTool(InDriver(HubExeName));
    ToolBehaviour("0 60000");  // a hub that runs until it is ended
    WriteBridge(1, "COM3");
    Open();
    MessageBoxWatcher boxes;
    Click(IdStartButton);
    const DWORD first = FirstProcess(HubExeName);
    ASSERT_NE(first, 0u) << boxes.Texts();
    ASSERT_FALSE(Enabled(IdStartButton));

    platform::Handle hub(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, first));
    ASSERT_TRUE(hub.valid());
    ASSERT_TRUE(::TerminateProcess(hub.get(), 1));
    ASSERT_EQ(::WaitForSingleObject(hub.get(), 5000), WAIT_OBJECT_0);

    Click(IdStopButton);
    EXPECT_TRUE(Enabled(IdStartButton)) << "stop finds no hub and still enables Start";
    Click(IdStartButton);
    const DWORD second = FirstProcess(HubExeName);
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_FALSE(Enabled(IdStartButton));
    EXPECT_EQ(boxes.Texts(), "");
}

}  // namespace
