// Starting and stopping the hub, with the test tool standing in for it.
#include "support/test_registry.h"
#include "support/tool_fixture.h"

#include "config/bridge.h"
#include "tools/hub_args.h"
#include "tools/hub_control.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Hub : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        ClearBridges();
        Define(1, "COM3", "192.168.0.99");
    }
    void TearDown() override {
        ClearBridges();
        testreg::DeleteProgramKey();
        ToolTest::TearDown();
    }

    static void Define(int n, const char* com, const char* ip) {
        TBridge& b = Bridges[n];
        b.Index = static_cast<std::uint8_t>(n);
        b.COM = com;
        b.Baud = 9600;
        b.IP = ip;
        b.Port = 9761;
        b.Delay = 500;
        b.RXDelay = 10;
    }

    // The test tool as the hub, reporting how it was started; with no behaviour given it keeps
    // running like a hub.
    void InstallHub(const char* behaviour = "0 30000") {
        CopyTool(InDriver(HubExeName));
        ToolBehaviour(behaviour);
        AskForReport();
    }

    // A hub that runs before the start, started the way another program would (and silent).
    HANDLE OutsideHub() {
        ::SetEnvironmentVariableA("PONTIS_TESTTOOL_REPORT", nullptr);
        HANDLE hub = Spawn(InDriver(HubExeName), "0 30000");
        AskForReport();
        EXPECT_NE(AwaitProcess(HubExeName), 0u);
        return hub;
    }
};

TEST_F(Hub, StartWithoutRowsShowsTheBoxAndLeavesARunningHubAlone) {
    InstallHub();
    HANDLE running = OutsideHub();

    EXPECT_EQ(StartBridges({}, {}).Text, "No bridges defined! Please define at least one.");
    EXPECT_TRUE(Report().empty()) << "no hub was launched";
    EXPECT_FALSE(Ended(running));
}

TEST_F(Hub, RowsThatCannotStartAreRefusedBeforeAnythingRuns) {
    struct {
        const char* com;  // of the second bridge
        const char* ip;
        std::vector<int> rows;  // slots; slot 1 holds COM3
        const char* message;
        int baud = 9600, index = 2;
    } const cases[] = {
        {"COM8", "192.168.0.98", {1, 4}, "Bridge slot 4 is not defined"},
        {"COM9", "127.0.0.1:80", {2}, "Bridge 'COM9' has an invalid server address"},
        {"COM9", "999.1.2.3", {2}, "Bridge 'COM9' has an invalid server address"},
        {"COM9", "10.0.0.1", {2}, "Bridge 'COM9' has an invalid baud rate", 0},
        {"COM3", "10.0.0.1", {1, 2}, "Bridge 'COM3' is defined twice"},
        {"COM9", "10.0.0.1", {1, 2}, "Bridges 'COM3' and 'COM9' use the same port pair", 9600, 1},
        {"COM9", "192.168.0.98 --x", {1, 2}, "Bridge 'COM9' has an invalid server address"},
        {"COM9", "", {2, 1}, "Bridge 'COM9' has an invalid server address"},
        {"COM9", "\"192.168.0.98\"", {2}, "Bridge 'COM9' has an invalid server address"},
    };
    InstallHub();
    HANDLE running = OutsideHub();
    for (const auto& c : cases) {
        Define(2, c.com, c.ip);
        Bridges[2].Baud = c.baud;
        Bridges[2].Index = static_cast<std::uint8_t>(c.index);

        EXPECT_EQ(StartBridges(c.rows, {}).Text, c.message);
        EXPECT_FALSE(Ended(running)) << c.message;
        EXPECT_TRUE(Report().empty()) << "a hub was launched for " << c.message;
    }
}

TEST_F(Hub, StartEndsTheRunningHubAndLaunchesTheNewOne) {
    InstallHub();
    HANDLE old = OutsideHub();
    Define(2, "COM1", "10.0.0.1");
    const std::vector<int> rows = {2, 1};  // COM1, COM3

    bool oldGoneWhenLaunched = false;
    EXPECT_TRUE(StartBridges(rows, {nullptr, [&] { oldGoneWhenLaunched = Ended(old); }}));
    EXPECT_TRUE(oldGoneWhenLaunched) << "the running hub is ended before the launch";
    EXPECT_EQ(testreg::ReadText(testreg::kProgramKey, "command"), BuildHubArguments(rows));
    const DWORD hub = FindProcess(HubExeName);
    EXPECT_NE(hub, 0u);
    EXPECT_NE(hub, ::GetProcessId(old));

    auto report = Report();
    EXPECT_EQ(report["line"], "\"" + InDriver(HubExeName) + "\"" + BuildHubArguments(rows));
    EXPECT_EQ(report["dir"], Driver());
    EXPECT_EQ(report["show"], "0");

    OutsideHub();  // and one more, started elsewhere: the stop ends both
    EXPECT_TRUE(StopBridges());
    EXPECT_EQ(FindProcess(HubExeName), 0u);
    EXPECT_TRUE(StopBridges());  // nothing to end: nothing happens
    EXPECT_EQ(FindProcess(HubExeName), 0u);
}

TEST_F(Hub, AHubThatCannotRunIsAFailedStart) {
    struct {
        const char* name;
        bool installed;
        const char* behaviour;
        int oldHubs;  // running before; a start that can launch ends only the first
    } const cases[] = {
        {"ends at once", true, "1", 0},
        {"ends soon", true, "0 300", 0},
        {"missing", false, "", 0},
        {"ends at once beside an old hub", true, "1", 2},
        {"missing beside a running hub", false, "", 1},  // nothing is ended for a hub that cannot start
    };
    for (const auto& c : cases) {
        if (c.oldHubs > 0) {  // from a folder of their own, so the new hub can be installed
            const std::string old = Driver() + "\\old";
            Folder(old);
            CopyTool(old + "\\" + HubExeName);
            for (int i = 0; i < c.oldHubs; ++i) Spawn(old + "\\" + HubExeName, "0 30000");
            ASSERT_NE(AwaitProcess(HubExeName), 0u);
        }
        if (c.installed) InstallHub(c.behaviour);

        EXPECT_EQ(StartBridges({1}, {}).Text, "Unable to start bridges! Please check your settings and try again")
            << c.name;
        EXPECT_EQ(FindProcess(HubExeName) != 0, c.oldHubs > 0) << c.name;
        while (KillHub(true)) {
        }
        ::DeleteFileA(InDriver(HubExeName).c_str());
    }
}

}  // namespace
