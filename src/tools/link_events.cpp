#include "tools/link_events.h"

#include <algorithm>
#include <cstdio>

std::string LogLine(const std::string& dateTime, const TLogEvent& event) {
    return dateTime + '\t' + event.Com + '\t' + event.Server + '\t' + event.Word;
}

std::string LogTime(int year, int month, int day, int hour, int minute, int second) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

TLogEvent StartEvent(bool done, bool hubFailed) {
    return {"-", "-", done ? "started" : hubFailed ? "failed" : "refused"};
}

TLinkState TrayState(const std::vector<TLinkState>& states, bool running) {
    if (!running) return TLinkState::Stopped;
    const bool all = std::all_of(states.begin(), states.end(), [](TLinkState s) { return s == TLinkState::Connected; });
    return all ? TLinkState::Connected : TLinkState::Waiting;
}

std::string TrayTip(const std::vector<TLinkState>& states, bool running) {
    if (!running) return "Pontis Manager: bridges stopped";
    const auto connected = std::count(states.begin(), states.end(), TLinkState::Connected);
    return "Pontis Manager: " + std::to_string(connected) + " of " + std::to_string(states.size()) +
           " bridges connected";
}

namespace {

// One note for the links in this look, or a merged one for several.
void AddNote(std::vector<TNote>& notes, const std::vector<const TLinkSeen*>& links, bool lost) {
    if (links.empty()) return;
    const std::string count = std::to_string(links.size()) + " bridges";
    if (lost)
        notes.push_back({"Link lost",
                         links.size() == 1 ? links[0]->Com + " lost " + links[0]->Server
                                           : count + " lost their servers",
                         true});
    else
        notes.push_back({"Link restored",
                         links.size() == 1 ? links[0]->Com + " is connected again to " + links[0]->Server
                                           : count + " are connected again",
                         false});
}

}  // namespace

TLinkEvents::TResult TLinkEvents::Look(std::int64_t nowMs, const std::vector<TLinkSeen>& links) {
    TResult result;
    std::vector<const TLinkSeen*> lost, restored;
    std::map<std::string, TLink> next;
    for (const TLinkSeen& seen : links) {
        const auto found = links_.find(seen.Com);
        TLink link = found == links_.end() ? TLink{seen.State, nowMs} : found->second;
        if (link.State != seen.State) {
            // Between waiting and connected a link changed; to and from stopped the bridges
            // started or stopped, which their own lines say.
            const bool change = link.State != TLinkState::Stopped && seen.State != TLinkState::Stopped;
            if (change || seen.State == TLinkState::Connected) result.Log.push_back({seen.Com, seen.Server, LinkWord(seen.State)});
            if (seen.State == TLinkState::Connected && link.Noted) restored.push_back(&seen);
            if (seen.State == TLinkState::Stopped) link = TLink{};
            link.State = seen.State;
            link.Since = nowMs;
            link.Noted = false;
        }
        if (seen.State == TLinkState::Connected) link.WasConnected = true;
        if (seen.State == TLinkState::Waiting && link.WasConnected && !link.Noted && nowMs - link.Since >= DropMs) {
            link.Noted = true;
            lost.push_back(&seen);
        }
        next[seen.Com] = link;
    }
    links_ = std::move(next);
    AddNote(result.Notes, lost, true);
    AddNote(result.Notes, restored, false);
    return result;
}

TLinkEvents::TResult TLinkEvents::HubEnded() {
    links_.clear();
    return {{{"-", "-", "hub ended"}}, {{"Pontis Manager", "Bridges stopped: the hub ended", true}}};
}
