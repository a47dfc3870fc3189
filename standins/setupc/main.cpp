// The port-pair setup tool: keeps the pairs in a state file beside itself, answers with exit
// code 0 when it carried out the command and 1 when it did not, and logs every call. Under Wine
// it makes each pair real (see wine_pairs.h). Where it cannot, on Windows proper or without the
// script beside it, it refuses install and change and logs why: a pair that is only recorded
// would leave the hub without its port.
#include "common/log_file.h"
#include "common/pair_state.h"
#include "common/state_file.h"
#include "common/state_lock.h"
#include "common/unix_side.h"
#include "common/wine_pairs.h"
#include "platform/module.h"
#include "setupc/setup_command.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace setupc;

namespace {

// Makes the command's change real under Wine; returns what undoes it should the state not be
// written.
std::function<void()> MakeReal(const WinePairs& wine, const Command& command, const PairList& before) {
    int n = command.pair;
    std::string old;  // the pair's port name before the command
    for (const PortPair& p : before)
        if (p.Number == n) old = p.Port.PortName;
    switch (command.verb) {
    case Verb::Install:
        wine.Make(n, command.port.PortName);
        return [&wine, n] { wine.End(n); };
    case Verb::Change:
        if (SamePortName(old, command.port.PortName)) return [] {};
        wine.Relink(n, command.port.PortName);
        return [&wine, n, old] { wine.Relink(n, old); };
    case Verb::Remove:
        wine.End(n);
        return [&wine, n, old] { wine.Make(n, old); };
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
    const Host host = wine ? Host::WineWithScript : platform::UnderWine() ? Host::Wine : Host::Windows;
    if (std::string why = WhyRefused(command.verb, host); !why.empty()) throw PairNotMade(why);
    std::function<void()> undo = wine ? MakeReal(*wine, command, before) : [] {};
    try {
        WriteStateFile(path, WriteState(pairs));
    } catch (const SetupError&) {
        try {
            undo();
        } catch (const SetupError& e) {
            std::fprintf(stderr, "setupc: %s\n", e.what());
        }
        throw;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir, why;
    int code = 1;
    try {
        dir = platform::ExeDirectory(CP_UTF8);
        if (dir.empty()) throw SystemError("cannot find the tool's own path");
        Run(dir, std::vector<std::string>(argv + 1, argv + argc));
        code = 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "setupc: %s\n", e.what());
        if (dynamic_cast<const PairNotMade*>(&e)) why = e.what();
    }
    // One line per call: the exit code in brackets, then the command line after the program path,
    // and " -- " and the reason when a pair could not be made. The log only helps; the exit code
    // is the answer.
    if (!dir.empty())
        standin::AppendToLog(dir + "setupc.log", "[" + std::to_string(code) + "] " +
                                                std::string(ArgumentsOf(GetCommandLineA())) +
                                                (why.empty() ? "" : " -- " + why) + "\r\n");
    return code;
}
