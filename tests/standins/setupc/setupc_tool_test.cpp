// The built setup tool, run as a real process from a folder of its own: exit codes, the state
// it keeps between runs, and its log.
#include "platform/handles.h"
#include "common/pair_state.h"
#include "support/test_host.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

using namespace setupc;

namespace {

void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Install(int pair, const std::string& port) {
    return "install " + std::to_string(pair) + " HiddenMode=yes PortName=" + port + ",EmuBR=yes,AddRTTO=0,AddRITO=10";
}

class SetupTool : public testing::Test {
protected:
    // A fresh folder with a blank in its name, holding a copy of the tool and nothing else.
    void SetUp() override {
        std::string built = ExeDir() + "\\" + SETUPC_FROM_TESTS;
        ASSERT_TRUE(FileExists(built)) << built;

        char temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
        std::string base = std::string(temp) + "setupc test " + std::to_string(GetCurrentProcessId()) + "-";
        for (int n = 1; dir_.empty(); ++n) {
            std::string dir = base + std::to_string(n) + "\\";
            if (CreateDirectoryA(dir.c_str(), nullptr)) {
                dir_ = dir;
            } else {
                ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << dir;
            }
        }
        ASSERT_TRUE(CopyFileA(built.c_str(), (dir_ + "setupc.exe").c_str(), FALSE)) << built;
        built_ = built.substr(0, built.find_last_of("\\/") + 1);
    }

    // With the script and its relay beside it, the tool makes the pairs real under Wine.
    void AddScript() {
        for (const char* name : {"pty-pairs.sh", "pty-relay"})
            ASSERT_TRUE(CopyFileA((built_ + name).c_str(), (dir_ + name).c_str(), FALSE)) << name;
    }

    void TearDown() override {
        if (FileExists(dir_ + "pty-pairs.sh"))  // the pairs made real end with their removal
            for (const PortPair& p : State()) Run("remove " + std::to_string(p.Number));
        for (const char* name : {"setupc.exe", "pty-pairs.sh", "pty-relay", "setupc.state", "setupc.state.new", "setupc.log"})
            DeleteFileA((dir_ + name).c_str());
        RemoveDirectoryA(dir_.c_str());
    }

    // Started from our own working directory: under Wine a child's working directory stays
    // busy for a moment after it ends, which would keep the folder from being removed.
    platform::Handle Start(const std::string& args) {
        std::string line = "\"" + dir_ + "setupc.exe\" " + args;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
            ADD_FAILURE() << "cannot start " << line << " (error " << GetLastError() << ")";
            return {};
        }
        CloseHandle(pi.hThread);
        return platform::Handle(pi.hProcess);
    }

    static DWORD ExitCode(const platform::Handle& process) {
        if (!process || WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) return 999;
        DWORD code = 999;
        GetExitCodeProcess(process.get(), &code);
        return code;
    }

    DWORD Run(const std::string& args) { return ExitCode(Start(args)); }

    PairList State() { return ReadState(FileText(dir_ + "setupc.state")); }

    std::string dir_;
    std::string built_;  // the folder of the built tool
};

TEST_F(SetupTool, KeepsThePairsBetweenRunsAndLogsEachCall) {
    AddScript();
    struct Call {
        std::string args;
        DWORD code;
    };
    const std::vector<Call> calls = {
        {Install(1, "COM3"), 0},
        {Install(1, "COM3"), 1},  // the pair exists
        {Install(2, "COM3"), 1},  // the port belongs to pair 1
        {Install(2, "com3"), 1},
        {Install(2, "COM4"), 0},
        {"change CNCB1 PortName=COM4,EmuBR=yes,AddRTTO=0,AddRITO=10", 1},
        {"change CNCB1 AddRITO=25,PortName=COM5,AddRTTO=0,EmuBR=no", 0},
        {Install(3, "COM3"), 0},  // freed by the change
        {"change CNCB9 PortName=COM9,EmuBR=yes,AddRTTO=0,AddRITO=10", 1},
        {"remove 2", 0},
        {"remove 2", 1},
        {"install 4 HiddenMode=no PortName=COM6,EmuBR=yes,AddRTTO=0,AddRITO=10", 1},
        {"", 1},
    };
    std::string log;
    for (const Call& call : calls) {
        EXPECT_EQ(Run(call.args), call.code) << call.args;
        log += "[" + std::to_string(call.code) + "] " + call.args + "\r\n";
    }
    EXPECT_EQ(State(), (PairList{{1, {"COM5", false, 0, 25}}, {3, {"COM3", true, 0, 10}}}));
    EXPECT_EQ(FileText(dir_ + "setupc.log"), log);
    EXPECT_FALSE(FileExists(dir_ + "setupc.state.new"));
}

TEST_F(SetupTool, WritesNoStateWhenNothingChanged) {
    AddScript();
    EXPECT_EQ(Run("remove 1"), 1u);
    EXPECT_EQ(Run("install 1 PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"), 1u);
    EXPECT_FALSE(FileExists(dir_ + "setupc.state"));
    EXPECT_EQ(Run("install 1 HiddenMode=yes PortName=COM3,EmuBR=yes,AddRTTO=0,AddRITO=10"), 0u);
    EXPECT_TRUE(FileExists(dir_ + "setupc.state"));
}

TEST_F(SetupTool, RefusesADamagedStateAndKeepsIt) {
    const std::string damaged = "1 PortName=COM3 EmuBR=yes AddRTTO=0 AddRITO=10\r\n2 PortName=COM4 Em";
    WriteFileText(dir_ + "setupc.state", damaged);
    EXPECT_EQ(Run(Install(3, "COM5")), 1u);
    EXPECT_EQ(Run("remove 1"), 1u);
    EXPECT_EQ(FileText(dir_ + "setupc.state"), damaged);
}

TEST_F(SetupTool, RunsAtOnceLoseNoPair) {
    AddScript();
    std::vector<platform::Handle> runs;  // COM11 on: Wine links COM1 to the first serial device
    for (int n = 1; n <= 10; ++n) runs.push_back(Start(Install(n, "COM" + std::to_string(n + 10))));
    for (const platform::Handle& run : runs) EXPECT_EQ(ExitCode(run), 0u);
    PairList pairs = State();
    ASSERT_EQ(pairs.size(), 10u);
    for (int n = 1; n <= 10; ++n) EXPECT_EQ(pairs[n - 1].Port.PortName, "COM" + std::to_string(n + 10));
}


// A port that opens, and the bytes written to the other end of its pair come out of it.
bool Carries(const std::string& from, const std::string& to) {
    platform::FileHandle a(
        CreateFileA(from.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    platform::FileHandle b(
        CreateFileA(to.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!a || !b) return false;
    COMMTIMEOUTS timeouts{0, 0, 2000, 0, 2000};
    if (!SetCommTimeouts(b.get(), &timeouts)) return false;
    char got[5] = {};
    DWORD n = 0;
    return WriteFile(a.get(), "ping", 4, &n, nullptr) && n == 4 && ReadFile(b.get(), got, 4, &n, nullptr) && n == 4 &&
           std::string(got) == "ping";
}

bool Opens(const std::string& port) {
    platform::FileHandle h(
        CreateFileA(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return h.valid();
}


TEST_F(SetupTool, MakesThePairsRealUnderWine) {
    if (!UnderWine()) GTEST_SKIP() << "only recorded on Windows";
    AddScript();
    ASSERT_FALSE(Opens("\\\\.\\COM13"));
    ASSERT_FALSE(Opens("\\\\.\\COM14"));
    ASSERT_EQ(Run(Install(9, "COM13")), 0u);
    EXPECT_TRUE(Carries("\\\\.\\CNCA9", "\\\\.\\COM13"));
    EXPECT_TRUE(Carries("\\\\.\\COM13", "\\\\.\\CNCA9"));

    EXPECT_EQ(Run("change CNCB9 PortName=COM14,EmuBR=no,AddRTTO=0,AddRITO=10"), 0u);
    EXPECT_FALSE(Opens("\\\\.\\COM13"));
    EXPECT_TRUE(Carries("\\\\.\\CNCA9", "\\\\.\\COM14"));

    EXPECT_EQ(Run(Install(8, "COM14")), 1u);  // taken by pair 9
    EXPECT_EQ(Run("remove 9"), 0u);
    EXPECT_FALSE(Opens("\\\\.\\COM14"));
    EXPECT_FALSE(Opens("\\\\.\\CNCA9"));
    EXPECT_EQ(State(), PairList{});
}

TEST_F(SetupTool, LeavesPortsItDidNotMakeAlone) {
    if (!UnderWine()) GTEST_SKIP() << "only recorded on Windows";
    AddScript();
    // A device name of the prefix that the tool did not make: a plain file in dosdevices.
    char prefix[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("WINECONFIGDIR", prefix, MAX_PATH);
    ASSERT_TRUE(n > 4 && n < MAX_PATH);
    std::string foreign = std::string(prefix + 4) + "\\dosdevices\\com15";
    WriteFileText(foreign, "not a port");

    EXPECT_EQ(Run(Install(9, "COM15")), 1u);
    EXPECT_EQ(FileText(foreign), "not a port");
    EXPECT_FALSE(FileExists(dir_ + "setupc.state"));
    EXPECT_FALSE(Opens("\\\\.\\CNCA9"));
    DeleteFileA(foreign.c_str());
}

TEST_F(SetupTool, RefusesToInstallWithoutItsScriptAndLogsWhy) {
    if (!UnderWine()) GTEST_SKIP() << "refused on Windows for want of a driver";
    EXPECT_EQ(Run(Install(9, "COM13")), 1u);
    EXPECT_FALSE(Opens("\\\\.\\COM13"));
    EXPECT_FALSE(FileExists(dir_ + "setupc.state"));
    EXPECT_EQ(FileText(dir_ + "setupc.log"),
              "[1] " + Install(9, "COM13") + " -- no port pair can be made: pty-pairs.sh is not beside the tool\r\n");
}

}  // namespace
