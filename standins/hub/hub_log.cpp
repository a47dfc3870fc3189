#include "hub/hub_log.h"

#include "platform/handles.h"

#include <windows.h>

#include <cstdio>

namespace hub {

Log::Log() {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        path_ = "hub4com.log";
        return;
    }
    std::string exe(path, n);
    path_ = exe.substr(0, exe.find_last_of("\\/:") + 1) + "hub4com.log";
}

// One write in append mode, so that records of threads and of hubs started together do not
// interleave.
unsigned long Log::Write(const std::string& lines) const {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u pid %lu: ", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, static_cast<unsigned long>(::GetCurrentProcessId()));
    std::string record = stamp + lines + "\r\n";
    platform::UniqueHandle<platform::FileHandleTraits> file(
        ::CreateFileA(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    DWORD written = 0;
    if (!::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr))
        return ::GetLastError();
    return written == record.size() ? 0 : ERROR_WRITE_FAULT;
}

}  // namespace hub
