#include "common/wine_pairs.h"

#include "platform/handles.h"
#include "platform/module.h"
#include "common/pair_settings.h"
#include "common/unix_side.h"

#include <atomic>
#include <fstream>
#include <sstream>
#include <vector>

namespace setupc {

namespace {

constexpr char ScriptName[] = "pty-pairs.sh";
constexpr DWORD AnswerTimeoutMs = 15000;
constexpr DWORD PollMs = 5;

// Wine's own path conversions, found at run time: they exist only under Wine.
using UnixNameFn = char*(CDECL*)(LPCWSTR);
using DosNameFn = WCHAR*(CDECL*)(LPCSTR);

std::wstring Wide(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string Narrow(const WCHAR* text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], n, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

std::string UnixPath(const std::string& windowsPath) {
    auto toUnix = platform::ProcAddress<UnixNameFn>(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    char* name = toUnix ? toUnix(Wide(windowsPath).c_str()) : nullptr;
    if (!name) throw PairNotMade("no Unix path for " + windowsPath);
    std::string path = name;
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

std::string DosPath(const char* unixPath) {
    auto toDos = platform::ProcAddress<DosNameFn>(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name");
    WCHAR* name = toDos ? toDos(unixPath) : nullptr;
    if (!name) throw PairNotMade(std::string("no Windows path for ") + unixPath);
    std::string path = Narrow(name);
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

std::string Environment(const char* name) {
    char value[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::optional<WinePairs> WinePairs::Find(const std::string& dir, const std::string& statePath) {
    if (!platform::UnderWine() || !FileExists(dir + ScriptName)) return std::nullopt;
    WinePairs pairs;
    // Wine names the prefix in NT form: \??\Z:\home\user\.wine
    std::string prefix = Environment("WINECONFIGDIR");
    if (prefix.compare(0, 4, "\\??\\") == 0) prefix.erase(0, 4);
    if (prefix.empty()) throw PairNotMade("cannot find the Wine prefix (no WINECONFIGDIR)");
    pairs.dosdevices_ = UnixPath(prefix) + "/dosdevices";
    pairs.script_ = UnixPath(dir + ScriptName);
    pairs.state_ = UnixPath(statePath);
    pairs.bash_ = DosPath("/bin/bash");
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, temp);
    pairs.tempDir_ = n > 0 && n < MAX_PATH ? std::string(temp, n) : dir;
    return pairs;
}

WinePairs::Pending WinePairs::Start(const char* verb, int pair, const std::string& portName) const {
    static std::atomic<unsigned> counter{0};
    Pending pending;
    pending.what_ = std::string(verb) + " pair " + std::to_string(pair);
    pending.statusPath_ = tempDir_ + "setupc-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(++counter) + ".status";
    DeleteFileA(pending.statusPath_.c_str());
    std::vector<std::string> args = {script_, dosdevices_, state_, UnixPath(pending.statusPath_), verb,
                                     std::to_string(pair)};
    if (!portName.empty()) args.push_back(LinkName(portName));
    std::string line = QuoteArgument(bash_) + " " + JoinArguments(args);

    // A Unix program started from here runs detached: there is no handle to wait on, so the
    // script leaves its answer in the status file.
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        throw PairNotMade("cannot start " + bash_ + " (error " + std::to_string(GetLastError()) + ")");
    platform::Handle process(pi.hProcess), thread(pi.hThread);
    return pending;
}

void WinePairs::Pending::Wait() const {
    for (DWORD waited = 0; !FileExists(statusPath_); waited += PollMs) {
        if (waited >= AnswerTimeoutMs) throw PairNotMade(what_ + ": no answer from " + ScriptName);
        Sleep(PollMs);
    }
    Answer answer = ReadAnswer(ReadAll(statusPath_));
    DeleteFileA(statusPath_.c_str());
    if (!answer.ok) throw PairNotMade(what_ + ": " + answer.reason);
}

}  // namespace setupc
