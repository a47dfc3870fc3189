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
    const std::vector<TLogEvent> starts = LogEvents({{StartEvent(true, false)}, {StartEvent(false, true)},
                                                     {StartEvent(false, false)}, {TEventKind::Stopped}, echoesRefused}, {});
    ASSERT_EQ(starts.size(), 5u);
    EXPECT_EQ(starts[0].Word + " " + starts[1].Word + " " + starts[2].Word + " " + starts[3].Word, "started failed refused stopped");
    EXPECT_EQ(LogLine("t", starts[4]), "t\t-\t-\tservers unchecked\tAccess denied");
    // A stored Port holding a tab stays within its field.
    const TLinkEvent leftOut{TEventKind::LeftOut, 3, S::Stopped, S::Stopped, -1, "Port '4\t1' cannot be read"};
    EXPECT_EQ(LogLine("t", LogEvents({leftOut}, {}).at(0)), "t\t-\t-\tleft out\tslot 3: Port '4 1' cannot be read");
    EXPECT_FALSE(LogMustRotate(1024 * 1024));
    EXPECT_TRUE(LogMustRotate(1024 * 1024 + 1));
}

}  // namespace
