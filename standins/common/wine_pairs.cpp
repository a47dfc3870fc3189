#include "common/wine_pairs.h"

#include "platform/handles.h"
#include "platform/module.h"
#include "common/pair_settings.h"
#include "common/state_file.h"
#include "common/unix_side.h"
#include "platform/text.h"

#include <atomic>
#include <vector>

namespace setupc {

namespace {

constexpr char ScriptName[] = "pty-pairs.sh";
constexpr DWORD AnswerTimeoutMs = 15000;
constexpr DWORD PollMs = 5;

// Wine's own path conversions, found at run time: they exist only under Wine.
using UnixNameFn = char*(CDECL*)(LPCWSTR);
using DosNameFn = WCHAR*(CDECL*)(LPCSTR);

std::string UnixPath(const std::string& windowsPath) {
    auto toUnix = platform::ProcAddress<UnixNameFn>(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    char* name = toUnix ? toUnix(platform::Widen(windowsPath).c_str()) : nullptr;
    if (!name) throw PairNotMade("no Unix path for " + windowsPath);
    std::string path = name;
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

std::string DosPath(const char* unixPath) {
    auto toDos = platform::ProcAddress<DosNameFn>(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name");
    WCHAR* name = toDos ? toDos(unixPath) : nullptr;
    if (!name) throw PairNotMade(std::string("no Windows path for ") + unixPath);
    std::string path = platform::Narrow(name);
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

std::string Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? platform::Narrow(std::wstring(value, n)) : std::string();
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(platform::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::optional<WinePairs> WinePairs::Find(const std::string& dir, const std::string& statePath) {
    if (!platform::UnderWine() || !FileExists(dir + ScriptName)) return std::nullopt;
    WinePairs pairs;
    // Wine names the prefix in NT form: \??\Z:\home\user\.wine
    std::string prefix = Environment(L"WINECONFIGDIR");
    if (prefix.compare(0, 4, "\\??\\") == 0) prefix.erase(0, 4);
    if (prefix.empty()) throw PairNotMade("cannot find the Wine prefix (no WINECONFIGDIR)");
    pairs.dosdevices_ = UnixPath(prefix) + "/dosdevices";
    pairs.script_ = UnixPath(dir + ScriptName);
    pairs.state_ = UnixPath(statePath);
    pairs.bash_ = DosPath("/bin/bash");
    wchar_t temp[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, temp);
    pairs.tempDir_ = n > 0 && n < MAX_PATH ? platform::Narrow(std::wstring(temp, n)) : dir;
    return pairs;
}

WinePairs::Pending WinePairs::Start(const char* verb, int pair, const std::string& portName) const {
    static std::atomic<unsigned> counter{0};
    Pending pending;
    pending.what_ = std::string(verb) + " pair " + std::to_string(pair);
    pending.statusPath_ = tempDir_ + "setupc-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(++counter) + ".status";
    DeleteFileW(platform::Widen(pending.statusPath_).c_str());
    std::vector<std::string> args = {script_, dosdevices_, state_, UnixPath(pending.statusPath_), verb,
                                     std::to_string(pair)};
    if (!portName.empty()) args.push_back(LinkName(portName));
    std::wstring line = platform::Widen(QuoteArgument(bash_) + " " + JoinArguments(args));

    // A Unix program started from here runs detached: there is no handle to wait on, so the
    // script leaves its answer in the status file.
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        throw PairNotMade("cannot start " + bash_ + " (error " + std::to_string(GetLastError()) + ")");
    platform::Handle process(pi.hProcess), thread(pi.hThread);
    return pending;
}

void WinePairs::Pending::Wait() const {
    for (DWORD waited = 0; !FileExists(statusPath_); waited += PollMs) {
        if (waited >= AnswerTimeoutMs) throw PairNotMade(what_ + ": no answer from " + ScriptName);
        Sleep(PollMs);
    }
    Answer answer = ReadAnswer(ReadStateFile(statusPath_));
    DeleteFileW(platform::Widen(statusPath_).c_str());
    if (!answer.ok) throw PairNotMade(what_ + ": " + answer.reason);
}

}  // namespace setupc
