#include "tools/link_events.h"

#include <algorithm>
#include <cstdio>

TEventKind StartEvent(bool done, bool hubFailed) {
    return done ? TEventKind::Started : hubFailed ? TEventKind::Failed : TEventKind::Refused;
}

std::vector<TLinkEvent> TLinks::Look(std::int64_t nowMs, const std::vector<TLinkSeen>& seen, const std::string& timeOfDay) {
    std::vector<TLinkEvent> events;
    std::map<int, TLinkRecord> next;
    order_.clear();
    for (const TLinkSeen& bridge : seen) {
        TLinkRecord link = Of(bridge.Slot);
        link.Com = bridge.Com;
        link.Server = bridge.Server;
        const bool dead = bridge.State == TLinkState::Connected && !bridge.Answering;
        const TLinkState state = dead ? TLinkState::NotAnswering : bridge.State;
        if (link.State != state) {
            events.push_back({TEventKind::LinkChanged, bridge.Slot, link.State, state});
            if (state == TLinkState::Connected && link.Noted) events.push_back({TEventKind::LinkRestored, bridge.Slot});
            // The host answers again, and the connection that died with it is still the hub's.
            if (link.State == TLinkState::NotAnswering && state == TLinkState::Connected && bridge.LocalPort == link.DeadPort)
                events.push_back({TEventKind::RestartWanted, bridge.Slot});
            if (state == TLinkState::Stopped) link.WasConnected = false;
            // From not answering to waiting the outage goes on: it was noted once.
            const auto down = [](TLinkState s) { return s == TLinkState::Waiting || s == TLinkState::NotAnswering; };
            if (!(down(link.State) && down(state))) link.Noted = false;
            link.DeadPort = dead ? bridge.LocalPort : 0;
            link.State = state;
            link.Since = nowMs;
            link.SinceTime = timeOfDay;
        }
        if (state == TLinkState::Connected) link.WasConnected = true;
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

std::vector<TLogEvent> LogEvents(const std::vector<TLinkEvent>& events, const TLinks& links) {
    std::vector<TLogEvent> log;
    for (const TLinkEvent& event : events) {
        switch (event.Kind) {
        case TEventKind::LinkChanged: {
            const bool between = event.From != TLinkState::Stopped && event.To != TLinkState::Stopped;
            const TLinkRecord& link = links.Of(event.Slot);
            if (between || event.To == TLinkState::Connected) log.push_back({link.Com, link.Server, LinkWord(event.To)});
            break;
        }
        case TEventKind::HubEnded: log.push_back({"-", "-", "hub ended"}); break;
        case TEventKind::Started: log.push_back({"-", "-", "started"}); break;
        case TEventKind::Restarted: log.push_back({"-", "-", "restarted"}); break;
        case TEventKind::Refused: log.push_back({"-", "-", "refused"}); break;
        case TEventKind::Failed: log.push_back({"-", "-", "failed"}); break;
        case TEventKind::Stopped: log.push_back({"-", "-", "stopped"}); break;
        case TEventKind::LinkLost:
        case TEventKind::LinkRestored:
        case TEventKind::RestartWanted:
        case TEventKind::HubAppeared:
        case TEventKind::StartedElsewhere:  // the copy that did it logged it
        case TEventKind::StoppedElsewhere: break;
        }
    }
    return log;
}

std::string LogLine(const std::string& dateTime, const TLogEvent& event) {
    return dateTime + '\t' + event.Com + '\t' + event.Server + '\t' + event.Word;
}

std::string LogTime(int year, int month, int day, int hour, int minute, int second) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

namespace {

// One note for the links of one kind in these events, or a merged one for several.
void AddNote(std::vector<TNote>& notes, const std::vector<const TLinkRecord*>& links, bool lost) {
    if (links.empty()) return;
    const std::string count = std::to_string(links.size()) + " bridges";
    if (lost)
        notes.push_back({"Link lost",
                         links.size() == 1 ? links[0]->Com + " lost " + links[0]->Server : count + " lost their servers",
                         true});
    else
        notes.push_back({"Link restored",
                         links.size() == 1 ? links[0]->Com + " is connected again to " + links[0]->Server
                                           : count + " are connected again",
                         false});
}

}  // namespace

std::vector<TNote> Notes(const std::vector<TLinkEvent>& events, const TLinks& links) {
    std::vector<TNote> notes;
    std::vector<const TLinkRecord*> lost, restored;
    for (const TLinkEvent& event : events) {
        if (event.Kind == TEventKind::LinkLost) lost.push_back(&links.Of(event.Slot));
        if (event.Kind == TEventKind::LinkRestored) restored.push_back(&links.Of(event.Slot));
        if (event.Kind == TEventKind::HubEnded) notes.push_back({"Pontis Manager", "Bridges stopped: the hub ended", true});
        if (event.Kind == TEventKind::StoppedElsewhere) notes.push_back({"Pontis Manager", "Bridges stopped", false});
    }
    AddNote(notes, lost, true);
    AddNote(notes, restored, false);
    return notes;
}

TLinkState TrayState(const std::vector<TLinkState>& states, bool running) {
    if (!running) return TLinkState::Stopped;
    if (std::count(states.begin(), states.end(), TLinkState::NotAnswering)) return TLinkState::NotAnswering;
    const bool all = std::all_of(states.begin(), states.end(), [](TLinkState s) { return s == TLinkState::Connected; });
    return all ? TLinkState::Connected : TLinkState::Waiting;
}

std::string TrayTip(const std::vector<TLinkState>& states, bool running) {
    if (!running) return "Pontis Manager: bridges stopped";
    const auto connected = std::count(states.begin(), states.end(), TLinkState::Connected);
    const auto dead = std::count(states.begin(), states.end(), TLinkState::NotAnswering);
    return "Pontis Manager: " + std::to_string(connected) + " of " + std::to_string(states.size()) +
           " bridges connected" + (dead ? ", " + std::to_string(dead) + " not answering" : std::string());
}
