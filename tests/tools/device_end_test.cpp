// The hub's record written and read as two processes share it, and the device end in words.
#include "tools/device_end.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using platform::HubLink;
using platform::HubSettings;

TEST(DeviceEnd, TheRecordKeepsWhatTheHubWrote) {
    auto record = std::make_unique<platform::HubRecord>();  // zeroed, as new shared memory is
    platform::OpenRecord(*record, 42, 7, {"\\\\.\\CNCA3", "\\\\.\\CNCA4"});
    HubLink link;
    link.State = platform::HubLinkState::Connected;
    link.PortControl = link.Acknowledged = true;
    link.AckedSettings = {57600, 8, 'N', 2, 1};
    link.Signature = std::string("ser\x01net\x7F") + std::string(300, 'x');  // control bytes and 300 characters
    platform::WriteEntry(record->Entries[1], link);
    platform::HubCount(record->Entries[1], 5ull << 30, 1, 1000);  // past 4 GiB
    platform::HubCount(record->Entries[1], 3, 0, 2000);

    platform::HubRecordProblem problem{};
    const auto read = platform::ReadRecord(*record, 42, 7, problem);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 2u);
    const HubLink& got = (*read)[1];
    EXPECT_EQ(got.Port, "\\\\.\\CNCA4");
    EXPECT_EQ(got.Signature, "ser?net?" + std::string(32, 'x'));
    EXPECT_EQ(got.Sent, (5ull << 30) + 3);
    EXPECT_EQ(got.LastSentMs, 2000u);
    EXPECT_EQ(got.AckedSettings, (HubSettings{57600, 8, 'N', 2, 1}));
    EXPECT_EQ(StatusFields(got, 4500), (std::vector<std::string>{"sent=5368709123", "received=1", "idle=2",
                                                                 "settings=57600,8,N,2,rtscts", "server=ser?net?" + std::string(32, 'x')}));

    EXPECT_FALSE(platform::ReadRecord(*record, 43, 7, problem));  // another hub's
    EXPECT_EQ(problem, platform::HubRecordProblem::OtherHub);
    EXPECT_FALSE(platform::ReadRecord(*record, 42, 8, problem));  // the id's process started anew
    record->Version = platform::HubRecordVersion - 1;
    EXPECT_FALSE(platform::ReadRecord(*record, 42, 7, problem));
    EXPECT_EQ(problem, platform::HubRecordProblem::OtherVersion);
}

// What the data suite's ser2net run cannot show: settings not yet acknowledged, the log's word
// only for new ones, and the whole set without counts or stopped.
TEST(DeviceEnd, InWords) {
    HubLink rfc;
    rfc.PortControl = true;
    rfc.AskedSettings = {57600, 8, 'N', 2, 1};
    rfc.Sent = 1258291;
    rfc.LastReceivedMs = 2000;
    EXPECT_EQ(DeviceEndText("h:1", rfc, 5999), "h:1, RFC 2217, asked 57600 8N2 RTS/CTS; sent 1.2 MB, received 0 bytes; last data 3 s ago");
    EXPECT_EQ(StatusFields(rfc, 5999)[3], "settings=asked:57600,8,N,2,rtscts");
    HubLink acked = rfc;
    acked.Acknowledged = true;
    acked.AckedSettings = {9600, 8, 'N', 3, 2};
    EXPECT_FALSE(NewlyAcknowledged(HubLink{}, rfc));
    EXPECT_EQ(NewlyAcknowledged(rfc, acked), "9600 8N1.5 XON/XOFF");
    EXPECT_FALSE(NewlyAcknowledged(acked, acked));
    EXPECT_EQ(TotalsText({4, 3, true, true, 1024, 10ull << 30}), "3 of 4 bridges connected; sent 1.0 KB, received 10 GB");
    EXPECT_EQ(TotalsText({4, 3, true, false}), "3 of 4 bridges connected; No counts from this hub");
    EXPECT_EQ(TotalsText({1, 0, false}), "1 bridge, stopped");
}

}  // namespace
