#include "tools/connection_log.h"

#include "platform/handles.h"
#include "platform/named_lock.h"
#include "platform/system_error.h"
#include "platform/text.h"

#include <windows.h>

namespace {

// How long a write waits for another process's to end before it fails.
constexpr DWORD LogLockTimeoutMs = 5000;

std::wstring LogFolder() {
    wchar_t folder[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(folder, length) + L"\\Pontis Manager";
}

platform::FileHandle OpenForAppend(const std::wstring& path) {
    return platform::FileHandle(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Makes each missing level of the folder; a level that cannot be made shows when the log
// cannot be opened.
void MakeFolders(const std::wstring& folder) {
    for (std::size_t at = folder.find(L'\\'); at != std::wstring::npos; at = folder.find(L'\\', at + 1))
        ::CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
}

// The log, open to append; a log past its limit first becomes the older copy.
platform::FileHandle OpenLog(const std::wstring& folder) {
    const std::wstring path = folder + L"\\connections.log";
    platform::FileHandle file = OpenForAppend(path);
    if (!file && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        MakeFolders(folder);
        file = OpenForAppend(path);
    }
    LARGE_INTEGER size{};
    if (file && ::GetFileSizeEx(file.get(), &size) && LogMustRotate(static_cast<std::uint64_t>(size.QuadPart))) {
        file.reset();
        ::MoveFileExW(path.c_str(), (folder + L"\\connections.1.log").c_str(), MOVEFILE_REPLACE_EXISTING);
        file = OpenForAppend(path);
    }
    return file;
}

std::string Now() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return LogTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

}  // namespace

std::string ConnectionLogPath() {
    const std::wstring folder = LogFolder();
    return folder.empty() ? std::string() : platform::Narrow(folder + L"\\connections.log");
}

std::string ConnectionLogLockName() { return platform::LockNameFor("Pontis Manager log", platform::Narrow(LogFolder())); }

bool AppendToConnectionLog(const std::vector<TLogEvent>& events, std::string* why) {
    const auto fails = [why](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    if (events.empty()) return true;
    const std::wstring folder = LogFolder();
    if (folder.empty()) return fails("no local application data folder");
    // Held from the open to the last write, by every process that writes the log.
    const platform::NamedLock lock(ConnectionLogLockName(), LogLockTimeoutMs);
    if (lock.Error() == ERROR_TIMEOUT) return fails("another program holds its lock");
    if (!lock.Held()) return fails("its lock cannot be opened: " + platform::SystemErrorText(lock.Error()));
    const platform::FileHandle file = OpenLog(folder);
    if (!file) return fails(platform::SystemErrorText(::GetLastError()));
    const std::string time = Now();
    DWORD error = 0;
    for (const TLogEvent& event : events) {
        const std::string line = LogLine(time, event) + "\r\n";
        DWORD count = 0;
        if (!::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &count, nullptr))
            error = ::GetLastError();
        else if (count != line.size())
            error = ERROR_WRITE_FAULT;
    }
    return error == 0 || fails(platform::SystemErrorText(error));
}
