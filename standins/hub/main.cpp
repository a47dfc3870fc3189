// The hub: checks its command line and serves the bridges it describes until it is terminated.
// A line it cannot accept ends it at once with exit code 1 and the reason on stderr. An accepted
// line, the bridges as understood and what becomes of them are appended to hub4com.log beside
// the executable. Under Wine it first makes again the port pairs of the setup tool beside it
// that are gone (after a reboot).
#include "common/pair_state.h"
#include "common/state_file.h"
#include "common/state_lock.h"
#include "common/wine_pairs.h"
#include "hub/bridge.h"
#include "hub/hub_cmdline.h"
#include "hub/hub_log.h"
#include "platform/module.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The setup tool's pairs whose keeper is gone are made again, all at once; each failure is
// logged and keeps no other pair, and no bridge, from its work.
void RestorePairs(const hub::Log& log) {
    std::string dir = platform::ExeDirectory(CP_UTF8);
    std::string statePath = dir + setupc::StateName;
    if (dir.empty() || ::GetFileAttributesW(platform::Widen(statePath).c_str()) == INVALID_FILE_ATTRIBUTES) return;
    try {
        setupc::StateLock lock(dir);
        setupc::PairList pairs = setupc::ReadState(setupc::ReadStateFile(statePath));
        std::optional<setupc::WinePairs> wine = setupc::WinePairs::Find(dir, statePath);
        if (!wine) return;
        std::vector<setupc::WinePairs::Pending> pending;
        for (const setupc::PortPair& p : pairs) pending.push_back(wine->Start("restore", p.Number, p.Port.PortName));
        for (const setupc::WinePairs::Pending& p : pending) {
            try {
                p.Wait();
            } catch (const setupc::SetupError& e) {
                log.Write(std::string("port pairs: ") + e.what());
            }
        }
    } catch (const setupc::SetupError& e) {
        log.Write(std::string("port pairs: ") + e.what());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    hub::ParseResult parsed = hub::ParseArguments(args);
    if (!parsed.model) {
        std::fprintf(stderr, "hub4com: %s\n", parsed.error.c_str());
        return 1;
    }
    std::vector<hub::Bridge> bridges = hub::Bridges(*parsed.model);

    // The bridges are served whether or not the log can be written.
    hub::Log log;
    std::string record = ::GetCommandLineA();
    for (const hub::Bridge& b : bridges) record += "\r\n  " + hub::Describe(b);
    if (unsigned long error = log.Write(record))
        std::fprintf(stderr, "hub4com: cannot write %s (error %lu)\n", log.path().c_str(), error);

    WSADATA wsa;
    if (int error = ::WSAStartup(MAKEWORD(2, 2), &wsa)) {
        log.Write("cannot start Windows Sockets (error " + std::to_string(error) + ")");
        return 2;
    }
    if (platform::UnderWine()) RestorePairs(log);

    // Which connections are the bridges': the program reads it where the system does not name a
    // connection's owner. PONTIS_HUB_RECORD=0 keeps no record, as a hub that tells nothing.
    char setting[8] = "";
    const bool tells =
        !::GetEnvironmentVariableA("PONTIS_HUB_RECORD", setting, sizeof setting) || std::string(setting) != "0";
    std::vector<std::string> ports;
    for (const hub::Bridge& b : bridges) ports.push_back(b.path);
    static platform::HubLinksWriter links(ports, tells);
    if (tells && !links)
        log.Write("no record of the bridges' connections (error " + std::to_string(links.Error()) + ")");
    for (std::size_t i = 0; i < bridges.size(); ++i) hub::StartBridge(bridges[i], log, links, i);
    for (;;) ::Sleep(INFINITE);
}
