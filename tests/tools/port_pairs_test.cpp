// The setup tool's three commands run for real, with the test tool standing in for it.
#include "support/tool_fixture.h"

#include "tools/port_pairs.h"

#include <string>

namespace {

using PortPairs = ToolTest;

TBridge Record() {
    TBridge r;
    r.Index = 2;
    r.COM = "COM12";
    r.Emulate = false;
    r.TXDelay = 25;
    return r;
}

TEST_F(PortPairs, RunTheSetupToolWithItsQuotedPathAndJudgeItsExitCode) {
    CopyTool(InDriver(SetupExeName));
    AskForReport();
    const std::string tool = "\"" + InDriver(SetupExeName) + "\" ";
    struct {
        const char* exitCode;
        bool (*run)();
        const char* arguments;
        bool succeeded;
    } const cases[] = {
        {"0", [] { return InstallPortPair(1, Record()); }, "install 1 HiddenMode=yes PortName=COM12,EmuBR=no,AddRTTO=0,AddRITO=25", true},
        {"1", [] { return InstallPortPair(1, Record()); }, "install 1 HiddenMode=yes PortName=COM12,EmuBR=no,AddRTTO=0,AddRITO=25", false},
        {"0", [] { return ChangePortPair(Record()); }, "change CNCB2 PortName=COM12,EmuBR=no,AddRTTO=0,AddRITO=25", true},
        {"1", [] { return ChangePortPair(Record()); }, "change CNCB2 PortName=COM12,EmuBR=no,AddRTTO=0,AddRITO=25", false},
        {"9", [] { return RemovePortPair(3); }, "remove 3", true},
        {"10", [] { return RemovePortPair(3); }, "remove 3", false},
        {"4294967295", [] { return RemovePortPair(3); }, "remove 3", false},
    };
    for (const auto& c : cases) {
        ToolBehaviour(c.exitCode);
        EXPECT_EQ(c.run(), c.succeeded) << c.arguments << " ending with " << c.exitCode;
        EXPECT_EQ(Report()["line"], tool + c.arguments);
        ::DeleteFileA(ReportPath().c_str());
    }
}

TEST_F(PortPairs, AMissingSetupToolFailsEveryCommand) {
    EXPECT_FALSE(InstallPortPair(1, Record()));
    EXPECT_FALSE(ChangePortPair(Record()));
    EXPECT_FALSE(RemovePortPair(3));
}

}  // namespace
