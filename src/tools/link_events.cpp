#include "tools/link_events.h"

#include <algorithm>

TLinkEvent StartEvent(bool done, bool hubFailed, std::string why) {
    TLinkEvent event{done ? TEventKind::Started : hubFailed ? TEventKind::Failed : TEventKind::Refused};
    if (!done) event.Why = std::move(why);
    return event;
}

std::vector<TLinkEvent> TLinks::Look(std::int64_t nowMs, const std::vector<TLinkSeen>& seen, const std::string& timeOfDay) {
    const auto down = [](TLinkState s) { return s == TLinkState::Waiting || s == TLinkState::NotAnswering; };
    std::vector<TLinkEvent> events;
    std::map<int, TLinkRecord> next;
    order_.clear();
    for (const TLinkSeen& bridge : seen) {
        const bool first = records_.count(bridge.Slot) == 0;
        TLinkRecord link = Of(bridge.Slot);
        link.Com = bridge.Com;
        link.Server = bridge.Server;
        link.Name = bridge.Name;
        link.Entry = bridge.Entry;
        const bool dead = bridge.State == TLinkState::Connected && !bridge.Answering;
        const TLinkState state = dead ? TLinkState::NotAnswering : bridge.State;
        if (link.State != state) {
            // Only an outage the log told ends with its length.
            const std::int64_t downMs = link.Told && state == TLinkState::Connected ? nowMs - link.DownSince : -1;
            // A link that only began waiting with the bridges' start is told once the wait lasts.
            const bool begins = (link.State == TLinkState::Stopped || link.State == TLinkState::Off) && state == TLinkState::Waiting;
            events.push_back({TEventKind::LinkChanged, bridge.Slot, link.State, state, downMs, {}, first || begins});
            if (state == TLinkState::Connected && link.Noted)
                events.push_back({TEventKind::LinkRestored, bridge.Slot, state, state, downMs});
            if ((state == TLinkState::Refused || state == TLinkState::Mismatched) && !first)
                events.push_back({TEventKind::ServerDisagrees, bridge.Slot, state, state});
            // The host answers again, and the connection that died with it is still the hub's.
            if (link.State == TLinkState::NotAnswering && state == TLinkState::Connected && bridge.LocalPort == link.DeadPort)
                link.RestartPort = bridge.LocalPort;
            if (state == TLinkState::Stopped) link.WasConnected = false;
            // From not answering to waiting the outage goes on: it was noted and told once.
            if (!(down(link.State) && down(state))) link.Noted = false;
            // Not answering began with the host's last answer while this connection stood.
            if (down(state) && !down(link.State)) link.DownSince = dead ? std::max(bridge.LastAnswerMs, link.Since) : nowMs;
            link.Told = down(state) && (link.Told || !(first || begins));
            link.TellWaiting = begins && !first;
            link.DeadPort = dead ? bridge.LocalPort : 0;
            link.State = state;
            link.Since = nowMs;
            link.SinceTime = timeOfDay;
        }
        if (link.TellWaiting && nowMs - link.Since >= DropMs) {
            link.TellWaiting = false;
            link.Told = true;
            events.push_back({TEventKind::LinkWaits, bridge.Slot, state, state});
        }
        // A restart held back waits for as long as the dead connection stands.
        if (state != TLinkState::Connected || bridge.LocalPort != link.RestartPort) link.RestartPort = 0;
        if (link.RestartPort) events.push_back({TEventKind::RestartWanted, bridge.Slot});
        if (state == TLinkState::Connected || state == TLinkState::Refused || state == TLinkState::Mismatched)
            link.WasConnected = true;
        // Waiting is noted once it lasts; not answering has lasted already.
        const bool lost = (state == TLinkState::Waiting && link.WasConnected && nowMs - link.Since >= DropMs) || dead;
        if (lost && !link.Noted) {
            link.Noted = true;
            events.push_back({TEventKind::LinkLost, bridge.Slot});
        }
        next[bridge.Slot] = link;
        order_.push_back(bridge.Slot);
    }
    records_ = std::move(next);
    return events;
}

std::vector<TLinkEvent> TLinks::Unjudge(std::int64_t nowMs, const std::string& timeOfDay) {
    std::vector<TLinkEvent> events;
    for (auto& [slot, link] : records_) {
        link.RestartPort = 0;
        if (link.State != TLinkState::NotAnswering) continue;
        events.push_back({TEventKind::Unjudged, slot, link.State, TLinkState::Connected});
        link.State = TLinkState::Connected;
        link.Since = nowMs;
        link.SinceTime = timeOfDay;
        link.Noted = link.Told = false;
        link.DeadPort = 0;
    }
    return events;
}

void TLinks::TakeAsStopped(const std::vector<int>& slots) {
    std::vector<TLinkSeen> stopped(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) stopped[i].Slot = slots[i];
    Look(0, stopped);
}

bool TLinks::AllStopped() const {
    const std::vector<TLinkState> states = States();
    return !states.empty() && std::all_of(states.begin(), states.end(), [](TLinkState s) {
        return s == TLinkState::Stopped || s == TLinkState::Off;
    });
}

const TLinkRecord& TLinks::Of(int slot) const {
    static const TLinkRecord none;
    const auto found = records_.find(slot);
    return found == records_.end() ? none : found->second;
}

std::vector<TLinkState> TLinks::States() const {
    std::vector<TLinkState> states;
    for (int slot : order_) states.push_back(Of(slot).State);
    return states;
}
