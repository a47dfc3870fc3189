#pragma once
// What the icon shows of the links: the notes it gives, and its colour and tip. Pure logic.
#include "tools/link_events.h"

struct TNote {
    std::string Title;
    std::string Text;
    bool Warning = false;
};

// What the notes make of the events: the links lost in one look merged into one note, those
// restored into another, a note for each link whose server refused port control or is
// mismatched ("COM5: 10.0.0.7:4001 kept 9600 baud (asked 57600)"), and a note for a hub that
// ended by itself. A link is named by its Name and COM text ("Scale (COM3)"), or its COM text; a
// restored one alone tells its outage.
std::vector<TNote> Notes(const std::vector<TLinkEvent>& events, const TLinks& links);

// A note's text holds this many characters at most.
constexpr std::size_t NoteTextLimit = 255;

// A length of time as the notes tell it: "45 s", "2 min 10 s", "1 h 5 min".
std::string OutageText(std::int64_t ms);

// The icon's colour (the state of its dot) and its tip, for the links' states: grey while the
// bridges are stopped, red while any is not answering, amber with a warning mark while any is
// refused port control or mismatched, green when every bridge is connected, amber while any
// waits. Bridges that are off do not count.
TLinkState TrayState(const std::vector<TLinkState>& states, bool running);
std::string TrayTip(const std::vector<TLinkState>& states, bool running);
