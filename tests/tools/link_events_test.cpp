// What the icon and the connection log make of the links over time.
#include "tools/link_events.h"

#include <gtest/gtest.h>

namespace {

using S = TLinkState;

// Looks at the given times (ms) at three bridges: each look's log lines and notes, in words.
TEST(LinkEvents, LogsChangesAndNotesDropsOfFiveSeconds) {
    const S c = S::Connected, w = S::Waiting, o = S::Stopped;
    struct { std::int64_t at; S com3, com4, com5; const char* log; const char* notes; } const looks[] = {
        {0, w, w, w, "", ""},
        {1000, c, c, w, "COM3 connected|COM4 connected|", ""},
        {2000, w, c, c, "COM3 waiting|COM5 connected|", ""},
        {6000, c, c, c, "COM3 connected|", ""},  // 4 s: a short drop, only logged
        {7000, w, w, c, "COM3 waiting|COM4 waiting|", ""},
        {11000, w, w, w, "COM5 waiting|", ""},
        {12000, w, w, w, "", "! Link lost: 2 bridges lost their servers|"},
        {13000, w, w, w, "", ""},
        {16000, c, w, w, "COM3 connected|", 
         "! Link lost: COM5 lost 127.0.0.1:4003|Link restored: COM3 is connected again to 127.0.0.1:4001|"},
        {17000, o, o, o, "", ""},  // stopped: the stop's own line says it
        {18000, w, w, w, "", ""},
        {24000, w, w, w, "", ""},  // never connected since the start: no note
    };
    TLinkEvents events;
    for (const auto& look : looks) {
        const TLinkEvents::TResult r = events.Look(look.at, {{"COM3", "127.0.0.1:4001", look.com3},
                                                             {"COM4", "127.0.0.1:4002", look.com4},
                                                             {"COM5", "127.0.0.1:4003", look.com5}});
        std::string log, notes;
        for (const TLogEvent& e : r.Log) log += e.Com + " " + e.Word + "|";
        for (const TNote& n : r.Notes) notes += (n.Warning ? "! " : "") + n.Title + ": " + n.Text + "|";
        EXPECT_EQ(log, look.log) << look.at;
        EXPECT_EQ(notes, look.notes) << look.at;
    }
    const TLinkEvents::TResult ended = events.HubEnded();
    EXPECT_EQ(LogLine("2026-12-07 14:02:11", ended.Log.at(0)), "2026-12-07 14:02:11\t-\t-\thub ended");
    EXPECT_EQ(ended.Notes.at(0).Text, "Bridges stopped: the hub ended");
}

TEST(LinkEvents, TheIconsTipAndColourTheLogsLineAndItsLimit) {
    const S c = S::Connected, w = S::Waiting;
    EXPECT_EQ(TrayTip({c, c, w, c}, true), "Pontis Manager: 3 of 4 bridges connected");
    EXPECT_EQ(TrayTip({c, c}, false), "Pontis Manager: bridges stopped");
    EXPECT_EQ(TrayState({c, w}, true), w);
    EXPECT_EQ(TrayState({c, c}, true), c);
    EXPECT_EQ(TrayState({c}, false), S::Stopped);
    EXPECT_EQ(LogLine(LogTime(2026, 12, 7, 4, 2, 1), {"COM3", "192.168.0.99:9761", "waiting"}),
              "2026-12-07 04:02:01\tCOM3\t192.168.0.99:9761\twaiting");
    EXPECT_EQ(StartEvent(true, false).Word, "started");
    EXPECT_EQ(StartEvent(false, true).Word, "failed");
    EXPECT_EQ(StartEvent(false, false).Word, "refused");
    EXPECT_FALSE(LogMustRotate(1024 * 1024));
    EXPECT_TRUE(LogMustRotate(1024 * 1024 + 1));
}

}  // namespace
