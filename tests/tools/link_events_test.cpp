// What the icon and the connection log make of the links over time.
#include "tools/link_events.h"
#include "tools/liveness.h"

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
    };
    TLinks links;
    for (const auto& look : looks) {
        const std::vector<TLinkEvent> events = links.Look(look.at, {{4, "COM3", "127.0.0.1:4001", look.com3, true, 0, "Scale"},
                                                                    {1, "COM4", "127.0.0.1:4002", look.com4},
                                                                    {7, "COM5", "127.0.0.1:4003", look.com5}});
        std::string log, notes;
        for (const TLogEvent& e : LogEvents(events, links)) log += e.Com + " " + e.Word + (e.After.empty() ? "" : " " + e.After) + "|";
        for (const TNote& n : Notes(events, links)) notes += (n.Warning ? "! " : "") + n.Title + ": " + n.Text + "|";
        EXPECT_EQ(log, look.log) << look.at;
        EXPECT_EQ(notes, look.notes) << look.at;
        EXPECT_EQ(links.States(), (std::vector<S>{look.com3, look.com4, look.com5})) << look.at;
    }
    // The hub ended: the look finds every link stopped, and the end is logged and noted.
    std::vector<TLinkEvent> ended = links.Look(30000, {{4, "COM3", "127.0.0.1:4001", o}, {1, "COM4", "127.0.0.1:4002", o}});
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
    struct { std::int64_t at; bool answers; std::uint16_t port; const char *state, *log; bool restart, checkOff = false; } const looks[] = {
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
    TLiveness liveness;
    TLinks links;
    for (const auto& look : looks) {
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

TEST(LinkEvents, TheIconsTipAndColourTheLogsLineAndItsLimit) {
    const S c = S::Connected, w = S::Waiting;
    EXPECT_EQ(TrayTip({c, c, w, c}, true), "Pontis Manager: 3 of 4 bridges connected");
    EXPECT_EQ(TrayTip({c, c}, false), "Pontis Manager: bridges stopped");
    EXPECT_EQ(TrayState({c, w}, true), w);
    EXPECT_EQ(TrayState({c, c}, true), c);
    EXPECT_EQ(TrayState({c}, false), S::Stopped);
    EXPECT_EQ(TrayState({c, S::Off}, true), c) << "a bridge that is off does not count";
    EXPECT_EQ(TrayTip({c, S::Off, w}, true), "Pontis Manager: 1 of 2 bridges connected");
    EXPECT_EQ(TrayState({w, S::NotAnswering, c}, true), S::NotAnswering);
    EXPECT_EQ(TrayTip({c, S::NotAnswering, w}, true), "Pontis Manager: 1 of 3 bridges connected, 1 not answering");
    EXPECT_EQ(LinkTip(S::NotAnswering, "192.168.0.99", 9761, "14:02:11"), "192.168.0.99:9761 is not answering (since 14:02:11)");
    EXPECT_EQ(LogLine(LogTime(2026, 12, 7, 4, 2, 1), {"COM3", "192.168.0.99:9761", "waiting", true}),
              "2026-12-07 04:02:01\tCOM3\t192.168.0.99:9761\twaiting\t");
    EXPECT_EQ(LogLine("t", {"COM3", "h:1", "connected", true, "Scale", "after 130 s"}), "t\tCOM3\th:1\tconnected\tScale\tafter 130 s");
    EXPECT_EQ(OutageText(130999) + ", " + OutageText(3900000) + ", " + OutageText(0), "2 min 10 s, 1 h 5 min, 0 s");
    // Ten lost at once: ten Names do not fit a note, ten COM texts do; longer ones end in "and N more".
    for (const std::string& com : {std::string("COM"), std::string(40, 'C')}) {
        std::vector<TLinkSeen> seen;
        for (int n = 1; n <= 10; ++n) seen.push_back({n, com + std::to_string(n), "h:1", c, false, 0, std::string(20, 'N')});
        TLinks ten;
        const std::string text = Notes(ten.Look(0, seen), ten).at(0).Text;
        EXPECT_EQ(com == "COM" ? text : text.substr(text.size() - 32),
                  com == "COM" ? "COM1, COM2, COM3, COM4, COM5, COM6, COM7, COM8, COM9 and COM10 lost their servers"
                               : "C5 and 5 more lost their servers");
        EXPECT_LE(text.size(), NoteTextLimit);
        EXPECT_EQ(text.find(" and "), text.rfind(" and ")) << "one \"and\"";
    }
    const TLinkEvent echoesRefused{TEventKind::ChecksRefused, 0, S::Stopped, S::Stopped, -1, "Access denied"};
    const std::vector<TLogEvent> starts = LogEvents({{StartEvent(true, false)}, {StartEvent(false, true)},
                                                     {StartEvent(false, false)}, {TEventKind::Stopped}, echoesRefused}, {});
    ASSERT_EQ(starts.size(), 5u);
    EXPECT_EQ(starts[0].Word + " " + starts[1].Word + " " + starts[2].Word + " " + starts[3].Word, "started failed refused stopped");
    EXPECT_EQ(LogLine("t", starts[4]), "t\t-\t-\tservers unchecked\tAccess denied");
    const std::vector<TNote> checks = Notes({echoesRefused, {TEventKind::ChecksWork}}, {});
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ((checks[0].Warning ? "! " : "") + checks[0].Text + "|" + checks[1].Text,
              "! Servers cannot be checked: Access denied|Servers can be checked again");
    EXPECT_FALSE(LogMustRotate(1024 * 1024));
    EXPECT_TRUE(LogMustRotate(1024 * 1024 + 1));
}

}  // namespace
