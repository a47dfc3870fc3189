// Starting and stopping the hub, with the test tool standing in for it and the message boxes
// answered as they come.
#include "support/tool_fixture.h"

#include "config/app_info.h"
#include "config/bridge.h"
#include "tools/hub_args.h"
#include "tools/hub_control.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Answers every message box this thread shows with OK, noting what it looked like and whether
// a hub ran while it showed. A box is read from a timer in its own modal loop: when its
// activation is seen, its text, icon and place may not be set yet.
class BoxRecorder {
public:
    struct Box {
        std::string caption;
        std::string text;
        HWND owner = nullptr;
        bool icon = false;
        bool centred = false;
        bool hubRunning = false;
    };

    BoxRecorder() {
        current_ = this;
        hook_ = ::SetWindowsHookExA(WH_CBT, &BoxRecorder::Hook, nullptr, ::GetCurrentThreadId());
    }
    ~BoxRecorder() {
        ::UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<Box> boxes;

private:
    static bool IsBox(HWND hwnd) {
        char cls[16] = "";
        ::GetClassNameA(hwnd, cls, sizeof cls);
        return std::string(cls) == "#32770";
    }

    static BOOL CALLBACK FindIcon(HWND child, LPARAM found) {
        char cls[16] = "";
        ::GetClassNameA(child, cls, sizeof cls);
        if (::lstrcmpiA(cls, "Static") == 0 && (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            ::IsWindowVisible(child) && ::SendMessageA(child, STM_GETICON, 0, 0))
            *reinterpret_cast<bool*>(found) = true;
        return TRUE;
    }

    static Box Read(HWND hwnd) {
        Box box;
        char text[2048] = "", caption[256] = "";
        ::GetDlgItemTextA(hwnd, 0xFFFF, text, sizeof text);
        ::GetWindowTextA(hwnd, caption, sizeof caption);
        box.caption = caption;
        box.text = text;
        box.owner = ::GetWindow(hwnd, GW_OWNER);
        ::EnumChildWindows(hwnd, &BoxRecorder::FindIcon, reinterpret_cast<LPARAM>(&box.icon));
        RECT r{}, work{};
        ::GetWindowRect(hwnd, &r);
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        box.centred = std::abs((r.left + r.right) - (work.left + work.right)) <= 2 &&
                      std::abs((r.top + r.bottom) - (work.top + work.bottom)) <= 2;
        box.hubRunning = FindProcess(HubExeName) != 0;
        return box;
    }

    static void CALLBACK Answer(HWND, UINT, UINT_PTR timer, DWORD) {
        ::KillTimer(nullptr, timer);
        if (!current_ || !::IsWindow(current_->box_) || current_->box_ == current_->answered_) return;
        HWND hwnd = current_->answered_ = current_->box_;
        current_->boxes.push_back(Read(hwnd));
        ::PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, IDOK)));
    }

    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        HWND hwnd = reinterpret_cast<HWND>(wp);
        if (code == HCBT_ACTIVATE && current_ && IsBox(hwnd)) {
            current_->box_ = hwnd;
            ::SetTimer(nullptr, 0, 10, &BoxRecorder::Answer);
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }

    static inline BoxRecorder* current_ = nullptr;
    HHOOK hook_ = nullptr;
    HWND box_ = nullptr;
    HWND answered_ = nullptr;
};

const char kUnableToStart[] = "Unable to start bridges! Please check your settings and try again";

class Hub : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        ClearBridges();
        Define(1, "COM3", "192.168.0.99");
        owner_ = ::CreateWindowExA(0, "STATIC", "tools-test-owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                   nullptr);
        ASSERT_TRUE(owner_);
    }
    void TearDown() override {
        ::DestroyWindow(owner_);
        ClearBridges();
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

    HWND owner_ = nullptr;
};

TEST_F(Hub, StartWithoutRowsShowsTheBoxAndLeavesARunningHubAlone) {
    InstallHub();
    HANDLE running = OutsideHub();
    BoxRecorder boxes;

    EXPECT_EQ(StartHub(owner_, {}), std::nullopt);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Error");
    EXPECT_EQ(boxes.boxes[0].text, "No bridges defined! Please define at least one.");
    EXPECT_EQ(boxes.boxes[0].owner, owner_);
    EXPECT_TRUE(boxes.boxes[0].icon);
    EXPECT_FALSE(Ended(running));
}

TEST_F(Hub, RowsThatCannotStartAreRefusedBeforeAnythingRuns) {
    struct {
        const char* com;  // of the second bridge
        const char* ip;
        std::vector<std::string> rows;
        const char* message;
    } const cases[] = {
        {"COM8", "192.168.0.98", {"COM3", "COM9"}, "Bridge 'COM9' is not defined"},
        {"COM9", "192.168.0.98 --x", {"COM3", "COM9"}, "Bridge 'COM9' has an invalid server address"},
        {"COM9", "", {"COM9", "COM3"}, "Bridge 'COM9' has an invalid server address"},
        {"COM9", "\"192.168.0.98\"", {"COM9"}, "Bridge 'COM9' has an invalid server address"},
    };
    InstallHub();
    HANDLE running = OutsideHub();
    for (const auto& c : cases) {
        Define(2, c.com, c.ip);
        BoxRecorder boxes;

        EXPECT_EQ(StartHub(owner_, c.rows), std::nullopt) << c.message;
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.message;
        EXPECT_EQ(boxes.boxes[0].caption, "Error");
        EXPECT_EQ(boxes.boxes[0].text, c.message);
        EXPECT_EQ(boxes.boxes[0].owner, owner_);
        EXPECT_TRUE(boxes.boxes[0].icon);
        EXPECT_FALSE(Ended(running)) << c.message;
        EXPECT_TRUE(Report().empty()) << "a hub was launched for " << c.message;
    }
}

TEST_F(Hub, StartEndsTheRunningHubAndLaunchesTheNewOne) {
    InstallHub();
    HANDLE old = OutsideHub();
    Define(2, "COM1", "10.0.0.1");
    const std::vector<std::string> rows = {"COM1", "COM3"};
    BoxRecorder boxes;

    const std::optional<std::string> args = StartHub(owner_, rows);
    ASSERT_TRUE(args);
    EXPECT_EQ(*args, BuildHubArguments(rows));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(Ended(old));
    const DWORD hub = FindProcess(HubExeName);
    EXPECT_NE(hub, 0u);
    EXPECT_NE(hub, ::GetProcessId(old));

    auto report = Report();
    EXPECT_EQ(report["line"], "\"" + InDriver(HubExeName) + "\"" + *args);
    EXPECT_EQ(report["dir"], Driver());
    EXPECT_EQ(report["show"], "0");

    StopHub();
    EXPECT_EQ(FindProcess(HubExeName), 0u);
    StopHub();  // nothing to end: nothing happens
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Hub, AHubThatCannotRunIsAFailedStart) {
    struct {
        const char* name;
        bool installed;
        const char* behaviour;
    } const cases[] = {
        {"ends at once", true, "1"},
        {"ends soon", true, "0 300"},
        {"missing", false, ""},
    };
    for (const auto& c : cases) {
        if (c.installed) InstallHub(c.behaviour);
        BoxRecorder boxes;

        EXPECT_EQ(StartHub(owner_, {"COM3"}), std::nullopt) << c.name;
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.name;
        EXPECT_EQ(boxes.boxes[0].caption, "Error");
        EXPECT_EQ(boxes.boxes[0].text, kUnableToStart);
        EXPECT_EQ(boxes.boxes[0].owner, owner_);
        EXPECT_TRUE(boxes.boxes[0].icon);
        EXPECT_EQ(FindProcess(HubExeName), 0u) << c.name;
        ::DeleteFileA(InDriver(HubExeName).c_str());
    }
}

TEST_F(Hub, DebugModeShowsTheArgumentsBeforeTheLaunch) {
    InstallHub();
    DebugMode = true;
    BoxRecorder boxes;

    const std::optional<std::string> args = StartHub(owner_, {"COM3"});
    ASSERT_TRUE(args);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const BoxRecorder::Box& box = boxes.boxes[0];
    EXPECT_EQ(box.caption, AppTitle);
    EXPECT_EQ(box.text, *args);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_FALSE(box.icon);
    EXPECT_TRUE(box.centred);
    EXPECT_FALSE(box.hubRunning);
    EXPECT_NE(FindProcess(HubExeName), 0u);
    EXPECT_EQ(Report()["show"], "-1");  // the hub's window is shown too
}

}  // namespace
