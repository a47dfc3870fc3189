#include "tools/bridge_status.h"

#include "config/bridge.h"
#include "config/number.h"
#include "tools/device_end.h"
#include "tools/hub_args.h"
#include "tools/link_watcher.h"
#include "tools/run.h"

#include <windows.h>

namespace {

constexpr int LookWaitMs = 10000, ResolveWaitMs = 3000, PollMs = 20;

// The links after the first look, with the server names found within a few seconds; a name
// the resolver has not answered for by then leaves its own bridges waiting.
std::vector<TLinkLook> SettledLooks(const std::vector<TLinkTarget>& targets, const TRun& run) {
    TLinkWatcher watcher;
    if (!run.Running()) return watcher.Looks(targets, run);
    watcher.States(targets, run);  // asks for the names
    watcher.Ask();
    for (int waited = 0; waited < LookWaitMs && (!watcher.HubSeen() || (waited < ResolveWaitMs && watcher.Resolving()));
         waited += PollMs)
        ::Sleep(PollMs);
    return watcher.Looks(targets, run);
}

}  // namespace

TLinkTarget LinkTargetOf(int slot) { return {Bridges[slot].IP.str(), Bridges[slot].Port, HubPortName(Bridges[slot].Index)}; }

std::string ServerText(const TLinkTarget& target) { return target.Host + ':' + Decimal(target.Port); }

TBridgeStatus StoredBridgeStatus() {
    const std::vector<int> slots = Readable(LoadStoredBridges());
    std::vector<TLinkTarget> targets;
    for (int slot : slots) targets.push_back(LinkTargetOf(slot));
    const TRun run(TRun::HubFound());
    const std::vector<TLinkLook> looks = SettledLooks(targets, run);
    std::vector<TLinkState> states;
    for (const TLinkLook& look : looks) states.push_back(look.State);

    TBridgeStatus status;
    bool allConnected = true;
    const std::uint32_t notAnswering = NotAnsweringSlots();  // as the watching copy judged them
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (states[i] == TLinkState::Connected && (notAnswering >> slots[i] & 1)) states[i] = TLinkState::NotAnswering;
        if (!Bridges[slots[i]].Enabled) states[i] = TLinkState::Off;  // and no matter to the exit code
        std::string line = Bridges[slots[i]].COM.str() + '\t' + ServerText(targets[i]) + '\t' + LinkWord(states[i]);
        if (looks[i].Counted && states[i] != TLinkState::Off)  // the device end, from the hub's record
            for (const std::string& field : StatusFields(looks[i].Entry, ::GetTickCount64())) line += '\t' + field;
        status.Lines.push_back(std::move(line));
        allConnected = allConnected && (states[i] == TLinkState::Connected || states[i] == TLinkState::Off);
    }
    // A bridge that cannot be read is left out of the hub: a failure while the bridges run.
    for (int n : LeftOut()) {
        status.Lines.push_back(HeldBackText(n));
        allConnected = false;
    }
    if (status.Lines.empty()) status.Lines.push_back(NoBridgesLine);
    status.Code = slots.empty() && LeftOut().empty() ? StatusNoBridges
                  : !run.Running()                   ? StatusStopped
                  : allConnected                     ? StatusAllConnected
                                                     : StatusWaiting;
    return status;
}
