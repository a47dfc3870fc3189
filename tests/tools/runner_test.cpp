// Running tools and finding and ending the hub, with real processes in the test prefix.
#include "support/tool_fixture.h"

#include "tools/runner.h"
#include "tools/tool_paths.h"

#include <string>

namespace {

using Runner = ToolTest;

HCURSOR Cursor(LPCSTR id) { return ::LoadCursorA(nullptr, id); }

TEST_F(Runner, ResultCodes) {
    CopyTool(InDriver("tool.exe"));
    const std::string tool = QuotedToolPath(ToolDir(), "tool.exe");
    struct {
        const char* args;
        DWORD result;
    } const cases[] = {
        {"0", 0},
        {"7", 7},
        {"4294967295", 0xFFFFFFFF},
        {"3 400", 3},
    };
    for (const auto& c : cases) EXPECT_EQ(RunCommand(tool, std::string(" ") + c.args), c.result) << c.args;
}

TEST_F(Runner, WaitsForTheToolToEnd) {
    CopyTool(InDriver("tool.exe"));
    DWORD start = ::GetTickCount();
    EXPECT_EQ(RunCommand(QuotedToolPath(ToolDir(), "tool.exe"), " 5 500"), 5u);
    EXPECT_GE(::GetTickCount() - start, 450u);
}

TEST_F(Runner, AMissingProgramGives999AndLeavesThePointerAlone) {
    ::SetCursor(Cursor(IDC_CROSS));
    EXPECT_EQ(RunCommand(QuotedToolPath(ToolDir(), "missing.exe"), " 0"), RunFailed);
    EXPECT_EQ(::GetCursor(), Cursor(IDC_CROSS));
    EXPECT_EQ(RunCommand("", ""), RunFailed);
}

TEST_F(Runner, ThePointerIsTheDefaultArrowAfterWaiting) {
    CopyTool(InDriver("tool.exe"));
    ::SetCursor(Cursor(IDC_CROSS));
    EXPECT_EQ(RunCommand(QuotedToolPath(ToolDir(), "tool.exe"), " 1"), 1u);
    EXPECT_EQ(::GetCursor(), Cursor(IDC_ARROW));
}

TEST_F(Runner, ToolsRunHiddenInTheToolDirWithTheLineAsGiven) {
    CopyTool(InDriver("tool.exe"));
    AskForReport();
    const std::string tool = QuotedToolPath(ToolDir(), "tool.exe"), args = "  0   \"two words\"", line = tool + args;
    ToolBehaviour("0");  // the arguments above are not the tool's own

    EXPECT_EQ(RunCommand(tool, args), 0u);
    auto report = Report();
    EXPECT_EQ(report["line"], line);
    EXPECT_EQ(report["dir"], Driver());
    EXPECT_EQ(report["show"], "0");  // SW_HIDE

    DebugMode = true;  // tools show their windows as the system shows them by default
    EXPECT_EQ(RunCommand(tool, args), 0u);
    EXPECT_EQ(Report()["show"], "-1");
}

TEST_F(Runner, AToolThatRunsTooLongIsEndedAndFails) {
    CopyTool(InDriver("slow.exe"));
    DWORD start = ::GetTickCount();
    EXPECT_EQ(RunCommand(QuotedToolPath(ToolDir(), "slow.exe"), " 0 30000", 300), RunFailed);
    EXPECT_LT(::GetTickCount() - start, 10000u);
    EXPECT_EQ(FirstProcess("slow.exe"), 0u);
    EXPECT_EQ(::GetCursor(), Cursor(IDC_ARROW));
}

TEST_F(Runner, AQuotedPathWithABlankStartsTheRightProgram) {
    // "<dir>\Program Files\tool.exe 7" unquoted would first be tried as "<dir>\Program.exe".
    const std::string parent = ExeDir() + "\\blank test";
    Folder(parent);
    Folder(parent + "\\Program Files");
    CopyTool(parent + "\\Program Files\\tool.exe");
    CopyTool(parent + "\\Program.exe");
    ToolBehaviour("55");  // what the decoy does with arguments that are not its own

    EXPECT_EQ(RunCommand(QuotedToolPath(parent + "\\Program Files", "tool.exe"), " 7"), 7u);
    EXPECT_EQ(RunCommand(parent + "\\Program Files\\tool.exe", " 7"), 55u);  // the hazard the quotes avoid
}

TEST_F(Runner, FindProcessMatchesTheWholeNameWithoutCase) {
    struct {
        const char* file;
        bool found;
    } const cases[] = {
        {"hub4com.exe", true},  {"HUB4COM.EXE", true},      {"Hub4Com.exe", true},
        {"myhub4com.exe", false}, {"hub4com.exe.bak", false},
    };
    for (const auto& c : cases) {
        CopyTool(InDriver(c.file));
        HANDLE process = Spawn(InDriver(c.file), "0 30000");
        ASSERT_TRUE(process);
        ASSERT_EQ(AwaitProcess(c.file), ::GetProcessId(process)) << c.file;
        EXPECT_EQ(FirstProcess(HubExeName), c.found ? ::GetProcessId(process) : 0) << c.file;
        EXPECT_EQ(FindHubs().size(), c.found ? 1u : 0u) << c.file;
        ::TerminateProcess(process, 0);
        ::WaitForSingleObject(process, 5000);
    }
}

TEST_F(Runner, OnlyTheHubInTheToolFolderCountsAndEveryOneOfItIsEnded) {
    EXPECT_TRUE(FindHubs().empty());
    EXPECT_TRUE(EndHubs());
    CopyTool(InDriver(HubExeName));
    Folder(Driver() + "\\elsewhere");
    CopyTool(Driver() + "\\elsewhere\\" + HubExeName);
    HANDLE foreign = Spawn(Driver() + "\\elsewhere\\" + HubExeName, "0 30000");
    ASSERT_NE(AwaitProcess(HubExeName), 0u);
    EXPECT_TRUE(FindHubs().empty()) << "a program of the hub's name elsewhere is no hub of ours";
    EXPECT_TRUE(EndHubs());

    HANDLE a = Spawn(InDriver(HubExeName), "0 30000");
    HANDLE b = Spawn(InDriver(HubExeName), "0 30000");
    ASSERT_TRUE(a && b);
    for (int i = 0; i < 100 && FindHubs().size() < 2; ++i) ::Sleep(50);
    EXPECT_EQ(FindHubs().size(), 2u);
    ::SetCursor(Cursor(IDC_CROSS));

    EXPECT_TRUE(EndHubs());
    EXPECT_TRUE(Ended(a) && Ended(b)) << "every one, already gone when EndHubs returns";
    DWORD exitCode = 1;
    EXPECT_TRUE(::GetExitCodeProcess(a, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(Ended(foreign));
    EXPECT_TRUE(FindHubs().empty());
    EXPECT_EQ(::GetCursor(), Cursor(IDC_ARROW));
}

}  // namespace
