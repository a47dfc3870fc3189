// The port-pair setup tool: keeps the pairs in a state file beside itself, answers with exit
// code 0 when it carried out the command and 1 when it did not, and logs every call. Under Wine
// it makes each pair real (see wine_pairs.h). Where it cannot, on Windows proper or without the
// script beside it, it refuses install and change and logs why: a pair that is only recorded
// would leave the hub without its port.
#include "platform/handles.h"
#include "setupc/pair_state.h"
#include "setupc/setup_command.h"
#include "setupc/state_lock.h"
#include "setupc/unix_side.h"
#include "setupc/wine_pairs.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace setupc;

namespace {

using FileHandle = platform::UniqueHandle<platform::FileHandleTraits>;

constexpr char StateName[] = "setupc.state";
constexpr char LogName[] = "setupc.log";
constexpr LONGLONG MaxStateSize = 1 << 20;

SetupError Failure(const std::string& what) {
    return SetupError(what + " (error " + std::to_string(GetLastError()) + ")");
}

// This executable's directory with its trailing separator.
std::string ExeDirectory() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) throw Failure("cannot find the tool's own path");
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of("\\/") + 1);
}

// The state file's text; the empty text when there is no file yet.
std::string ReadStateFile(const std::string& path) {
    FileHandle file(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return {};
        throw Failure("cannot open " + path);
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) throw Failure("cannot read " + path);
    if (size.QuadPart > MaxStateSize) throw SetupError(path + " is too large to be a state file");
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() && (!ReadFile(file.get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr) ||
                          read != text.size()))
        throw Failure("cannot read " + path);
    return text;
}

// Replaces the file in one step: the new text goes to a file beside it, which then takes its
// name, so a failed run leaves the old state whole.
void WriteAtomically(const std::string& path, const std::string& text) {
    std::string temp = path + ".new";
    {
        FileHandle file(
            CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) throw Failure("cannot create " + temp);
        DWORD written = 0;
        if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size() || !FlushFileBuffers(file.get())) {
            SetupError e = Failure("cannot write " + temp);
            file.reset();
            DeleteFileA(temp.c_str());
            throw e;
        }
    }
    if (!MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        SetupError e = Failure("cannot replace " + path);
        DeleteFileA(temp.c_str());
        throw e;
    }
}

// Makes the command's change real under Wine; returns what undoes it should the state not be
// written.
std::function<void()> MakeReal(const WinePairs& wine, const Command& command, const PairList& before) {
    int n = command.pair;
    switch (command.verb) {
    case Verb::Install:
        wine.Make(n, command.port.PortName);
        return [&wine, n] { wine.End(n); };
    case Verb::Change: {
        std::string old;
        for (const PortPair& p : before)
            if (p.Number == n) old = p.Port.PortName;
        if (SamePortName(old, command.port.PortName)) return [] {};
        wine.Relink(n, command.port.PortName);
        return [&wine, n, old] { wine.Relink(n, old); };
    }
    case Verb::Remove: {
        wine.End(n);
        std::string old;
        for (const PortPair& p : before)
            if (p.Number == n) old = p.Port.PortName;
        return [&wine, n, old] { wine.Make(n, old); };
    }
    }
    return [] {};
}

void Run(const std::string& dir, const std::vector<std::string>& args) {
    Command command = ParseCommand(args);
    StateLock lock(dir);
    std::string path = dir + StateName;
    const PairList before = ReadState(ReadStateFile(path));
    PairList pairs = before;
    Apply(command, pairs);
    std::optional<WinePairs> wine = WinePairs::Find(dir, path);
    const Host host = wine ? Host::WineWithScript : UnderWine() ? Host::Wine : Host::Windows;
    if (std::string why = WhyRefused(command.verb, host); !why.empty()) throw PairNotMade(why);
    std::function<void()> undo = wine ? MakeReal(*wine, command, before) : [] {};
    try {
        WriteAtomically(path, WriteState(pairs));
    } catch (const SetupError&) {
        try {
            undo();
        } catch (const SetupError& e) {
            std::fprintf(stderr, "setupc: %s\n", e.what());
        }
        throw;
    }
}

// One line per call: the exit code in brackets, then the command line after the program path,
// and " -- " and the reason when a pair could not be made.
void AppendLog(const std::string& path, std::string_view arguments, int code, const std::string& why) {
    FileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;  // the log only helps; the exit code is the answer
    std::string line = "[" + std::to_string(code) + "] " + std::string(arguments);
    if (!why.empty()) line += " -- " + why;
    line += "\r\n";
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir, why;
    int code = 1;
    try {
        dir = ExeDirectory();
        Run(dir, std::vector<std::string>(argv + 1, argv + argc));
        code = 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "setupc: %s\n", e.what());
        if (dynamic_cast<const PairNotMade*>(&e)) why = e.what();
    }
    if (!dir.empty()) AppendLog(dir + LogName, ArgumentsOf(GetCommandLineA()), code, why);
    return code;
}
