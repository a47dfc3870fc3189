#pragma once
// The connection log's lines: which events it tells, and how a line is written. Pure logic.
#include "tools/link_events.h"

// One event of the connection log: the COM text and the server ("-" for the whole set), and
// the event word (started, stopped, refused, failed, left out, connected, waiting, hub ended).
// A link's event also has its bridge's Name, and when it ends an outage, its length ("after 130
// s"); a refused or failed start and a bridge left out have their reason, a link whose server
// refused port control or is mismatched the server's answer ("kept 9600 baud (asked 57600)").
struct TLogEvent {
    std::string Com = "-";
    std::string Server = "-";
    std::string Word;
    bool Link = false;
    std::string Name = {};
    std::string After = {};
    std::string Why = {};
};

// What the log makes of the events: a line for each start, stop and ended hub, and for every
// change of a link but to stopped (a link that stops with the bridges is told by their own
// line) and but those a look only showed: a link first seen, one that only began waiting (told
// once it waited TLinks::DropMs), one no longer judged.
std::vector<TLogEvent> LogEvents(const std::vector<TLinkEvent>& events, const TLinks& links);

// The log's line for an event, without its line end: the local date and time
// ("2026-12-07 14:02:11"), the COM text, the server and the word, separated by tabs; a link's
// line adds its Name and, when it ends an outage, the outage's length; a line its reason.
// A control character in any field (a tab, a line break) is written as a blank, so each event
// is one line of its fields.
std::string LogLine(const std::string& dateTime, const TLogEvent& event);

// The date and time as the log writes it.
std::string LogTime(int year, int month, int day, int hour, int minute, int second);

// A log that has passed this size becomes the older copy before the next line is appended.
constexpr std::uint64_t LogLimitBytes = 1024 * 1024;
inline bool LogMustRotate(std::uint64_t size) { return size > LogLimitBytes; }
