// Copies of the program in folders of their own: a library planted beside it is never loaded,
// and a folder named with characters the ANSI code page cannot hold stays that very folder.
#include "platform/text.h"
#include "support/test_registry.h"
#include "support/tool_fixture.h"
#include "ui/main_window.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using ProgramFolder = ToolTest;

// The built program, with the test tool as its hub, in a folder of that name beside the tests.
struct ProgramCopy {
    const std::wstring dir;
    explicit ProgramCopy(const wchar_t* name) : dir(platform::Widen(ExeDir(), CP_ACP) + L"\\" + name) {
        ::CreateDirectoryW(dir.c_str(), nullptr);
        ::CreateDirectoryW((dir + L"\\driver").c_str(), nullptr);
        EXPECT_TRUE(Put("..\\bin\\PontisManager.exe", L"\\PontisManager.exe"));
        EXPECT_TRUE(Put("testtool.exe", L"\\driver\\hub4com.exe"));
    }
    ~ProgramCopy() {
        EndEveryHub();
        for (const std::wstring& file : {Exe(), Hub(), dir + L"\\iphlpapi.dll"}) ::DeleteFileW(file.c_str());
        for (const wchar_t* file : {L"setupc.exe", L"pty-pairs.sh", L"pty-relay", L"setupc.state", L"setupc.log", L"hub4com.log"})
            ::DeleteFileW((dir + L"\\driver\\" + file).c_str());
        ::RemoveDirectoryW((dir + L"\\driver").c_str());
        ::RemoveDirectoryW(dir.c_str());
    }
    std::wstring Exe() const { return dir + L"\\PontisManager.exe"; }
    std::wstring Hub() const { return dir + L"\\driver\\hub4com.exe"; }
    // Copies a file of the tests' folder into the copy's folder.
    bool Put(const std::string& from, const wchar_t* to) const {
        return ::CopyFileW(platform::Widen(ExeDir() + "\\" + from).c_str(), (dir + to).c_str(), FALSE);
    }

    // Runs the copy, or another program, with the arguments; gives the process.
    platform::Handle Run(const wchar_t* args) const { return Run(Exe(), args); }
    static platform::Handle Run(const std::wstring& exe, const wchar_t* args) {
        std::wstring line = L"\"" + exe + L"\" " + args;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        EXPECT_TRUE(::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
        platform::Handle thread(info.hThread);
        return platform::Handle(info.hProcess);
    }
};

TEST_F(ProgramFolder, ALibraryPlantedBesideTheProgramIsNeverLoaded) {
    testreg::DeleteProgramKey();
    testreg::WriteBridge(1, "COM3", "127.0.0.1");
    const ProgramCopy copy(L"planted");
    ASSERT_TRUE(copy.Put("planted_library.dll", L"\\iphlpapi.dll"));
    ASSERT_TRUE(Spawn(ExeDir() + "\\planted\\driver\\hub4com.exe", "0 30000"));  // links are looked at while a hub runs
    ASSERT_NE(AwaitProcess(HubExeName), 0u);

    // Wine takes the copy beside the program first, as Windows does, when told so for the program.
    const char wineApp[] = "Software\\Wine\\AppDefaults\\PontisManager.exe";
    testreg::WriteText(std::string(wineApp) + "\\DllOverrides", "iphlpapi", "native,builtin");
    const platform::Handle status = copy.Run(L"-status");
    const bool ended = ::WaitForSingleObject(status.get(), 20000) == WAIT_OBJECT_0;
    ::RegDeleteTreeA(HKEY_CURRENT_USER, wineApp);
    ASSERT_TRUE(ended);
    DWORD code = 0;
    EXPECT_TRUE(::GetExitCodeProcess(status.get(), &code));
    EXPECT_EQ(code, 1u) << "the bridge waits";
    EXPECT_FALSE(::DeleteFileW((copy.dir + L"\\iphlpapi.dll.ran").c_str())) << "the planted library ran";
    testreg::DeleteProgramKey();
}

// Folder names the ANSI code page cannot hold: its "best fit" makes them a quote, a Latin "P"
// (the sibling "Pontis") and question marks.
const struct {
    const wchar_t* wide;
    const char* utf8;
} foreignFolders[] = {
    {L"Pontis\uFF02 Manager", u8"Pontis\uFF02 Manager"},
    {L"\uFF30ontis", u8"\uFF30ontis"},
    {L"\u041F\u0443\u0442\u0438", u8"\u041F\u0443\u0442\u0438"},
};

std::wstring RunValue() {
    wchar_t text[1024] = L"";
    DWORD size = sizeof text;
    return ::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Pontis Manager",
                          RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS ? text : L"<missing>";
}

TEST_F(ProgramFolder, AForeignFolderNameStartsItsOwnHubAndIsTheOneStartedAtLogOn) {
    testreg::DeleteProgramKey();
    testreg::WriteBridge(1, "COM3", "127.0.0.1");
    ToolBehaviour("0 30000");
    AskForReport();
    for (const auto& folder : foreignFolders) {
        SCOPED_TRACE(folder.utf8);
        const ProgramCopy copy(folder.wide);
        ::DeleteFileA(ReportPath().c_str());
        const platform::Handle start = copy.Run(L"-start");
        ASSERT_EQ(::WaitForSingleObject(start.get(), 20000), WAIT_OBJECT_0);
        DWORD code = 1;
        EXPECT_TRUE(::GetExitCodeProcess(start.get(), &code));
        EXPECT_EQ(code, 0u) << "-start";
        const std::string driver = ExeDir() + "\\" + folder.utf8 + "\\driver", hub = driver + "\\hub4com.exe";
        auto report = Report();
        EXPECT_EQ(report["exe"], hub);
        EXPECT_EQ(report["dir"], driver);
        EXPECT_EQ(report["line"].rfind("\"" + hub + "\" --", 0), 0u) << report["line"];

        // File / Start bridges at log-on, chosen twice: the Run value names this copy, then is gone.
        const platform::Handle window = copy.Run(L"");
        HWND form = nullptr;
        for (int i = 0; i < 200 && !(form = ::FindWindowA("TForm1", nullptr)); ++i) ::Sleep(50);
        ASSERT_NE(form, nullptr);
        ::SendMessageA(form, WM_COMMAND, IdMenuLogOn, 0);
        EXPECT_EQ(RunValue(), L"\"" + copy.Exe() + L"\" -start -tray");
        ::SendMessageA(form, WM_COMMAND, IdMenuLogOn, 0);
        EXPECT_EQ(RunValue(), L"<missing>") << "the value was taken for this copy's";
        ::PostMessageA(form, WM_CLOSE, 0, 0);
        EXPECT_EQ(::WaitForSingleObject(window.get(), 10000), WAIT_OBJECT_0);
    }
    testreg::DeleteProgramKey();
}

// The stand-ins keep their pairs and their logs beside them in such a folder too.
TEST_F(ProgramFolder, TheStandInsWorkFromAForeignFolderName) {
    const ProgramCopy copy(L"\u041C\u043E\u0441\u0442");
    for (const wchar_t* tool : {L"setupc.exe", L"pty-pairs.sh", L"pty-relay", L"hub4com.exe"})
        ASSERT_TRUE(copy.Put("..\\bin\\driver\\" + platform::Narrow(tool), (std::wstring(L"\\driver\\") + tool).c_str()));
    const std::wstring driver = copy.dir + L"\\driver\\";
    const auto exitCode = [](const platform::Handle& process) {
        DWORD code = 999;
        return ::WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(process.get(), &code) ? code : 999;
    };
    EXPECT_EQ(exitCode(copy.Run(driver + L"setupc.exe", L"install 71 HiddenMode=yes PortName=COM71,EmuBR=yes,AddRTTO=0,AddRITO=10")), 0u);
    EXPECT_NE(::GetFileAttributesW((driver + L"setupc.state").c_str()), INVALID_FILE_ATTRIBUTES);

    const platform::Handle hub = copy.Run(driver + L"hub4com.exe", L"--bi-route=0:1 --use-driver=serial \\\\.\\CNCA71 --use-driver=tcp 127.0.0.1:1");
    const auto hubLog = [&driver] {
        std::ostringstream text;
        text << std::ifstream(std::filesystem::path(driver + L"hub4com.log"), std::ios::binary).rdbuf();
        return text.str();
    };
    std::string log;
    for (int i = 0; i < 100 && log.find("\r\n  ports") == std::string::npos; ++i) {
        ::Sleep(50);
        log = hubLog();
    }
    ::Sleep(1000);  // the pairs restored, or a line saying why not
    log = hubLog();
    EXPECT_NE(log.find("\r\n  ports"), std::string::npos) << log;
    EXPECT_EQ(log.find("port pairs:"), std::string::npos) << log;
    EndEveryHub();
    EXPECT_EQ(exitCode(copy.Run(driver + L"setupc.exe", L"remove 71")), 0u);
}

}  // namespace
