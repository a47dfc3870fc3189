#include "tools/link_notes.h"

#include <algorithm>

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
        if (event.Kind == TEventKind::ServerDisagrees) {
            const TLinkRecord& link = links.Of(event.Slot);
            const bool refused = event.To == TLinkState::Refused;
            const std::string tip = EntryTip(event.To, link.Entry, link.Server, link.Com);
            notes.push_back({refused ? "Port control refused" : "Port control mismatched",
                             Label(link, Label(link, true).size() + 2 + tip.size() <= NoteTextLimit) + ": " + tip, true});
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
    for (TLinkState s : {TLinkState::Refused, TLinkState::Mismatched})
        if (std::count(states.begin(), states.end(), s)) return s;
    const bool all = std::all_of(states.begin(), states.end(), [](TLinkState s) { return s == TLinkState::Connected; });
    return all ? TLinkState::Connected : TLinkState::Waiting;
}

std::string TrayTip(const std::vector<TLinkState>& all, bool running) {
    const std::vector<TLinkState> states = OnStates(all);
    if (!running) return "Pontis Manager: bridges stopped";
    const auto connected = std::count(states.begin(), states.end(), TLinkState::Connected);
    std::string tip = "Pontis Manager: " + std::to_string(connected) + " of " + std::to_string(states.size()) +
                      " bridges connected";
    for (TLinkState s : {TLinkState::NotAnswering, TLinkState::Refused, TLinkState::Mismatched})
        if (const auto n = std::count(states.begin(), states.end(), s)) tip += ", " + std::to_string(n) + " " + LinkWord(s);
    return tip;
}
