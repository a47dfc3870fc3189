// The hub: checks its command line and serves the bridges it describes until it is terminated.
// A line it cannot accept ends it at once with exit code 1 and the reason on stderr. An accepted
// line, and the bridges as understood, are appended to hub4com.log beside the executable.
#include "hub/hub_cmdline.h"
#include "platform/handles.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string LogPath() {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "hub4com.log";
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/:") + 1) + "hub4com.log";
}

std::string LogRecord(const std::vector<hub::Bridge>& bridges) {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u pid %lu: ", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, static_cast<unsigned long>(::GetCurrentProcessId()));
    std::string record = stamp + std::string(::GetCommandLineA()) + "\r\n";
    for (const hub::Bridge& b : bridges) record += "  " + hub::Describe(b) + "\r\n";
    return record;
}

// One write in append mode, so records of hubs started together do not interleave. Returns 0,
// or the error code of the failed call.
DWORD AppendToLog(const std::string& path, const std::string& record) {
    platform::UniqueHandle<platform::FileHandleTraits> file(
        ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    DWORD written = 0;
    if (!::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr))
        return ::GetLastError();
    return written == record.size() ? 0 : ERROR_WRITE_FAULT;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    hub::ParseResult parsed = hub::ParseArguments(args);
    if (!parsed.model) {
        std::fprintf(stderr, "hub4com: %s\n", parsed.error.c_str());
        return 1;
    }
    // The bridges are served whether or not the log can be written.
    std::string log = LogPath();
    if (DWORD error = AppendToLog(log, LogRecord(hub::Bridges(*parsed.model))))
        std::fprintf(stderr, "hub4com: cannot write %s (error %lu)\n", log.c_str(), static_cast<unsigned long>(error));

    for (;;) ::Sleep(INFINITE);
}
