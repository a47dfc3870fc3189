#pragma once
// What the program knows of each bridge's link, and what happens to the links: each look, start
// and stop gives one list of events, from which the list, the icon, the log (link_log.h) and the
// notes (link_notes.h) each take what they show. Pure logic.
#include "tools/link_match.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What happened. A link's events name its bridge's slot; the others concern the whole set.
enum class TEventKind {
    LinkChanged,   // a link's state changed
    LinkLost,      // a link that was connected has waited TLinks::DropMs
    LinkRestored,  // a lost link is connected again
    LinkWaits,     // a link waiting since the bridges started has waited TLinks::DropMs
    Unjudged,      // the check of the servers was switched off: a not-answering link counts as connected
    RestartWanted, // the host of a link that stopped answering answers, and its dead connection stands
    HubEnded,      // the hub ended though nobody ended it
    HubAppeared,   // a hub runs that no copy of the program started
    StartedElsewhere,  // another copy of the program (a script's switch) started the bridges
    StoppedElsewhere,  // ... or stopped them
    Started,       // a start launched the hub
    Restarted,     // ... to make a dead link anew
    Refused,       // a start was refused by the check of the rows
    Failed,        // a start could not launch the hub
    LeftOut,       // a start left out a stored bridge that could not be read
    Stopped,       // a stop ended the hub
    ChecksRefused, // the system refuses to send the echoes that check the servers (Why: its reason)
    ChecksWork,    // ... and sends them again
    SettingsTaken, // a link's server acknowledged new settings (Why: them, as SettingsText writes them)
    ServerDisagrees,  // a link's server refused port control, or speaks otherwise than its bridge
    RecordUnread,  // a running hub's record could not be taken as its own (Why: why)
};

struct TLinkEvent {
    TEventKind Kind;
    int Slot = 0;  // a link's bridge
    TLinkState From = TLinkState::Stopped, To = TLinkState::Stopped;  // LinkChanged
    std::int64_t DownMs = -1;  // LinkChanged to connected and LinkRestored: how long it was down (-1: it was not)
    std::string Why = {};  // Refused, Failed, LeftOut, ChecksRefused and RecordUnread: the reason; SettingsTaken: the settings
    bool Quiet = false;  // LinkChanged: shown, not logged (a link first seen, or one that only began waiting)
};

// What a start gives: started, or refused (a check of the rows) or failed (the hub), with why.
TLinkEvent StartEvent(bool done, bool hubFailed, std::string why = {});

// One bridge as a look saw it.
struct TLinkSeen {
    int Slot = 0;
    std::string Com;
    std::string Server;  // "192.168.0.99:9761"
    TLinkState State = TLinkState::Stopped;  // as the table shows it
    bool Answering = true;  // false: its host has stopped answering
    std::uint16_t LocalPort = 0;  // of its connection
    std::string Name = {};  // the bridge's Name, empty when it has none
    std::int64_t LastAnswerMs = 0;  // when its host last answered an echo
    platform::HubLink Entry = {};  // its entry in the hub's record: its port, its server's answers
};

// What the program knows of one bridge's link.
struct TLinkRecord {
    std::string Com, Server, Name;
    TLinkState State = TLinkState::Stopped;
    platform::HubLink Entry;  // as the last look saw it
    std::int64_t Since = 0;  // when the state began
    std::string SinceTime;  // ... as the time of day
    std::int64_t DownSince = 0;  // when the outage began: the drop, or the host's last answer
    std::uint16_t DeadPort = 0;  // the local port of the connection whose host stopped answering
    std::uint16_t RestartPort = 0;  // ... of that connection, still standing after the host answered again
    bool Told = false;  // the log said it is waiting or not answering
    bool TellWaiting = false;  // waiting since the bridges started: told once it lasts DropMs
    bool WasConnected = false;  // connected since the bridges started
    bool Noted = false;  // its drop was noted
};

// The links over time, one record per bridge by its slot.
class TLinks {
public:
    static constexpr std::int64_t DropMs = 5000;

    // A look at the time nowMs (any steady clock in milliseconds; timeOfDay names it) at the
    // listed bridges, in list order: the records follow it, and the events tell what changed. A
    // connected link whose host does not answer is not answering, and noted at once; when the
    // host answers again while the same connection stands, the hub is wanted anew at each look
    // for as long as that connection stands. A bridge's first look takes its state as it was.
    std::vector<TLinkEvent> Look(std::int64_t nowMs, const std::vector<TLinkSeen>& seen,
                                 const std::string& timeOfDay = {});
    // The check of the servers switched off: the links not answering count as connected again,
    // with no return and no restart.
    std::vector<TLinkEvent> Unjudge(std::int64_t nowMs, const std::string& timeOfDay = {});

    // The bridges in these slots taken as stopped, so that the next look tells them as a start's.
    void TakeAsStopped(const std::vector<int>& slots);
    // Whether the last look saw bridges, and every one stopped or off.
    bool AllStopped() const;

    // The record of the bridge in that slot; a stopped one for a bridge no look saw.
    const TLinkRecord& Of(int slot) const;
    // The states of the bridges of the last look, in list order.
    std::vector<TLinkState> States() const;

private:
    std::vector<int> order_;  // the slots of the last look
    std::map<int, TLinkRecord> records_;
};
