#include "tools/link_events.h"

#include "platform/ascii.h"

#include <algorithm>
#include <cstdio>

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

std::vector<TLogEvent> LogEvents(const std::vector<TLinkEvent>& events, const TLinks& links) {
    std::vector<TLogEvent> log;
    for (const TLinkEvent& event : events) {
        switch (event.Kind) {
        case TEventKind::LinkChanged: {
            const TLinkRecord& link = links.Of(event.Slot);
            if (event.Quiet || event.To == TLinkState::Stopped || event.To == TLinkState::Off) break;
            const std::string after = event.DownMs < 0 ? std::string() : "after " + std::to_string(event.DownMs / 1000) + " s";
            log.push_back({link.Com, link.Server, LinkWord(event.To), true, link.Name, after});
            break;
        }
        case TEventKind::LinkWaits: {
            const TLinkRecord& link = links.Of(event.Slot);
            log.push_back({link.Com, link.Server, LinkWord(TLinkState::Waiting), true, link.Name});
            break;
        }
        case TEventKind::HubEnded: log.push_back({"-", "-", "hub ended"}); break;
        case TEventKind::Started: log.push_back({"-", "-", "started"}); break;
        case TEventKind::Restarted: log.push_back({"-", "-", "restarted"}); break;
        case TEventKind::Refused: log.push_back({"-", "-", "refused", false, {}, {}, event.Why}); break;
        case TEventKind::Failed: log.push_back({"-", "-", "failed", false, {}, {}, event.Why}); break;
        case TEventKind::LeftOut:
            log.push_back({"-", "-", "left out", false, {}, {}, "slot " + std::to_string(event.Slot) + ": " + event.Why});
            break;
        case TEventKind::Stopped: log.push_back({"-", "-", "stopped"}); break;
        case TEventKind::ChecksRefused: log.push_back({"-", "-", "servers unchecked", false, {}, {}, event.Why}); break;
        case TEventKind::ChecksWork: log.push_back({"-", "-", "servers checked"}); break;
        case TEventKind::LinkLost:
        case TEventKind::LinkRestored:
        case TEventKind::RestartWanted:
        case TEventKind::Unjudged:
        case TEventKind::HubAppeared:
        case TEventKind::StartedElsewhere:  // the copy that did it logged it
        case TEventKind::StoppedElsewhere: break;
        }
    }
    return log;
}

namespace {

// A field as the log writes it: a control character would end the field or the line, or
// start another, so each is a blank.
std::string LogField(std::string text) {
    std::replace_if(text.begin(), text.end(), platform::IsAsciiControl, ' ');
    return text;
}

}  // namespace

std::string LogLine(const std::string& dateTime, const TLogEvent& event) {
    std::string line =
        LogField(dateTime) + '\t' + LogField(event.Com) + '\t' + LogField(event.Server) + '\t' + LogField(event.Word);
    if (event.Link) line += '\t' + LogField(event.Name);
    if (event.Link && !event.After.empty()) line += '\t' + LogField(event.After);
    if (!event.Link && !event.Why.empty()) line += '\t' + LogField(event.Why);
    return line;
}

std::string LogTime(int year, int month, int day, int hour, int minute, int second) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

namespace {

std::string Label(const TLinkRecord& link, bool named) {
    return named && !link.Name.empty() ? link.Name + " (" + link.Com + ")" : link.Com;
}

// "COM3, COM5 and COM7", with Names where the note has room for them, and the last ones as
// "and 4 more" where it has room for no more.
std::string Listed(const std::vector<const TLinkRecord*>& links, std::size_t room) {
    const auto join = [&links](bool named, std::size_t shown) {
        std::string text;
        for (std::size_t i = 0; i < shown; ++i) {
            if (i > 0) text += i + 1 == links.size() ? " and " : ", ";
            text += Label(*links[i], named);
        }
        if (shown < links.size()) text += " and " + std::to_string(links.size() - shown) + " more";
        return text;
    };
    for (bool named : {true, false})
        if (join(named, links.size()).size() <= room) return join(named, links.size());
    std::size_t shown = links.size();
    while (shown > 1 && join(false, shown).size() > room) --shown;
    return join(false, shown);
}

// One note for the links of one kind in these events, or a merged one for several.
void AddNote(std::vector<TNote>& notes, const std::vector<const TLinkRecord*>& links, std::int64_t downMs, bool lost) {
    if (links.empty()) return;
    if (lost) {
        const std::string tail = links.size() == 1 ? " lost " + links[0]->Server : " lost their servers";
        notes.push_back({"Link lost", Listed(links, NoteTextLimit - tail.size()) + tail, true});
    } else {
        const std::string tail = links.size() == 1 ? " is back after " + OutageText(downMs) : " are back";
        notes.push_back({"Link restored", Listed(links, NoteTextLimit - tail.size()) + tail, false});
    }
}

}  // namespace

std::string OutageText(std::int64_t ms) {
    const std::int64_t s = ms / 1000, h = s / 3600, min = s / 60 % 60, sec = s % 60;
    std::string text;
    const auto add = [&text](std::int64_t n, const char* unit) {
        text += (text.empty() ? "" : " ") + std::to_string(n) + unit;
    };
    if (h) add(h, " h");
    if (min) add(min, " min");
    if (sec || text.empty()) add(sec, " s");
    return text;
}

std::vector<TNote> Notes(const std::vector<TLinkEvent>& events, const TLinks& links) {
    std::vector<TNote> notes;
    std::vector<const TLinkRecord*> lost, restored;
    std::int64_t downMs = 0;
    for (const TLinkEvent& event : events) {
        if (event.Kind == TEventKind::LinkLost) lost.push_back(&links.Of(event.Slot));
        if (event.Kind == TEventKind::LinkRestored) {
            restored.push_back(&links.Of(event.Slot));
            downMs = event.DownMs;
        }
        if (event.Kind == TEventKind::HubEnded) notes.push_back({"Pontis Manager", "Bridges stopped: the hub ended", true});
        if (event.Kind == TEventKind::StoppedElsewhere) notes.push_back({"Pontis Manager", "Bridges stopped", false});
        if (event.Kind == TEventKind::ChecksRefused)
            notes.push_back({"Pontis Manager", "Servers cannot be checked: " + event.Why, true});
        if (event.Kind == TEventKind::ChecksWork)
            notes.push_back({"Pontis Manager", "Servers can be checked again", false});
    }
    AddNote(notes, lost, 0, true);
    AddNote(notes, restored, downMs, false);
    return notes;
}

namespace {

// The states of the bridges that are on.
std::vector<TLinkState> OnStates(std::vector<TLinkState> states) {
    states.erase(std::remove(states.begin(), states.end(), TLinkState::Off), states.end());
    return states;
}

}  // namespace

TLinkState TrayState(const std::vector<TLinkState>& listed, bool running) {
    const std::vector<TLinkState> states = OnStates(listed);
    if (!running) return TLinkState::Stopped;
    if (std::count(states.begin(), states.end(), TLinkState::NotAnswering)) return TLinkState::NotAnswering;
    const bool all = std::all_of(states.begin(), states.end(), [](TLinkState s) { return s == TLinkState::Connected; });
    return all ? TLinkState::Connected : TLinkState::Waiting;
}

std::string TrayTip(const std::vector<TLinkState>& all, bool running) {
    const std::vector<TLinkState> states = OnStates(all);
    if (!running) return "Pontis Manager: bridges stopped";
    const auto connected = std::count(states.begin(), states.end(), TLinkState::Connected);
    const auto dead = std::count(states.begin(), states.end(), TLinkState::NotAnswering);
    return "Pontis Manager: " + std::to_string(connected) + " of " + std::to_string(states.size()) +
           " bridges connected" + (dead ? ", " + std::to_string(dead) + " not answering" : std::string());
}
