// Starting and stopping the hub, with the test tool standing in for it.
#include "platform/system_error.h"
#include "support/test_registry.h"
#include "support/tool_fixture.h"

#include "config/bridge.h"
#include "tools/hub_args.h"
#include "tools/hub_control.h"

#include <sddl.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
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

    testreg::WriteRaw(testreg::kProgramKey, "command", REG_DWORD, std::string(4, '\1'));  // replaced whatever it is
    bool oldGoneWhenLaunched = false;
    EXPECT_TRUE(StartBridges(rows, {nullptr, [&] { oldGoneWhenLaunched = Ended(old); }}));
    EXPECT_TRUE(oldGoneWhenLaunched) << "the running hub is ended before the launch";
    EXPECT_EQ(testreg::ReadRaw(testreg::kProgramKey, "command").type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(testreg::ReadText(testreg::kProgramKey, "command"), BuildHubArguments(rows));
    const DWORD hub = FirstProcess(HubExeName);
    EXPECT_NE(hub, 0u);
    EXPECT_NE(hub, ::GetProcessId(old));

    auto report = Report();
    EXPECT_EQ(report["line"], "\"" + InDriver(HubExeName) + "\"" + BuildHubArguments(rows));
    EXPECT_EQ(report["dir"], Driver());
    EXPECT_EQ(report["show"], "0");

    bool superseded = false;  // a restart whose caller took the record before the stop:
    const TStartSteps restart{nullptr, nullptr, nullptr, StartsAndStops()->Count, &superseded};
    OutsideHub();  // and one more, started elsewhere: the stop ends both
    EXPECT_TRUE(StopBridges());
    EXPECT_EQ(FirstProcess(HubExeName), 0u);
    EXPECT_TRUE(StartBridges(rows, restart) && superseded && !FirstProcess(HubExeName)) << "it starts nothing";
    EXPECT_TRUE(StopBridges());  // nothing to end: nothing happens
    EXPECT_EQ(FirstProcess(HubExeName), 0u);
}

// Another start that holds the lock while it shows the hub's line; ended there, it leaves the
// lock abandoned as a copy killed mid-start does.
HANDLE shown = ::CreateEventW(nullptr, FALSE, FALSE, nullptr), release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
DWORD WINAPI OtherStart(void* ended) {
    StartBridges({1}, {[ended](const std::string&) {
        ::SetEvent(shown);
        if (ended) ::ExitThread(0);
        ::WaitForSingleObject(release, 10000);
    }, nullptr});
    return 0;
}

TEST_F(Hub, TwoStartsAtOnceRunOneAfterTheOther) {
    InstallHub();
    TOutcome first, second;
    std::thread other([&first] { first = StartBridges({1}, {}); });
    second = StartBridges({1}, {});
    other.join();
    EXPECT_TRUE(first) << first.Text;
    EXPECT_TRUE(second) << second.Text;
    EXPECT_EQ(FindHubs().size(), 1u) << "the second ended the first one's hub, after its start";

    // Another program's lock that lets no one in: said at once, with the system's reason.
    SECURITY_ATTRIBUTES refusing{sizeof refusing, nullptr, FALSE};
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1, &refusing.lpSecurityDescriptor, nullptr));
    platform::Handle squatter(::CreateMutexW(&refusing, FALSE, L"Local\\Pontis Manager start and stop"));
    ::LocalFree(refusing.lpSecurityDescriptor);
    EXPECT_EQ(StopBridges().Text, LockUnusableText + platform::SystemErrorText(ERROR_ACCESS_DENIED));
    squatter.reset();
    // A lock held past the wait names its holder; one left by a start ended mid-way is taken over.
    StartStopWaitMs = 300;
    DebugMode = true;
    for (void* ended : {static_cast<void*>(nullptr), static_cast<void*>(&first)}) {
        const platform::Handle start(::CreateThread(nullptr, 0, OtherStart, ended, 0, nullptr));
        ASSERT_EQ(::WaitForSingleObject(shown, 10000), WAIT_OBJECT_0);
        if (ended) ::WaitForSingleObject(start.get(), 10000);
        EXPECT_EQ(StartBridges({1}, {}).Text, ended ? "" : LockHeldText + std::string(": tools_process_tests.exe (process ") +
                                                             std::to_string(::GetCurrentProcessId()) + ")");
        ::SetEvent(release);
        ::WaitForSingleObject(start.get(), 10000);
    }
}

TEST_F(Hub, AHubThatCannotRunIsAFailedStart) {
    struct {
        const char* name;
        const char* program;  // the hub's program: the test tool, or missing, empty, a folder or another image
        const char* behaviour;
        bool running;  // a hub of ours runs before, moved aside (but for the tool) so that its program can be broken
    } const cases[] = {
        {"ends at once", "tool", "1", false},
        {"ends soon", "tool", "0 300", false},
        {"ends at once after the running hub", "tool", "1", true},
        {"missing", "missing", "", false},
        {"an empty file beside a running hub", "empty", "", true},
        {"a folder beside a running hub", "folder", "", true},
        {"a library beside a running hub", "library", "", true},
        {"an ARM64 image beside a running hub", "arm64", "", true},
        {"a 32-bit image beside a running hub", "x86", "", true},
    };
    const std::string program = InDriver(HubExeName), aside = InDriver("running.exe");
    // The test tool, or "MZ" and a PE header alone, its file header's machine set.
    const auto image = [&program](std::string bytes, const char* machine) {
        bytes.replace(static_cast<unsigned char>(bytes[0x3C]) + 4, 2, machine, 2);
        std::ofstream(program, std::ios::binary) << bytes;
    };
    for (const auto& c : cases) {
        const std::string kind = c.program;
        HANDLE running = nullptr;
        if (c.running) {
            InstallHub();
            running = OutsideHub();
            if (kind == "tool") {
                ToolBehaviour(c.behaviour);  // for the next start; the running hub keeps its own
            } else {
                ASSERT_TRUE(::MoveFileA(program.c_str(), aside.c_str())) << c.name;
            }
        }
        const std::uint32_t before = StartsAndStops()->Count;
        if (kind == "tool" && !c.running) InstallHub(c.behaviour);
        if (kind == "empty") ::CloseHandle(::CreateFileA(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        if (kind == "folder") Folder(program);
        if (kind == "library") ::CopyFileA((ExeDir() + "\\planted_library.dll").c_str(), program.c_str(), FALSE);
        if (kind == "arm64") image("MZ" + std::string(0x3A, '\0') + "@" + std::string(3, '\0') + "PE" + std::string(20, '\0') + "\x22" + '\0', "\x64\xAA");
        if (kind == "x86") image(FileText(ExeDir() + "\\testtool.exe"), "\x4C\x01");

        const TOutcome started = StartBridges({1}, {});
        EXPECT_EQ(started.Text, kind == "tool" ? UnableToStartText : HubProgramText + program) << c.name;
        EXPECT_TRUE(started.Failed) << c.name;
        const bool ended = kind == "tool";  // only a program that can run gets to end the running hub
        EXPECT_EQ(running && !Ended(running), c.running && !ended) << c.name;
        // A start that ended the hub is a stop for the other copies.
        EXPECT_EQ(StartsAndStops()->Count - before, running && ended ? 1u : 0u) << c.name;
        EndEveryHub();
        ::DeleteFileA(program.c_str());
        ::RemoveDirectoryA(program.c_str());
        ::DeleteFileA(aside.c_str());
    }
}

}  // namespace
