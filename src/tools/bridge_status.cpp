#include "tools/bridge_status.h"

#include "config/bridge.h"
#include "config/number.h"
#include "tools/hub_control.h"
#include "tools/runner.h"

#include <windows.h>

namespace {

constexpr int ResolveWaitMs = 3000, ResolvePollMs = 50;

// The states once every named server has an address, or the wait is over.
std::vector<TLinkState> SettledStates(const std::vector<TLinkTarget>& targets, bool hubRunning) {
    for (int waited = 0; hubRunning && waited < ResolveWaitMs; waited += ResolvePollMs) {
        bool resolved = true;
        for (const TLinkTarget& target : targets) resolved = ResolveHost(target.Host).has_value() && resolved;
        if (resolved) break;
        ::Sleep(ResolvePollMs);
    }
    return LinkStates(targets, hubRunning);
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
    const std::vector<TLinkState> states = SettledStates(targets, KillHub(false));

    TBridgeStatus status;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        status.Lines.push_back(captions[i] + '\t' + targets[i].Host + ':' + Decimal(targets[i].Port) + '\t' +
                               LinkWord(states[i]));
        status.AllConnected = status.AllConnected && states[i] == TLinkState::Connected;
    }
    return status;
}
