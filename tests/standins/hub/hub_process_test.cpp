// The built hub4com.exe as a real process: what it does with a bad line and with a good one.
#include "platform/handles.h"
#include "support/test_host.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <string>

namespace {

const char kExample1[] =
    R"(--reconnect=10000 --no-default-fc-route=All:All --create-filter=pinmap:--dtr=connect --add-filters=0:pinmap )"
    R"(--create-filter=pin2con,pc1:"--connect=dsr --delay-disconnect=500" --add-filters=0:pc1 --bi-route=0:1 )"
    R"(--use-driver=serial --ito=10 --baud=9600 \\.\CNCA1 --use-driver=tcp 127.0.0.1:1)";

// A hub started with the given arguments, its stdout and stderr going to a file: a copy of the
// one built in <build>\bin\driver, in a folder of its own where it writes its log (which may be
// there before it, as given). Ended when
// the test is done with it, whatever the outcome, and its folder removed.
class HubProcess {
public:
    explicit HubProcess(const std::string& arguments, const std::string& oldLog = "")
        : output_(ExeDir() + "\\hub_output_" + std::to_string(::GetCurrentProcessId()) + ".txt") {
        EXPECT_TRUE(::CreateDirectoryA(dir_.c_str(), nullptr)) << ::GetLastError();
        if (!oldLog.empty()) std::ofstream(dir_ + "hub4com.log", std::ios::binary) << oldLog;
        EXPECT_TRUE(::CopyFileA((ExeDir() + "\\..\\bin\\driver\\hub4com.exe").c_str(), (dir_ + "hub4com.exe").c_str(), FALSE));
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        platform::FileHandle out(::CreateFileA(
            output_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(out.valid());

        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out.get();
        si.hStdError = out.get();
        std::string line = "\"" + dir_ + "hub4com.exe\" " + arguments;
        PROCESS_INFORMATION pi{};
        EXPECT_TRUE(::CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                                     &pi))
            << ::GetLastError();
        process_.reset(pi.hProcess);
        platform::Handle thread(pi.hThread);
    }

    ~HubProcess() {
        if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.get(), 0);
            ::WaitForSingleObject(process_.get(), 5000);
        }
        EXPECT_TRUE(::DeleteFileA(output_.c_str())) << ::GetLastError();
        for (const char* file : {"hub4com.exe", "hub4com.log", "hub4com.log.1"}) ::DeleteFileA((dir_ + file).c_str());
        EXPECT_TRUE(::RemoveDirectoryA(dir_.c_str())) << ::GetLastError();
    }

    // The exit code once the process has ended within the time, else STILL_ACTIVE.
    DWORD ExitCodeWithin(DWORD ms) const {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(process_.get(), ms) == WAIT_OBJECT_0) ::GetExitCodeProcess(process_.get(), &code);
        return code;
    }

    std::string Output() const { return FileText(output_); }
    std::string Log() const { return FileText(dir_ + "hub4com.log"); }
    std::string OldLog() const { return FileText(dir_ + "hub4com.log.1"); }

private:
    const std::string dir_ = ExeDir() + "\\hub-test-" + std::to_string(::GetCurrentProcessId()) + "\\";
    std::string output_;
    platform::Handle process_;
};

struct BadLine {
    const char* arguments;
    const char* message;
};

void PrintTo(const BadLine& c, std::ostream* os) { *os << c.message; }

class HubRejects : public testing::TestWithParam<BadLine> {};

TEST_P(HubRejects, AtOnceWithExitCode1AndTheReasonOnStderr) {
    HubProcess hub(GetParam().arguments);
    EXPECT_EQ(hub.ExitCodeWithin(5000), 1u);
    EXPECT_EQ(hub.Output(), std::string("hub4com: ") + GetParam().message + "\r\n");
}

const BadLine kBadLines[] = {
    {"--bogus", "Unknown option '--bogus'"},
    // The delay option outside the quotes arrives as an argument of its own.
    {R"(--create-filter=pin2con,pc1:"--connect=dsr" --delay-disconnect=500 --add-filters=0:pc1 --bi-route=0:1 )"
     R"(--use-driver=serial \\.\CNCA1 --use-driver=tcp 127.0.0.1:9761)",
     "Unknown option '--delay-disconnect=500'"},
    {"", "No ports given"},
};
INSTANTIATE_TEST_SUITE_P(Table, HubRejects, testing::ValuesIn(kBadLines));

// Its log near its limit of 1 MiB: the first record moves it to hub4com.log.1 and starts anew.
TEST(Hub, KeepsRunningWithAGoodLineAndLogsWhatItUnderstood) {
    const std::string full((1 << 20) - 100, '.');
    HubProcess hub(kExample1, full);
    std::string record;
    for (int waited = 0; waited < 5000 && record.find("\r\n  ") == std::string::npos; waited += 50) {
        ::Sleep(50);
        record = hub.Log();
    }
    EXPECT_NE(record.find(std::string("hub4com.exe\" ") + kExample1 + "\r\n"), std::string::npos) << record;
    EXPECT_EQ(record.find(".........."), std::string::npos) << record;  // the one before it went
    EXPECT_EQ(hub.OldLog(), full);
    EXPECT_NE(record.find(R"(  ports 0:1: serial \\.\CNCA1 baud 9600 ito 10, server 127.0.0.1:1 )"
                          R"(reconnect 10000, connect on dsr, disconnect after 500 ms, dtr on connect)"
                          "\r\n"),
              std::string::npos)
        << record;

    // No such port in the test prefix: said once, and the hub goes on trying.
    const std::string noPort = R"(\\.\CNCA1 <-> 127.0.0.1:1: cannot open the serial port (error 2); trying again every 1000 ms)";
    for (int waited = 0; waited < 5000 && record.find(noPort) == std::string::npos; waited += 50) {
        ::Sleep(50);
        record = hub.Log();
    }
    EXPECT_NE(record.find(noPort), std::string::npos) << record;
    ::Sleep(1500);
    record = hub.Log();
    EXPECT_EQ(record.find(noPort), record.rfind(noPort)) << record;

    EXPECT_EQ(hub.ExitCodeWithin(500), STILL_ACTIVE);
    EXPECT_EQ(hub.Output(), "");
}

}  // namespace
