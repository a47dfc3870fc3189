#pragma once
// For tests that run real tools: the driver folder beside the test executable, copies of the
// test tool under the tools' names, processes the test owns, and the report the test tool
// writes about how it was started. Everything a test leaves behind is ended and removed.
#include "platform/handles.h"
#include "support/test_host.h"
#include "tools/runner.h"
#include "tools/tool_paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

// The id of the first running process of that name, or 0.
inline DWORD FirstProcess(const std::string& name) {
    const std::vector<DWORD> ids = FindProcesses(name, 1);
    return ids.empty() ? 0 : ids.front();
}

// Ends every process named like the hub, the program's or not.
inline void EndEveryHub() {
    for (DWORD id : FindProcesses(HubExeName)) {
        const platform::Handle hub(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (hub && ::TerminateProcess(hub.get(), 0)) ::WaitForSingleObject(hub.get(), 5000);
    }
}

class ToolTest : public testing::Test {
protected:
    static std::string Driver() { return ExeDir() + "\\driver"; }
    static std::string InDriver(const std::string& name) { return Driver() + "\\" + name; }
    static std::string ReportPath() { return ExeDir() + "\\testtool-report.txt"; }

    void SetUp() override {
        createdDriver_ = MakeDir(Driver());
        for (const char* tool : {HubExeName, SetupExeName}) ::DeleteFileA(InDriver(tool).c_str());  // a run cut short
        DebugMode = false;
        ::SetEnvironmentVariableA("PONTIS_TESTTOOL", nullptr);
        ::SetEnvironmentVariableA("PONTIS_TESTTOOL_REPORT", nullptr);
        ::DeleteFileA(ReportPath().c_str());
    }

    void TearDown() override {
        for (platform::Handle& p : spawned_) {
            ::TerminateProcess(p.get(), 0);
            ::WaitForSingleObject(p.get(), 5000);
        }
        spawned_.clear();
        EndEveryHub();
        for (const std::string& file : copies_) ::DeleteFileA(file.c_str());
        for (auto dir = dirs_.rbegin(); dir != dirs_.rend(); ++dir) ::RemoveDirectoryA(dir->c_str());
        if (createdDriver_) ::RemoveDirectoryA(Driver().c_str());
        ::DeleteFileA(ReportPath().c_str());
        ::SetEnvironmentVariableA("PONTIS_TESTTOOL", nullptr);
        ::SetEnvironmentVariableA("PONTIS_TESTTOOL_REPORT", nullptr);
        DebugMode = false;
    }

    // A folder that is removed after the test when it was created by it.
    void Folder(const std::string& path) {
        if (MakeDir(path)) dirs_.push_back(path);
    }

    // Copies the test tool (or another program) to path, for this test only.
    void CopyTool(const std::string& path, const std::string& from = ExeDir() + "\\testtool.exe") {
        ASSERT_TRUE(::CopyFileA(from.c_str(), path.c_str(), FALSE)) << from << " to " << path;
        copies_.push_back(path);
    }

    // What a test tool started with no arguments of its own does: "<exit code> [<sleep ms>]".
    static void ToolBehaviour(const char* behaviour) { ::SetEnvironmentVariableA("PONTIS_TESTTOOL", behaviour); }
    static void AskForReport() { ::SetEnvironmentVariableA("PONTIS_TESTTOOL_REPORT", ReportPath().c_str()); }

    // How the last reporting test tool was started: exe, dir, show (-1 when no show state was
    // given) and line.
    static std::map<std::string, std::string> Report() {
        std::map<std::string, std::string> report;
        std::istringstream in(FileText(ReportPath()));
        std::string line;
        while (std::getline(in, line)) {
            std::size_t eq = line.find('=');
            if (eq != std::string::npos) report[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return report;
    }

    // Starts a program that the test owns and ends after it; returns its process handle.
    HANDLE Spawn(const std::string& path, const std::string& args) {
        std::string text = "\"" + path + "\" " + args;
        std::vector<char> line(text.begin(), text.end());
        line.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            ADD_FAILURE() << "cannot start " << text;
            return nullptr;
        }
        ::CloseHandle(info.hThread);
        spawned_.emplace_back(info.hProcess);
        return info.hProcess;
    }

    static bool Ended(HANDLE process) { return ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

    // Waits up to five seconds for a process of that name to show in the process list.
    static DWORD AwaitProcess(const std::string& name) {
        for (int i = 0; i < 100; ++i) {
            if (DWORD id = FirstProcess(name)) return id;
            ::Sleep(50);
        }
        return 0;
    }

private:
    static bool MakeDir(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

    bool createdDriver_ = false;
    std::vector<std::string> copies_;
    std::vector<std::string> dirs_;
    std::vector<platform::Handle> spawned_;
};
