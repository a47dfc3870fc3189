// The connection log's lines.
#include "tools/link_log.h"

#include <gtest/gtest.h>

namespace {

using S = TLinkState;

TEST(LinkLog, TheLinesFieldsAndTheLogsLimit) {
    EXPECT_EQ(LogLine(LogTime(2026, 12, 7, 4, 2, 1), {"COM3", "192.168.0.99:9761", "waiting", true}),
              "2026-12-07 04:02:01\tCOM3\t192.168.0.99:9761\twaiting\t");
    EXPECT_EQ(LogLine("t", {"COM3", "h:1", "connected", true, "Scale", "after 130 s"}), "t\tCOM3\th:1\tconnected\tScale\tafter 130 s");
    const TLinkEvent echoesRefused{TEventKind::ChecksRefused, 0, S::Stopped, S::Stopped, -1, "Access denied"};
    const TLinkEvent recordUnread{TEventKind::RecordUnread, 0, S::Stopped, S::Stopped, -1, "it names another process"};
    const std::vector<TLogEvent> starts = LogEvents({{StartEvent(true, false)}, {StartEvent(false, true)},
                                                     {StartEvent(false, false)}, {TEventKind::Stopped}, echoesRefused, recordUnread}, {});
    ASSERT_EQ(starts.size(), 6u);
    EXPECT_EQ(starts[0].Word + " " + starts[1].Word + " " + starts[2].Word + " " + starts[3].Word, "started failed refused stopped");
    EXPECT_EQ(LogLine("t", starts[4]), "t\t-\t-\tservers unchecked\tAccess denied");
    EXPECT_EQ(LogLine("t", starts[5]), "t\t-\t-\thub record not read\tit names another process");
    EXPECT_EQ(LogLine("t", {"COM4", "h:1", "port control refused", true, "", "", "kept 9600 baud (asked 57600)"}),
              "t\tCOM4\th:1\tport control refused\t\tkept 9600 baud (asked 57600)");
    const TLinkEvent taken{TEventKind::SettingsTaken, 3, S::Stopped, S::Stopped, -1, "57600 8N2 RTS/CTS"};
    EXPECT_EQ(LogLine("t", LogEvents({taken}, {}).at(0)), "t\t\t\tsettings\t57600 8N2 RTS/CTS");
    // A stored Port holding a tab stays within its field.
    const TLinkEvent leftOut{TEventKind::LeftOut, 3, S::Stopped, S::Stopped, -1, "Port '4\t1' cannot be read"};
    EXPECT_EQ(LogLine("t", LogEvents({leftOut}, {}).at(0)), "t\t-\t-\tleft out\tslot 3: Port '4 1' cannot be read");
    EXPECT_FALSE(LogMustRotate(1024 * 1024));
    EXPECT_TRUE(LogMustRotate(1024 * 1024 + 1));
}

}  // namespace
