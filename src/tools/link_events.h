#pragma once
// What the notification-area icon and the connection log make of the links: the log's lines,
// the notes when a link drops and comes back, the icon's state and tip. Pure logic.
#include "tools/link_match.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One event of the connection log: the COM text and the server ("-" for the whole set), and
// the event word (started, stopped, refused, failed, connected, waiting, hub ended).
struct TLogEvent {
    std::string Com = "-";
    std::string Server = "-";
    std::string Word;
};

// The log's line for an event, without its line end: the local date and time
// ("2026-12-07 14:02:11"), the COM text, the server and the word, separated by tabs.
std::string LogLine(const std::string& dateTime, const TLogEvent& event);

// The date and time as the log writes it.
std::string LogTime(int year, int month, int day, int hour, int minute, int second);

// A log that has passed this size becomes the older copy before the next line is appended.
constexpr std::uint64_t LogLimitBytes = 1024 * 1024;
inline bool LogMustRotate(std::uint64_t size) { return size > LogLimitBytes; }

// What a start gives the log: started, or refused (a check of the rows) or failed (the hub).
TLogEvent StartEvent(bool done, bool hubFailed);

// A note from the icon.
struct TNote {
    std::string Title;
    std::string Text;
    bool Warning = false;
};

// The icon's colour (the state of its dot) and its tip, for the links' states: grey while the
// bridges are stopped, green when every bridge is connected, amber while any waits.
TLinkState TrayState(const std::vector<TLinkState>& states, bool running);
std::string TrayTip(const std::vector<TLinkState>& states, bool running);

// One bridge as a look saw it.
struct TLinkSeen {
    std::string Com;
    std::string Server;  // "192.168.0.99:9761"
    TLinkState State = TLinkState::Stopped;
};

// The links over time: each look gives the log's events and the notes. A link that was
// connected and has waited DropMs gives a "Link lost" note, and one when it is connected again;
// drops seen in the same look are merged into one note. A shorter drop is only logged.
class TLinkEvents {
public:
    static constexpr std::int64_t DropMs = 5000;

    struct TResult {
        std::vector<TLogEvent> Log;
        std::vector<TNote> Notes;
    };

    // A look at the time nowMs (any steady clock in milliseconds).
    TResult Look(std::int64_t nowMs, const std::vector<TLinkSeen>& links);
    // The hub ended by itself: logged, and noted; the links start afresh.
    TResult HubEnded();

private:
    struct TLink {
        TLinkState State = TLinkState::Stopped;
        std::int64_t Since = 0;
        bool WasConnected = false;
        bool Noted = false;  // its drop was noted
    };
    std::map<std::string, TLink> links_;  // by COM text
};
