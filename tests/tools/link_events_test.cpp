// What the icon and the connection log make of the links over time.
#include "tools/link_events.h"
#include "tools/link_log.h"
#include "tools/link_notes.h"
#include "tools/liveness.h"

#include "support/hub_entry.h"

#include <gtest/gtest.h>

namespace {

using S = TLinkState;

// Looks at the given times (ms) at three bridges: each look's log lines and notes, in words.
TEST(LinkEvents, LogsChangesAndNotesDropsOfFiveSeconds) {
    const S c = S::Connected, w = S::Waiting, o = S::Stopped;
    struct { std::int64_t at; S com3, com4, com5; const char* log; const char* notes; } const looks[] = {
        {0, w, w, w, "", ""},  // the first look of a copy that opens: taken as it was
        {1000, c, c, w, "COM3 connected|COM4 connected|", ""},
        {2000, w, c, c, "COM3 waiting|COM5 connected|", ""},
        {6000, c, c, c, "COM3 connected after 4 s|", ""},  // 4 s: a short drop, only logged
        {7000, w, w, c, "COM3 waiting|COM4 waiting|", ""},
        {11000, w, w, w, "COM5 waiting|", ""},
        {12000, w, w, w, "", "! Link lost: Scale (COM3) and COM4 lost their servers|"},
        {13000, w, w, w, "", ""},
        {16000, c, w, w, "COM3 connected after 9 s|",
         "! Link lost: COM5 lost 127.0.0.1:4003|Link restored: Scale (COM3) is back after 9 s|"},
        {16500, w, w, w, "COM3 waiting|", ""},
        {21500, w, w, w, "", "! Link lost: Scale (COM3) lost 127.0.0.1:4001|"},  // restored, then lost again
        {22000, o, o, o, "", ""},  // stopped: the stop's own line says it
        {22500, c, c, c, "COM3 connected|COM4 connected|COM5 connected|", ""},
        {22800, o, o, o, "", ""},
        {23000, w, w, w, "", ""},  // a start: told once the wait lasts
        {29000, w, w, w, "COM3 waiting|COM4 waiting|COM5 waiting|", ""},  // never connected since the start: no note
        {29500, c, w, S::Off, "COM3 connected after 6 s|", ""},
        {30000, c, S::Refused, c, "COM4 port control refused: kept 9600 baud (asked 57600)|COM5 connected|", "! Port control refused: COM4: 127.0.0.1:4002 kept 9600 baud (asked 57600)|"},
        {31000, c, S::Refused, c, "", ""},  // one line, one note
        {32000, c, S::Mismatched, c, "COM4 mismatched: speaks RFC 2217: turn Port control on|", "! Port control mismatched: COM4: 127.0.0.1:4002 speaks RFC 2217: turn Port control on|"},
        {33000, c, c, c, "COM4 connected|", ""},  // cleared: no outage
    };
    using H = platform::HubLinkState;
    const platform::HubLink kept = HubEntry(H::Refused, 1, 0, 0, "", platform::HubRefusal::Kept, 1, 57600, 9600), telnet = HubEntry(H::SpeaksTelnet, 1, 0, 0, "");
    TLinks links;
    for (const auto& look : looks) {
        const platform::HubLink com4 = look.com4 == S::Refused ? kept : look.com4 == S::Mismatched ? telnet : platform::HubLink{};
        const std::vector<TLinkEvent> events = links.Look(look.at, {{4, "COM3", "127.0.0.1:4001", look.com3, true, 0, "Scale"},
                                                                    {1, "COM4", "127.0.0.1:4002", look.com4, true, 0, "", 0, com4},
                                                                    {7, "COM5", "127.0.0.1:4003", look.com5}});
        std::string log, notes;
        for (const TLogEvent& e : LogEvents(events, links))
            log += e.Com + " " + e.Word + (e.After.empty() ? "" : " " + e.After) + (e.Why.empty() ? "" : ": " + e.Why) + "|";
        for (const TNote& n : Notes(events, links)) notes += (n.Warning ? "! " : "") + n.Title + ": " + n.Text + "|";
        EXPECT_EQ(log, look.log) << look.at;
        EXPECT_EQ(notes, look.notes) << look.at;
        EXPECT_EQ(links.States(), (std::vector<S>{look.com3, look.com4, look.com5})) << look.at;
    }
    // The hub ended: the look finds every link stopped, and the end is logged and noted.
    std::vector<TLinkEvent> ended = links.Look(40000, {{4, "COM3", "127.0.0.1:4001", o}, {1, "COM4", "127.0.0.1:4002", o}});
    ended.push_back({TEventKind::HubEnded});
    ASSERT_EQ(LogEvents(ended, links).size(), 1u);
    EXPECT_EQ(LogLine("2026-12-07 14:02:11", LogEvents(ended, links)[0]), "2026-12-07 14:02:11\t-\t-\thub ended");
    ASSERT_EQ(Notes(ended, links).size(), 1u);
    EXPECT_EQ(Notes(ended, links)[0].Text, "Bridges stopped: the hub ended");
    EXPECT_TRUE(Notes(ended, links)[0].Warning);
    EXPECT_EQ(links.Of(7).State, S::Stopped) << "a bridge no longer listed";
}

// COM5's server, which another bridge shares, looked at every 5 s while the hub holds a
// connection to it (its local port; 0 for none): the echo's answer, and what the look makes of it.
TEST(LinkEvents, AHostThatStopsAnsweringMakesItsLinkDeadUntilItAnswers) {
    const std::uint32_t host = 0x7F000002;
    struct Look { std::int64_t at; bool answers; std::uint16_t port; const char *state, *log; bool restart, checkOff = false; };
    const std::vector<Look> looks = {
        {0, false, 5000, "connected", "", false},
        {15000, false, 5000, "connected", "", false},  // misses, but never an answer: never judged
        {20000, true, 5000, "connected", "", false},
        {25000, false, 5000, "connected", "", false},
        {30000, false, 5000, "connected", "", false},
        {35000, true, 5000, "connected", "", false},  // two misses, then an answer
        {40000, false, 5000, "connected", "", false},
        {45000, false, 5000, "connected", "", false},
        {50000, false, 5000, "not answering", "COM5 not answering|! Link lost|", false},  // the third miss
        {55000, true, 5000, "connected", "COM5 connected after 20 s|Link restored|", true},  // the dead connection stands
        {60000, false, 5000, "connected", "", false},
        {65000, false, 5000, "connected", "", false},
        {70000, false, 5000, "not answering", "COM5 not answering|! Link lost|", false},
        {75000, true, 5000, "connected", "COM5 connected after 20 s|Link restored|", false},  // within a minute of the restart
        {115000, true, 5000, "connected", "", true},  // the minute ended, and the dead connection stands
        {120000, false, 5001, "connected", "", false},
        {125000, false, 5001, "connected", "", false},
        {130000, false, 5001, "not answering", "COM5 not answering|! Link lost|", false},
        {135000, false, 0, "waiting", "COM5 waiting|", false},  // the hub let the connection go: noted already
        {136000, false, 5002, "connected", "COM5 connected after 21 s|Link restored|", false},  // a new one; the host is known
        {141000, false, 5002, "connected", "", false},
        {146000, false, 5002, "not answering", "COM5 not answering|! Link lost|", false},
        {176000, true, 5003, "connected", "COM5 connected after 40 s|Link restored|", false},  // on a new connection
        {181000, false, 5003, "connected", "", false},
        {186000, false, 5003, "connected", "", false},
        {191000, false, 5003, "not answering", "COM5 not answering|! Link lost|", false},
        {192000, false, 5003, "connected", "", false, true},  // the check switched off
    };
    // A restart held back by the minute, then dropped: by the hub's own new connection, or by
    // the check switched off.
    std::vector<Look> heldBack = {
        {0, true, 5000, "connected", "", false},
        {5000, false, 5000, "connected", "", false},
        {10000, false, 5000, "connected", "", false},
        {15000, false, 5000, "not answering", "COM5 not answering|! Link lost|", false},
        {20000, true, 5000, "connected", "COM5 connected after 20 s|Link restored|", true},
        {25000, false, 5000, "connected", "", false},
        {30000, false, 5000, "connected", "", false},
        {35000, false, 5000, "not answering", "COM5 not answering|! Link lost|", false},
        {40000, true, 5000, "connected", "COM5 connected after 20 s|Link restored|", false},  // held back
    };
    std::vector<Look> switchedOff = heldBack;
    heldBack.push_back({45000, true, 5001, "connected", "", false});  // the hub connected anew
    heldBack.push_back({85000, true, 5001, "connected", "", false});  // the minute ended: nothing to restart
    switchedOff.push_back({41000, true, 5000, "connected", "", false, true});
    switchedOff.push_back({85000, true, 5000, "connected", "", false});
    for (const auto& table : {looks, heldBack, switchedOff}) {
        TLiveness liveness;
        TLinks links;
        for (const auto& look : table) {
            const std::vector<std::uint32_t> due = liveness.Due(look.at, look.port ? std::vector<std::uint32_t>{host, host} : std::vector<std::uint32_t>{});
            liveness.Take(std::vector<TEcho>(due.size(), {host, look.answers}));
            if (look.checkOff) liveness.ClearJudgements();
            std::vector<TLinkEvent> events = look.checkOff ? links.Unjudge(look.at) : std::vector<TLinkEvent>{};
            const std::vector<TLinkEvent> found = links.Look(look.at, {{5, "COM5", "127.0.0.2:4001", look.port ? S::Connected : S::Waiting,
                                                                        !liveness.NotAnswering(host), look.port, "", liveness.LastAnswerMs(host)}});
            events.insert(events.end(), found.begin(), found.end());
            std::string log;
            bool restart = false;
            for (const TLogEvent& e : LogEvents(events, links)) log += e.Com + " " + e.Word + (e.After.empty() ? "" : " " + e.After) + "|";
            for (const TNote& n : Notes(events, links)) log += (n.Warning ? "! " : "") + n.Title + "|";
            for (const TLinkEvent& e : events) restart = restart || (e.Kind == TEventKind::RestartWanted && liveness.MayRestart(look.at));
            EXPECT_EQ(LinkWord(links.Of(5).State), std::string(look.state)) << look.at;
            EXPECT_EQ(log, look.log) << look.at;
            EXPECT_EQ(restart, look.restart) << look.at;
        }
    }
    // Echoes the system refuses are tried again once a minute, looked at each second.
    TLiveness refusing;
    int rounds = refusing.DueUnlessRefused(0, {host}, false).size();
    for (std::int64_t at = 1000; at <= 130000; at += 1000) rounds += refusing.DueUnlessRefused(at, {host}, true).size();
    EXPECT_EQ(rounds, 3);
}

}  // namespace
