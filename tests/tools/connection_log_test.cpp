// The connection log and the stand-ins' log as files: the folder made, the older copy, and
// processes writing at once.
#include "common/log_file.h"
#include "platform/handles.h"
#include "platform/named_lock.h"
#include "support/test_host.h"
#include "tools/connection_log.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace {

// LOCALAPPDATA two missing levels deep in a folder of the test's, removed before and after.
class ConnectionLog : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(base_);
        ::SetEnvironmentVariableA("LOCALAPPDATA", (base_ + "\\Local\\Data").c_str());
    }
    void TearDown() override { std::filesystem::remove_all(base_); }

    const std::string base_ = ExeDir() + "\\log-test-" + std::to_string(::GetCurrentProcessId());
    const std::string log_ = base_ + "\\Local\\Data\\Pontis Manager\\connections.log";
    const std::string older_ = base_ + "\\Local\\Data\\Pontis Manager\\connections.1.log";
};

TEST_F(ConnectionLog, MakesEveryFolderLevelAndTurnsAFullLogIntoTheOlderCopy) {
    EXPECT_TRUE(AppendToConnectionLog({}));
    ASSERT_TRUE(AppendToConnectionLog({{"COM1", "-", "started"}}));
    EXPECT_EQ(FileText(log_).substr(19), "\tCOM1\t-\tstarted\r\n");
    // A control character in a field is a blank: no field splits, no line is forged.
    std::filesystem::remove(log_);
    ASSERT_TRUE(AppendToConnectionLog({{"COM3", "h:1", "waiting", true, "D\tafter 999 s"},
                                       {"COM4", "h:1", "connected", true, "B\n2026-01-01 00:00:00\x7f", "after\r2 s"}}));
    const std::string one = "\tCOM3\th:1\twaiting\tD after 999 s\r\n", text = FileText(log_);
    EXPECT_EQ(text.substr(19, one.size()) + text.substr(19 + one.size() + 19),
              one + "\tCOM4\th:1\tconnected\tB 2026-01-01 00:00:00 \tafter 2 s\r\n");
    for (char full : {'x', 'y'}) {  // the second replaces the first older copy
        const std::string past(LogLimitBytes + 1, full);
        std::ofstream(log_, std::ios::binary | std::ios::trunc) << past;
        ASSERT_TRUE(AppendToConnectionLog({{"COM2", "-", "stopped"}}));
        EXPECT_EQ(FileText(log_).substr(19, 64), "\tCOM2\t-\tstopped\r\n");
        EXPECT_TRUE(FileText(older_) == past) << full;
    }
    // A writer that died holding the lock (its mutex kept open) leaves it to the next, and this
    // thread, having written, holds it no longer: another one writes at once.
    const platform::Handle died(::CreateThread(nullptr, 0, [](void*) -> DWORD {
        const platform::NamedLock lock(ConnectionLogLockName(), 0);
        ::ExitThread(0);
    }, nullptr, 0, nullptr));
    ::WaitForSingleObject(died.get(), 5000);
    EXPECT_TRUE(AppendToConnectionLog({{"COM3", "-", "stopped"}}));
    std::thread([] { EXPECT_TRUE(AppendToConnectionLog({{"COM4", "-", "started"}})); }).join();
}

// Four writers, 1200 lines each, all in one process each at once: every line there once and
// whole. The program's log turns into its older copy once on the way.
TEST_F(ConnectionLog, WritersAtOnceLoseAndGarbleNoLine) {
    constexpr int Writers = 4, Lines = 1200;
    const std::string standIns = base_ + "\\stand-in.log";
    ::CreateDirectoryA(base_.c_str(), nullptr);
    for (const std::string& file : {std::string(), standIns}) {
        SCOPED_TRACE(file.empty() ? "connection log" : "stand-ins' log");
        std::vector<platform::Handle> writers;
        for (int w = 0; w < Writers; ++w) {
            std::string line = "\"" + ExeDir() + "\\log_writer.exe\" w" + std::to_string(w) + " " +
                               std::to_string(Lines) + (file.empty() ? "" : " \"" + file + "\"");
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info{};
            ASSERT_TRUE(::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
            platform::Handle thread(info.hThread);
            writers.emplace_back(info.hProcess);
        }
        for (const platform::Handle& writer : writers) {
            DWORD code = 1;
            ASSERT_EQ(::WaitForSingleObject(writer.get(), 20000), WAIT_OBJECT_0);
            EXPECT_TRUE(::GetExitCodeProcess(writer.get(), &code) && code == 0) << "a write failed";
        }
        std::set<std::string> missing;  // the ids of the lines not yet read whole
        for (int w = 0; w < Writers; ++w)
            for (int i = 0; i < Lines; ++i) missing.insert("w" + std::to_string(w) + " " + std::to_string(i));
        std::istringstream text(file.empty() ? FileText(older_) + FileText(log_) : FileText(file));
        int garbled = 0;
        for (std::string line; std::getline(text, line);) {
            if (file.empty()) line.erase(0, 20);  // the time and its tab
            const std::string id = line.substr(0, line.find('\t'));
            garbled += !(line == id + "\t-\t" + std::string(200, '.') + "\r" && missing.erase(id));
        }
        EXPECT_EQ(missing.size(), 0u);
        EXPECT_EQ(garbled, 0);
        if (file.empty()) {
            EXPECT_GT(FileText(older_).size(), LogLimitBytes);
        }
    }
}

}  // namespace
