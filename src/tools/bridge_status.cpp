#include "tools/bridge_status.h"

#include "config/bridge.h"
#include "config/number.h"
#include "tools/hub_control.h"
#include "tools/link_watcher.h"

#include <windows.h>

namespace {

constexpr int ResolveWaitMs = 3000, ResolvePollMs = 50;

// The states after a look in which every named server was looked up, or after the wait.
std::vector<TLinkState> SettledStates(const std::vector<TLinkTarget>& targets, bool hubRunning) {
    TLinkWatcher watcher;
    if (!hubRunning) return watcher.States(targets, false);
    watcher.States(targets, true);  // asks for the names
    watcher.Ask();
    for (int waited = 0; waited < ResolveWaitMs && (watcher.Resolving() || !watcher.HubSeen()); waited += ResolvePollMs)
        ::Sleep(ResolvePollMs);
    return watcher.States(targets, true);
}

}  // namespace

TLinkTarget LinkTargetOf(const std::string& caption) {
    const int s = FindBridge(caption);
    if (s == NoSlot) return {};
    return {Bridges[s].IP.str(), Bridges[s].Port};
}

TBridgeStatus StoredBridgeStatus() {
    const std::vector<std::string> captions = LoadStoredBridges();
    std::vector<TLinkTarget> targets;
    for (const std::string& caption : captions) targets.push_back(LinkTargetOf(caption));
    const std::vector<TLinkState> states = SettledStates(targets, HubRunning());

    TBridgeStatus status;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        status.Lines.push_back(captions[i] + '\t' + targets[i].Host + ':' + Decimal(targets[i].Port) + '\t' +
                               LinkWord(states[i]));
        status.AllConnected = status.AllConnected && states[i] == TLinkState::Connected;
    }
    return status;
}
